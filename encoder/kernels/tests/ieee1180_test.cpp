// The inverse transform against IEEE Std 1180-1990: random pixel blocks go through an exact
// forward DCT (rounded and clipped to -2048..2047), then through the exact and the tested inverse
// transform (both rounded and clipped to -256..255); the error statistics must stay within the
// standard's limits. Runs for the reference kernel and the kernel this processor selects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/kernels/tests/dct_reference_math.h"

namespace quillset::testing {
namespace {

// The standard's pseudo-random generator: a 32-bit linear congruential sequence scaled to
// -low..high.
class TIeeeRandom {
public:
    int32_t Next(int32_t low, int32_t high) {
        state_ = state_ * 1103515245u + 12345u;
        const uint32_t i = state_ & 0x7FFFFFFEu;
        const double x = static_cast<double>(i) / static_cast<double>(0x7FFFFFFF) * (low + high + 1);
        return static_cast<int32_t>(x) - low;
    }

private:
    uint32_t state_ = 1;
};

struct TRange {
    int32_t Low, High, Sign;
};

struct TErrorStats {
    int32_t PeakError = 0;
    double PixelMeanSquare[64] = {};
    double PixelMean[64] = {};
    double OverallMeanSquare = 0;
    double OverallMean = 0;
};

int32_t Clip(double v, int32_t low, int32_t high) {
    return std::clamp(static_cast<int32_t>(std::floor(v + 0.5)), low, high);
}

TErrorStats RunBlocks(const TKernelTable& table, TRange range, int blocks) {
    TExactDct exact;
    TIeeeRandom random;
    TErrorStats s;
    double pixels[64], coefficients[64], reconstructed[64];
    for (int b = 0; b < blocks; ++b) {
        for (double& p : pixels)
            p = range.Sign * random.Next(range.Low, range.High);
        exact.Forward(pixels, coefficients);
        int16_t block[64];
        for (int i = 0; i < 64; ++i) {
            coefficients[i] = Clip(coefficients[i], -2048, 2047);
            block[i] = static_cast<int16_t>(coefficients[i]);
        }
        exact.Inverse(coefficients, reconstructed);
        table.InverseDct(block);
        for (int i = 0; i < 64; ++i) {
            const int32_t error = std::clamp<int32_t>(block[i], -256, 255) - Clip(reconstructed[i], -256, 255);
            s.PeakError = std::max(s.PeakError, std::abs(error));
            s.PixelMean[i] += error;
            s.PixelMeanSquare[i] += error * error;
        }
    }
    for (int i = 0; i < 64; ++i) {
        s.OverallMean += s.PixelMean[i];
        s.OverallMeanSquare += s.PixelMeanSquare[i];
        s.PixelMean[i] /= blocks;
        s.PixelMeanSquare[i] /= blocks;
    }
    s.OverallMean /= 64.0 * blocks;
    s.OverallMeanSquare /= 64.0 * blocks;
    return s;
}

TKernelTable ReferenceTable() {
    TKernelTable t;
    MPEGEncoder_FuncSet_Normal(t);
    return t;
}

TKernelTable ProcessorTable() {
    TKernelTable t = ReferenceTable();
    FillProcessorKernels(t, ActiveFeatures());
    return t;
}

class Ieee1180 : public ::testing::TestWithParam<TRange> {};

TEST_P(Ieee1180, InverseDctStaysWithinTheAccuracyLimits) {
    const TRange range = GetParam();
    for (const TKernelTable& table : {ReferenceTable(), ProcessorTable()}) {
        const TErrorStats s = RunBlocks(table, range, 10000);
        EXPECT_LE(s.PeakError, 1);
        for (int i = 0; i < 64; ++i) {
            EXPECT_LE(s.PixelMeanSquare[i], 0.06) << "pixel " << i;
            EXPECT_LE(std::fabs(s.PixelMean[i]), 0.015) << "pixel " << i;
        }
        EXPECT_LE(s.OverallMeanSquare, 0.02);
        EXPECT_LE(std::fabs(s.OverallMean), 0.0015);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, Ieee1180,
                         ::testing::Values(TRange{256, 255, 1}, TRange{256, 255, -1}, TRange{5, 5, 1},
                                           TRange{5, 5, -1}, TRange{300, 300, 1}, TRange{300, 300, -1}),
                         [](const ::testing::TestParamInfo<TRange>& r) {
                             return "L" + std::to_string(r.param.Low) + "H" + std::to_string(r.param.High) +
                                    (r.param.Sign > 0 ? "Plus" : "Minus");
                         });

TEST(Ieee1180Zero, AllZeroCoefficientsGiveAllZeroPixels) {
    for (const TKernelTable& table : {ReferenceTable(), ProcessorTable()}) {
        int16_t block[64] = {};
        table.InverseDct(block);
        for (int16_t v : block)
            EXPECT_EQ(v, 0);
    }
}

} // namespace
} // namespace quillset::testing
