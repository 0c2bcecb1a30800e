#include "plugins/ac3sube/ac3_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "plugins/ac3sube/ac3_tables.h"

namespace quillset::ac3sube {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The transform as A/52 writes it: X[k] = -2/N sum x[n] cos(pi/2N (2k+1)(2n+1+2n0)).
std::vector<double> Direct(const double* x, int n, int n0) {
    std::vector<double> out(n / 2);
    for (int k = 0; k < n / 2; ++k) {
        double sum = 0;
        for (int i = 0; i < n; ++i)
            sum += x[i] * std::cos(kPi / (2.0 * n) * (2 * k + 1) * (2 * i + 1 + 2 * n0));
        out[k] = -2.0 / n * sum;
    }
    return out;
}

// The decoder's inverse: y[n] = -2 sum X[k] cos(...), same kernel.
std::vector<double> Inverse(const double* coefficients, int n, int n0) {
    std::vector<double> out(n);
    for (int i = 0; i < n; ++i) {
        double sum = 0;
        for (int k = 0; k < n / 2; ++k)
            sum += coefficients[k] * std::cos(kPi / (2.0 * n) * (2 * k + 1) * (2 * i + 1 + 2 * n0));
        out[i] = -2.0 * sum;
    }
    return out;
}

std::vector<double> RandomSamples(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> x(count);
    for (double& v : x)
        v = value(random);
    return x;
}

struct TransformCase {
    int n, n0;
};

class AC3TransformTest : public ::testing::TestWithParam<TransformCase> {};

TEST_P(AC3TransformTest, MatchesTheDirectSum) {
    const TransformCase c = GetParam();
    const std::vector<double> x = RandomSamples(c.n, 7u + c.n0);
    TAC3Transform transform;
    std::vector<double> fast(c.n / 2);
    transform.Transform(x.data(), c.n, c.n0, fast.data());
    const std::vector<double> slow = Direct(x.data(), c.n, c.n0);
    for (int k = 0; k < c.n / 2; ++k)
        ASSERT_NEAR(fast[k], slow[k], 1e-12) << "k " << k;
}

// Long (alpha 0) and the two short transforms (alpha -1 and +1).
INSTANTIATE_TEST_SUITE_P(Kinds, AC3TransformTest,
                         ::testing::Values(TransformCase{512, 128}, TransformCase{256, 0}, TransformCase{256, 128}));

// Any mix of long and short blocks must come back exactly through the decoder's inverse,
// window and overlap-add: the aliasing of neighbouring blocks cancels.
TEST(AC3TransformReconstructionTest, MixedBlocksReconstructTheInput) {
    const double* w = TransformWindow();
    const bool pattern[] = {false, true, true, false, true, false, false, true};
    constexpr int kBlocks = 8;
    const std::vector<double> input = RandomSamples(kBlocks * 256, 3);
    TAC3Transform transform;
    std::vector<double> previous(256, 0.0), overlap(256, 0.0), output;
    for (int b = 0; b < kBlocks; ++b) {
        double windowed[512];
        for (int n = 0; n < 256; ++n) {
            windowed[n] = previous[n] * w[n];
            windowed[256 + n] = input[b * 256 + n] * w[255 - n];
        }
        previous.assign(input.begin() + b * 256, input.begin() + (b + 1) * 256);
        double coefficients[256];
        transform.Forward(windowed, pattern[b], coefficients);
        std::vector<double> y;
        if (pattern[b]) {
            double first[128], second[128];
            for (int k = 0; k < 128; ++k) {
                first[k] = coefficients[2 * k];
                second[k] = coefficients[2 * k + 1];
            }
            y = Inverse(first, 256, 0);
            const std::vector<double> y2 = Inverse(second, 256, 128);
            y.insert(y.end(), y2.begin(), y2.end());
        } else {
            y = Inverse(coefficients, 512, 128);
        }
        for (int n = 0; n < 256; ++n) {
            output.push_back(y[n] * w[n] + overlap[n]);
            overlap[n] = y[256 + n] * w[255 - n];
        }
    }
    // Output block b is input block b - 1.
    for (int i = 256; i < kBlocks * 256; ++i)
        ASSERT_NEAR(output[i], input[i - 256], 1e-12) << "sample " << i;
}

} // namespace
} // namespace quillset::ac3sube
