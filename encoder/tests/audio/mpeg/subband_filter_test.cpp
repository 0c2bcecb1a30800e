// The fast analysis filterbank against the standard's procedure computed the long way.
#include "encoder/audio/mpeg/subband_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "encoder/audio/mpeg/analysis_window.h"

namespace quillset::mpa {
namespace {

// ISO/IEC 11172-3, C.1.3 step by step: shift 32 samples into X (newest at X[0]), window, sum
// the 8 strides into Y[64], matrix with cos((2k + 1)(i - 16) pi / 64).
class ReferenceFilter {
public:
    void Block(const float* samples, double* out) {
        for (int32_t i = 511; i >= 32; --i)
            X[i] = X[i - 32];
        for (int32_t i = 31; i >= 0; --i)
            X[i] = samples[31 - i] / 32768.0;
        double y[64] = {};
        for (int32_t i = 0; i < 64; ++i)
            for (int32_t j = 0; j < 8; ++j)
                y[i] += AnalysisWindow(i + 64 * j) * X[i + 64 * j];
        for (int32_t k = 0; k < 32; ++k) {
            out[k] = 0.0;
            for (int32_t i = 0; i < 64; ++i)
                out[k] += std::cos((2 * k + 1) * (i - 16) * std::numbers::pi / 64.0) * y[i];
        }
    }

private:
    double X[512] = {};
};

TEST(SubbandFilterTest, MatchesTheStandardsProcedure) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> level(-32768.0f, 32767.0f);
    std::vector<float> input(32 * 40);
    for (float& x : input)
        x = level(random);
    SubbandAnalysisFilter filter;
    ReferenceFilter reference;
    // Blocks handed over in calls of different sizes: the history must carry across calls.
    std::vector<float> out(input.size());
    filter.Process(input.data(), 3, out.data());
    filter.Process(input.data() + 3 * 32, 36, out.data() + 3 * 32);
    filter.Process(input.data() + 39 * 32, 1, out.data() + 39 * 32);
    for (int32_t b = 0; b < 40; ++b) {
        double expected[32];
        reference.Block(input.data() + 32 * b, expected);
        for (int32_t k = 0; k < 32; ++k)
            ASSERT_NEAR(out[32 * b + k], expected[k], 2e-5) << "block " << b << " subband " << k;
    }
}

TEST(SubbandFilterTest, ToneLandsInItsSubband) {
    const double fs = 48000.0;
    for (int32_t band : {0, 5, 17, 31}) {
        const double frequency = (band + 0.5) * fs / 64.0; // centre of the subband
        std::vector<float> input(32 * 48);
        for (size_t n = 0; n < input.size(); ++n)
            input[n] = static_cast<float>(16000.0 * std::sin(2.0 * std::numbers::pi * frequency * n / fs));
        SubbandAnalysisFilter filter;
        std::vector<float> out(input.size());
        filter.Process(input.data(), 48, out.data());
        double energy[32] = {};
        for (int32_t b = 24; b < 48; ++b) // past the filter's start-up
            for (int32_t k = 0; k < 32; ++k)
                energy[k] += out[32 * b + k] * out[32 * b + k];
        double total = 0.0;
        for (double e : energy)
            total += e;
        EXPECT_GT(energy[band] / total, 0.999) << "subband " << band;
    }
}

} // namespace
} // namespace quillset::mpa
