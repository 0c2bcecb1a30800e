// Checkers for the pixel-format conversions, chroma filters and picture measures.
#include <cstring>

#include "encoder/kernels/color_conversion.h"
#include "encoder/kernels/tests/kernel_check.h"

namespace quillset::testing {

namespace {

constexpr int kTrials = 120;

const TColorConversionTable& PickTable(TCheckRun& run) {
    static const TColorConversionTable analog = [] {
        TColorConversionTable t;
        BuildColorConversionTable(AnalogYUVCoefficients, t);
        return t;
    }();
    switch (run.Uniform(0, 2)) {
    case 0: return FullRangeConversionTable();
    case 1: return StudioRangeConversionTable();
    default: return analog;
    }
}

// Slots 91-110: per packed format (RGB 24, RGB 32, UYVY, YUY2) import into 4:2:0, 4:2:2, 4:4:4
// and export from 4:2:0, 4:2:2. Every buffer starts random; all of them must end up identical.
void CheckConversion(TPixelConversionKernel TKernelTable::*slot, int group, int entry, const TKernelTable& ref,
                     const TKernelTable& test, TCheckRun& run) {
    const int packedBytes = group == 0 ? 3 : (group == 1 ? 4 : 2);
    const bool halfWidth = entry != 2;
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int width = run.Chance(30) ? 16 * run.Uniform(1, 5) : run.Uniform(1, 70);
        const int height = run.Chance(30) ? 4 * run.Uniform(1, 6) : run.Uniform(1, 20);
        const bool fieldChroma = run.Chance(50);
        const int chromaWidth = halfWidth ? (width + 1) / 2 : width;
        const int packedPitch = PickPitch(run, width * packedBytes + 2, true);
        const int lumaPitch = PickPitch(run, width, false), chromaPitch = PickPitch(run, chromaWidth, false);
        TPlane packed(height, width * packedBytes + 2, packedPitch, static_cast<size_t>(run.Uniform(0, 15)));
        TPlane y(height, width, lumaPitch, static_cast<size_t>(run.Uniform(0, 15)));
        TPlane cb(height, chromaWidth, chromaPitch, static_cast<size_t>(run.Uniform(0, 15)));
        TPlane cr(height, chromaWidth, chromaPitch, static_cast<size_t>(run.Uniform(0, 15)));
        for (TPlane* p : {&packed, &y, &cb, &cr})
            FillBytes(p->Buffer.Data(), p->Buffer.Size(), PickFill(run, run.Uniform(0, 1)), run);
        TPlane packed2(packed), y2(y), cb2(cb), cr2(cr);
        const TColorConversionTable& table = PickTable(run);
        (ref.*slot)(packed.Row0(), width, height, fieldChroma, &table, chromaPitch, lumaPitch, cr.Row0(), cb.Row0(),
                    y.Row0(), packedPitch);
        (test.*slot)(packed2.Row0(), width, height, fieldChroma, &table, chromaPitch, lumaPitch, cr2.Row0(),
                     cb2.Row0(), y2.Row0(), packedPitch);
        const std::string input = std::to_string(width) + "x" + std::to_string(height) +
                                  (fieldChroma ? " field chroma" : "") + ", pitches " + std::to_string(packedPitch) +
                                  "/" + std::to_string(lumaPitch) + "/" + std::to_string(chromaPitch);
        run.Expect(packed.Buffer == packed2.Buffer, input, "packed " + packed2.Buffer.FirstDifference(packed.Buffer)) &&
            run.Expect(y.Buffer == y2.Buffer, input, "Y " + y2.Buffer.FirstDifference(y.Buffer)) &&
            run.Expect(cb.Buffer == cb2.Buffer, input, "Cb " + cb2.Buffer.FirstDifference(cb.Buffer)) &&
            run.Expect(cr.Buffer == cr2.Buffer, input, "Cr " + cr2.Buffer.FirstDifference(cr.Buffer));
    }
}

// Rows of `count` bytes; the threshold covers 0, 255 and the usual 8 and 16.
template <bool Three>
void CheckExcessDiffEnergy(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials * 2 && !run.Failed(); ++run.Trial) {
        const int count = run.Chance(20) ? run.Uniform(0, 17) : run.Uniform(0, 2000);
        const uint8_t choices[] = {0, 8, 16, 255};
        const auto threshold = static_cast<uint8_t>(run.Chance(50) ? choices[run.Uniform(0, 3)] : run.Uniform(0, 255));
        TGuardedBuffer x(static_cast<size_t>(count), static_cast<size_t>(run.Uniform(0, 15)));
        TGuardedBuffer y(static_cast<size_t>(count), static_cast<size_t>(run.Uniform(0, 15)));
        TGuardedBuffer z(static_cast<size_t>(count), static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(x.Data(), x.Size(), PickFill(run, 0), run);
        FillBytes(y.Data(), y.Size(), PickFill(run, 1), run);
        FillBytes(z.Data(), z.Size(), PickFill(run, run.Uniform(0, 1)), run);
        int32_t expected, got;
        if constexpr (Three) {
            expected = ref.ExcessDiffEnergy3(x.Data(), y.Data(), z.Data(), threshold, count);
            got = test.ExcessDiffEnergy3(x.Data(), y.Data(), z.Data(), threshold, count);
        } else {
            expected = ref.ExcessDiffEnergy(x.Data(), y.Data(), count, threshold);
            got = test.ExcessDiffEnergy(x.Data(), y.Data(), count, threshold);
        }
        run.Expect(expected == got, "count " + std::to_string(count) + ", threshold " + std::to_string(threshold),
                   "expected " + std::to_string(expected) + ", got " + std::to_string(got));
    }
}

} // namespace

void AddPictureCheckers(TCheckerMap& c) {
    using T = TKernelTable;
    TPixelConversionKernel T::*const conversions[20] = {
        &T::Rgb24ToYuv420, &T::Rgb24ToYuv422, &T::Rgb24ToYuv444, &T::Yuv420ToRgb24, &T::Yuv422ToRgb24,
        &T::Rgb32ToYuv420, &T::Rgb32ToYuv422, &T::Rgb32ToYuv444, &T::Yuv420ToRgb32, &T::Yuv422ToRgb32,
        &T::UyvyToYuv420,  &T::UyvyToYuv422,  &T::UyvyToYuv444,  &T::Yuv420ToUyvy,  &T::Yuv422ToUyvy,
        &T::Yuy2ToYuv420,  &T::Yuy2ToYuv422,  &T::Yuy2ToYuv444,  &T::Yuv420ToYuy2,  &T::Yuv422ToYuy2};
    for (int i = 0; i < 20; ++i) {
        auto slot = conversions[i];
        const int group = i / 5, entry = i % 5;
        c[91 + i] = [=](const T& r, const T& t, TCheckRun& run) { CheckConversion(slot, group, entry, r, t, run); };
    }
    c[116] = CheckExcessDiffEnergy<false>;
    c[117] = CheckExcessDiffEnergy<true>;
}

} // namespace quillset::testing
