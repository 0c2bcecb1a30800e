// Reference chroma down-sampling filters and whole-picture difference measures.
#include <cstdlib>

#include "encoder/kernels/lookup_tables.h"
#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

// The filters weigh 12 taps whose weights sum to 512 and round: clamp((S + 256) / 512). A
// negative sum clamps to 0 whether the division truncates or floors.
uint8_t FilterResult(int32_t sum) { return static_cast<uint8_t>(ClampToByte((sum + 256) >> 9)); }

int32_t ClampIndex(int32_t i, int32_t low, int32_t high) { return i < low ? low : (i > high ? high : i); }

// Tap offsets relative to 2k and their weights.
constexpr int kCositedOffsets[7] = {0, -1, 1, -3, 3, -5, 5};
constexpr int kCositedWeights[7] = {256, 159, 159, -52, -52, 21, 21};
constexpr int kTaps = 12;
constexpr int kMidpointWeights[kTaps] = {5, 11, -21, -37, 70, 228, 228, 70, -37, -21, 11, 5}; // 2k-5 .. 2k+6
constexpr int kTopFieldWeights[kTaps] = {8, 5, -30, -18, 113, 242, 192, 35, -38, -10, 11, 2};
constexpr int kBottomFieldWeights[kTaps] = {2, 11, -10, -38, 35, 192, 242, 113, -18, -30, 5, 8};

void HalveChromaWidth(uint8_t* dst, const uint8_t* src, int32_t width, bool cosited, int32_t rows) {
    const int32_t outWidth = width / 2;
    for (int32_t r = 0; r < rows; ++r, src += width, dst += outWidth)
        for (int32_t k = 0; k < outWidth; ++k) {
            int32_t sum = 0;
            if (cosited) {
                for (int t = 0; t < 7; ++t)
                    sum += kCositedWeights[t] * src[ClampIndex(2 * k + kCositedOffsets[t], 0, width - 1)];
            } else {
                for (int t = 0; t < kTaps; ++t)
                    sum += kMidpointWeights[t] * src[ClampIndex(2 * k - 5 + t, 0, width - 1)];
            }
            dst[k] = FilterResult(sum);
        }
}

// One destination row from 12 source rows first, first + step, ... clamped to [low, high].
void FilterRows(uint8_t* dst, const uint8_t* src, int32_t width, const int* weights, int32_t first, int32_t step,
                int32_t low, int32_t high) {
    const uint8_t* rows[kTaps];
    for (int t = 0; t < kTaps; ++t)
        rows[t] = src + ptrdiff_t{ClampIndex(first + t * step, low, high)} * width;
    for (int32_t x = 0; x < width; ++x) {
        int32_t sum = 0;
        for (int t = 0; t < kTaps; ++t)
            sum += weights[t] * rows[t][x];
        dst[x] = FilterResult(sum);
    }
}

// Interlaced pictures filter each field by itself: destination rows alternate between the top
// field (even rows) and the bottom field (odd rows). When the height is not a multiple of 4 the
// last destination row is an even one and comes from the top field as well.
void HalveChromaHeight(uint8_t* dst, const uint8_t* src, int32_t width, bool interlaced, int32_t height) {
    const int32_t outRows = height / 2;
    for (int32_t d = 0; d < outRows; ++d) {
        uint8_t* out = dst + ptrdiff_t{d} * width;
        if (!interlaced) {
            FilterRows(out, src, width, kMidpointWeights, 2 * d - 5, 1, 0, height - 1);
        } else if (d % 2 == 0) {
            FilterRows(out, src, width, kTopFieldWeights, 2 * d - 10, 2, 0, height - 2);
        } else {
            FilterRows(out, src, width, kBottomFieldWeights, 2 * (d - 1) - 9, 2, 1, height - 1);
        }
    }
}

// Sum |a - b|, sum a and sum a^2 of the 8x8 block at a, b (pitch = width).
struct TBlockStats {
    int32_t sad = 0, sum = 0, energy = 0;
};

TBlockStats BlockStats(const uint8_t* a, const uint8_t* b, int32_t pitch) {
    TBlockStats s;
    for (int r = 0; r < 8; ++r, a += pitch, b += pitch)
        for (int x = 0; x < 8; ++x) {
            s.sad += std::abs(a[x] - b[x]);
            s.sum += a[x];
            s.energy += a[x] * a[x];
        }
    return s;
}

template <typename Term>
float MeasureBlocks(int32_t width, int32_t height, const uint8_t* a, const uint8_t* b, Term term) {
    float total = 0.0f;
    for (int32_t by = 0; by + 8 <= height; by += 8)
        for (int32_t bx = 0; bx + 8 <= width; bx += 8) {
            const ptrdiff_t offset = ptrdiff_t{by} * width + bx;
            total += term(BlockStats(a + offset, b + offset, width));
        }
    return total;
}

float PictureChangeMeasure(int32_t width, int32_t height, const uint8_t* a, const uint8_t* b) {
    return MeasureBlocks(width, height, a, b, [](const TBlockStats& s) {
        const float change = static_cast<float>(s.sad + 1);
        const float energy = static_cast<float>(1 + s.energy);
        return change * change / (energy + 1.0f);
    });
}

float PictureChangeMeasureNormalized(int32_t width, int32_t height, const uint8_t* a, const uint8_t* b) {
    return MeasureBlocks(width, height, a, b, [](const TBlockStats& s) {
        const float meanDiff = static_cast<float>(s.sad) / 64.0f;
        const float mean = static_cast<float>(s.sum) / 64.0f;
        const float meanSquare = static_cast<float>(s.energy) / 64.0f;
        return meanDiff * meanDiff / (meanSquare - mean * mean + 1.0f);
    });
}

int32_t ExcessDiffEnergy(const uint8_t* a, const uint8_t* b, int32_t count, uint8_t threshold) {
    int32_t sum = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t excess = AbsTable[a[i] - b[i] + kLookupCenter] - threshold;
        if (excess > 0)
            sum += excess * excess;
    }
    return sum;
}

// Combing: how much x stands out from both y and z beyond their own difference.
int32_t ExcessDiffEnergy3(const uint8_t* x, const uint8_t* y, const uint8_t* z, uint8_t threshold, int32_t count) {
    int32_t sum = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t outer = ClampToByte(std::abs(x[i] - y[i]) + std::abs(x[i] - z[i]));
        const int32_t w = outer - std::abs(y[i] - z[i]) - threshold;
        if (w > 0)
            sum += w * w;
    }
    return sum;
}

} // namespace

void FillPictureFilters(TKernelTable& t) {
    t.HalveChromaWidth = HalveChromaWidth;
    t.HalveChromaHeight = HalveChromaHeight;
    t.PictureChangeMeasure = PictureChangeMeasure;
    t.PictureChangeMeasureNormalized = PictureChangeMeasureNormalized;
    t.ExcessDiffEnergy = ExcessDiffEnergy;
    t.ExcessDiffEnergy3 = ExcessDiffEnergy3;
}

} // namespace quillset::reference
