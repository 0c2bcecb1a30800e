// The reciprocal estimate the filters divide with: the emulation used on processors without SSE
// must stay within the bound the SSE instructions guarantee, as must the instruction itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "plugins/nr2d/reciprocal_estimate.h"
#include "plugins/nr2d/tests/reciprocal.h"

namespace quillset::testing {
namespace {

constexpr double kBound = 1.5 / 4096.0; // 1.5 * 2^-12

double RelativeError(float estimate, float d) { return std::fabs(static_cast<double>(estimate) * d - 1.0); }

TEST(ReciprocalEstimateTest, StaysWithinTheSseBound) {
    // Every weight sum the filters can form is an integer from 10 up to about 4 * 10^8; the
    // emulation is also checked on arbitrary floats across many binades.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    std::uniform_int_distribution<int32_t> exponent(-60, 60);
    for (int32_t i = 0; i < 200000; ++i) {
        const float integer = static_cast<float>(i < 100000 ? i + 1 : random() % 400000000 + 1);
        const float arbitrary = std::ldexp(mantissa(random), exponent(random));
        for (const float d : {integer, arbitrary}) {
            ASSERT_LE(RelativeError(noise_reduction::ReciprocalEstimateEmulated(d), d), kBound) << d;
            ASSERT_LE(RelativeError(TestReciprocalEstimate(d), d), kBound) << d;
        }
    }
}

TEST(ReciprocalEstimateTest, EmulationKeepsTwelveSignificantBits) {
    for (const float d : {3.0f, 7.0f, 2000.0f, 2700.0f, 123457.0f}) {
        const float r = noise_reduction::ReciprocalEstimateEmulated(d);
        uint32_t bits = 0;
        std::memcpy(&bits, &r, sizeof(bits));
        EXPECT_EQ(bits & 0xFFFu, 0u) << d;
        EXPECT_NE(r, 1.0f / d) << d; // none of these reciprocals has 12 bits only
    }
    EXPECT_EQ(noise_reduction::ReciprocalEstimateEmulated(4.0f), 0.25f);
}

} // namespace
} // namespace quillset::testing
