// AVX2 excess-difference energies of picture rows, 32 bytes at a time, the tail byte by byte.
#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

inline __m256i Load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline __m256i AbsDiff(__m256i a, __m256i b) { return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a)); }

inline __m256i Squares(__m256i v) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_unpacklo_epi8(v, zero), hi = _mm256_unpackhi_epi8(v, zero);
    return _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi));
}

inline int32_t HorizontalSum32(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(s);
}

inline int32_t AbsDiff(int32_t p, int32_t q) { return p > q ? p - q : q - p; }

int32_t ExcessDiffEnergy_Avx2(const uint8_t* a, const uint8_t* b, int32_t count, uint8_t threshold) {
    const __m256i t = _mm256_set1_epi8(static_cast<char>(threshold));
    __m256i acc = _mm256_setzero_si256();
    int32_t i = 0;
    for (; i + 32 <= count; i += 32)
        acc = _mm256_add_epi32(acc, Squares(_mm256_subs_epu8(AbsDiff(Load32(a + i), Load32(b + i)), t)));
    int32_t sum = HorizontalSum32(acc);
    for (; i < count; ++i) {
        const int32_t e = AbsDiff(a[i], b[i]) - threshold;
        if (e > 0)
            sum += e * e;
    }
    return sum;
}

int32_t ExcessDiffEnergy3_Avx2(const uint8_t* x, const uint8_t* y, const uint8_t* z, uint8_t threshold,
                               int32_t count) {
    const __m256i t = _mm256_set1_epi8(static_cast<char>(threshold));
    __m256i acc = _mm256_setzero_si256();
    int32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i vx = Load32(x + i), vy = Load32(y + i), vz = Load32(z + i);
        const __m256i outer = _mm256_adds_epu8(AbsDiff(vx, vy), AbsDiff(vx, vz));
        acc = _mm256_add_epi32(acc, Squares(_mm256_subs_epu8(_mm256_subs_epu8(outer, AbsDiff(vy, vz)), t)));
    }
    int32_t sum = HorizontalSum32(acc);
    for (; i < count; ++i) {
        int32_t outer = AbsDiff(x[i], y[i]) + AbsDiff(x[i], z[i]);
        outer = outer > 255 ? 255 : outer;
        const int32_t w = outer - AbsDiff(y[i], z[i]) - threshold;
        if (w > 0)
            sum += w * w;
    }
    return sum;
}

} // namespace

void FillAvx2PictureMeasures(TKernelTable& t) {
    t.ExcessDiffEnergy = ExcessDiffEnergy_Avx2;
    t.ExcessDiffEnergy3 = ExcessDiffEnergy3_Avx2;
}

} // namespace quillset::x86
