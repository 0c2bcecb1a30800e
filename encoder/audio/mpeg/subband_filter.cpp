#include "encoder/audio/mpeg/subband_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "encoder/audio/mpeg/analysis_window.h"

namespace quillset::mpa {

namespace {

constexpr int32_t kHistory = kAnalysisWindowLength - kSubbands; // 480

} // namespace

SubbandAnalysisFilter::SubbandAnalysisFilter() : Buffer(kHistory, 0.0f) {
    // The standard's buffer X holds the newest sample at X[0]; here the window runs forward in
    // time, so coefficient m applies to the sample 511 - m places before the newest.
    for (int32_t m = 0; m < kAnalysisWindowLength; ++m)
        Coefficients[m] = static_cast<float>(AnalysisWindow(kAnalysisWindowLength - 1 - m) / 32768.0);
    for (int32_t k = 0; k < kSubbands; ++k)
        for (int32_t n = 0; n < 32; ++n)
            Matrix[k][n] = static_cast<float>(std::cos((2 * k + 1) * n * std::numbers::pi / 64.0));
}

void SubbandAnalysisFilter::FilterBlock(const float* window, float* out) const {
    // Z = C . X summed in eight strides of 64 (Y of the standard, kept in time order here).
    float y[64];
    for (int32_t r = 0; r < 64; ++r)
        y[r] = 0.0f;
    for (int32_t j = 0; j < 8; ++j) {
        const float* w = window + 64 * j;
        const float* c = Coefficients + 64 * j;
        for (int32_t r = 0; r < 64; ++r)
            y[r] += c[r] * w[r];
    }
    // Y[i] of the standard is y[63 - i]. The matrix cos((2k + 1)(i - 16) pi / 64) is even in
    // i - 16 and changes sign about i - 16 = 32, so the 64 terms fold onto n = i - 16 = 0 .. 31.
    float folded[32];
    folded[0] = y[63 - 16];
    for (int32_t n = 1; n <= 16; ++n)
        folded[n] = y[63 - (16 + n)] + y[63 - (16 - n)];
    for (int32_t n = 17; n < 32; ++n)
        folded[n] = y[63 - (16 + n)] - y[63 - (80 - n)];
    for (int32_t k = 0; k < kSubbands; ++k) {
        float sum = 0.0f;
        for (int32_t n = 0; n < 32; ++n)
            sum += Matrix[k][n] * folded[n];
        out[k] = sum;
    }
}

void SubbandAnalysisFilter::Process(const float* samples, int32_t blocks, float* out) {
    const size_t fresh = static_cast<size_t>(blocks) * kSubbands;
    Buffer.resize(kHistory + fresh);
    std::copy(samples, samples + fresh, Buffer.begin() + kHistory);
    for (int32_t b = 0; b < blocks; ++b)
        FilterBlock(Buffer.data() + static_cast<size_t>(b) * kSubbands, out + static_cast<size_t>(b) * kSubbands);
    std::copy(Buffer.end() - kHistory, Buffer.end(), Buffer.begin());
}

} // namespace quillset::mpa
