#include "encoder/kernels/tests/kernel_check.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quillset::testing {

bool TCheckRun::Expect(bool same, const std::string& input, const std::string& detail) {
    if (!same && !failed_) {
        failed_ = true;
        ADD_FAILURE() << label_ << ", trial " << Trial << " (" << input << "): " << detail;
    }
    return same;
}

TFill PickFill(TCheckRun& run, int which) {
    switch (run.Trial) {
    case 0: return which == 0 ? TFill::Full : TFill::Zero;
    case 1: return which == 0 ? TFill::Zero : TFill::Full;
    case 2: return TFill::Extremes;
    default: break;
    }
    const int pick = run.Uniform(0, 99);
    return pick < 80 ? TFill::Random : (pick < 87 ? TFill::Extremes : (pick < 94 ? TFill::Full : TFill::Zero));
}

void FillBytes(uint8_t* p, size_t count, TFill fill, TCheckRun& run) {
    for (size_t i = 0; i < count; ++i) {
        switch (fill) {
        case TFill::Random: p[i] = static_cast<uint8_t>(run.Uniform(0, 255)); break;
        case TFill::Zero: p[i] = 0; break;
        case TFill::Full: p[i] = 255; break;
        case TFill::Extremes: p[i] = run.Chance(50) ? 255 : 0; break;
        }
    }
}

TPlane::TPlane(int rows, int width, int pitch, size_t misalign)
    : Buffer(static_cast<size_t>((rows - 1) * std::abs(pitch) + width), misalign),
      origin(pitch < 0 ? static_cast<size_t>((rows - 1) * -pitch) : 0) {}

int PickPitch(TCheckRun& run, int width, bool allowNegative) {
    int pitch = width + run.Uniform(0, 40);
    if (run.Chance(30))
        pitch |= 1;
    if (allowNegative && run.Chance(10))
        pitch = -pitch;
    return pitch;
}

} // namespace quillset::testing
