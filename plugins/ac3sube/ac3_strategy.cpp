#include "plugins/ac3sube/ac3_strategy.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillset::ac3sube {

int32_t ChooseBandwidthCode(int32_t fscod, int32_t bitsPerSecond) {
    // The audio bandwidth grows with the bits each channel gets: about 9 kHz at 32 kbit/s,
    // 12.5 kHz at 64, 15.8 kHz at 96, 19 kHz at 128, the full band from about 180 kbit/s.
    const double kbps = bitsPerSecond / 1000.0;
    const double cutoff = std::clamp(6000.0 + 102.0 * kbps, 8000.0, 24000.0);
    const double binsPerHz = 512.0 / kSampleRates[fscod];
    const double end = cutoff * binsPerHz;
    return std::clamp(static_cast<int32_t>(std::lround((end - 73.0) / 3.0)), 0, 60);
}

namespace {

constexpr TExponentStrategy kCoded[3] = {ExponentStrategy_D15, ExponentStrategy_D25, ExponentStrategy_D45};

} // namespace

void ChooseExponentStrategies(const uint8_t (*wanted)[kCoefficients], int32_t end, double bitsPerStep,
                              TExponentStrategy* strategies) {
    // Per block and strategy: the smallest wanted exponent of each group (bin 0 alone, then
    // groups of 1, 2 or 4 bins), and the sum of all wanted exponents. The +-2 limit on the steps
    // between groups is left out of the estimate.
    constexpr int32_t kMaxGroups = kCoefficients;
    uint8_t groupMin[kBlocksPerFrame][3][kMaxGroups];
    // Groups: bin 0, then (end - 1) / size rounded up.
    const int32_t groups[3] = {end, 1 + (end - 1 + 1) / 2, 1 + (end - 1 + 3) / 4};
    int64_t wantedSum[kBlocksPerFrame];
    for (int32_t b = 0; b < kBlocksPerFrame; ++b) {
        wantedSum[b] = 0;
        // Single bins, padded with the largest exponent so that a last, partial group's minimum
        // is that of its bins; pairs from single bins, quads from pairs.
        uint8_t* single = groupMin[b][0];
        std::fill(single, single + kMaxGroups, kMaxExponent);
        for (int32_t bin = 0; bin < end; ++bin) {
            single[bin] = wanted[b][bin];
            wantedSum[b] += wanted[b][bin];
        }
        for (int32_t s = 1; s < 3; ++s) {
            const uint8_t* finer = groupMin[b][s - 1];
            uint8_t* g = groupMin[b][s];
            std::fill(g, g + kMaxGroups, kMaxExponent);
            g[0] = finer[0];
            for (int32_t v = 1; v < groups[s]; ++v)
                g[v] = std::min(finer[2 * v - 1], finer[2 * v]);
        }
    }
    // cost[a][b]: the best estimate for blocks a .. b sharing one set sent in block a.
    double cost[kBlocksPerFrame][kBlocksPerFrame];
    TExponentStrategy best[kBlocksPerFrame][kBlocksPerFrame];
    for (int32_t a = 0; a < kBlocksPerFrame; ++a) {
        uint8_t shared[3][kMaxGroups];
        for (int32_t s = 0; s < 3; ++s)
            std::copy(groupMin[a][s], groupMin[a][s] + groups[s], shared[s]);
        int64_t sum = 0;
        for (int32_t b = a; b < kBlocksPerFrame; ++b) {
            sum += wantedSum[b];
            const int32_t blocks = b - a + 1;
            cost[a][b] = std::numeric_limits<double>::max();
            for (int32_t s = 0; s < 3; ++s) {
                const int32_t size = 1 << s;
                uint8_t* __restrict g = shared[s];
                const uint8_t* __restrict m = groupMin[b][s];
                int32_t coded = 0; // at most 253 × 24
                for (int32_t v = 0; v < groups[s]; ++v) {
                    g[v] = std::min(g[v], m[v]);
                    coded += g[v];
                }
                // Every group but bin 0 and the last spans `size` bins.
                const int32_t lastSize = end - 1 - (groups[s] - 2) * size;
                const int64_t bins = g[0] + int64_t{coded - g[0] - g[groups[s] - 1]} * size +
                                     int64_t{g[groups[s] - 1]} * lastSize;
                const double c = ExponentSetBits(kCoded[s], end) + 6 + bitsPerStep * double(sum - blocks * bins);
                if (c < cost[a][b]) {
                    cost[a][b] = c;
                    best[a][b] = kCoded[s];
                }
            }
        }
    }
    // total[b]: the best estimate for blocks 0 .. b-1; from[b]: where its last run starts.
    double total[kBlocksPerFrame + 1];
    int32_t from[kBlocksPerFrame + 1];
    total[0] = 0;
    for (int32_t b = 1; b <= kBlocksPerFrame; ++b) {
        total[b] = std::numeric_limits<double>::max();
        for (int32_t a = 0; a < b; ++a) {
            const double c = total[a] + cost[a][b - 1];
            if (c < total[b]) {
                total[b] = c;
                from[b] = a;
            }
        }
    }
    for (int32_t b = kBlocksPerFrame; b > 0; b = from[b]) {
        const int32_t a = from[b];
        strategies[a] = best[a][b - 1];
        for (int32_t i = a + 1; i < b; ++i)
            strategies[i] = ExponentStrategy_Reuse;
    }
}

} // namespace quillset::ac3sube
