// SSE2 excess-difference energies of picture rows (scene change and pulldown detection).
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

inline __m128i AbsDiff(__m128i a, __m128i b) { return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a)); }

// Sum of squares of 16 unsigned bytes, as 32-bit lanes.
inline __m128i Squares(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    return _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
}

// max(0, |a - b| - t) is exactly the saturating byte subtraction.
int32_t ExcessDiffEnergy_Sse2(const uint8_t* a, const uint8_t* b, int32_t count, uint8_t threshold) {
    const __m128i t = _mm_set1_epi8(static_cast<char>(threshold));
    __m128i acc = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 16 <= count; i += 16)
        acc = _mm_add_epi32(acc, Squares(_mm_subs_epu8(AbsDiff(Load16(a + i), Load16(b + i)), t)));
    int32_t sum = HorizontalSum32(acc);
    for (; i < count; ++i) {
        const int32_t d = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
        const int32_t e = d - threshold;
        if (e > 0)
            sum += e * e;
    }
    return sum;
}

// w = min(|x - y| + |x - z|, 255) - |y - z| - t, counted where positive: the clamp is the
// saturating byte addition and the positive part two saturating subtractions.
int32_t ExcessDiffEnergy3_Sse2(const uint8_t* x, const uint8_t* y, const uint8_t* z, uint8_t threshold,
                               int32_t count) {
    const __m128i t = _mm_set1_epi8(static_cast<char>(threshold));
    __m128i acc = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i vx = Load16(x + i), vy = Load16(y + i), vz = Load16(z + i);
        const __m128i outer = _mm_adds_epu8(AbsDiff(vx, vy), AbsDiff(vx, vz));
        acc = _mm_add_epi32(acc, Squares(_mm_subs_epu8(_mm_subs_epu8(outer, AbsDiff(vy, vz)), t)));
    }
    int32_t sum = HorizontalSum32(acc);
    for (; i < count; ++i) {
        auto absDiff = [](int32_t p, int32_t q) { return p > q ? p - q : q - p; };
        int32_t outer = absDiff(x[i], y[i]) + absDiff(x[i], z[i]);
        outer = outer > 255 ? 255 : outer;
        const int32_t w = outer - absDiff(y[i], z[i]) - threshold;
        if (w > 0)
            sum += w * w;
    }
    return sum;
}

} // namespace

void FillSse2PictureMeasures(TKernelTable& t) {
    t.ExcessDiffEnergy = ExcessDiffEnergy_Sse2;
    t.ExcessDiffEnergy3 = ExcessDiffEnergy3_Sse2;
}

} // namespace quillset::x86
