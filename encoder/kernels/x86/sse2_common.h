// Helpers shared by the SSE2 kernels: unaligned loads and exact half-sample row predictors.
//
// Everything here is static inline (internal linkage) on purpose: kernel files are compiled with
// their own instruction-set flags, and a shared out-of-line copy could end up in a program built
// for an older processor.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quillset::x86 {
namespace {

// The four half-sample variants in table order.
enum class THalfMode { Full, V, H, HV };

inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load4(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}
inline void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline void Store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// Sum of the four 32-bit lanes.
inline int32_t HorizontalSum32(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

// Sum of the two 64-bit lanes of a psadbw accumulator (each below 2^31).
inline int32_t SadSum(__m128i v) { return _mm_cvtsi128_si32(_mm_add_epi32(v, _mm_srli_si128(v, 8))); }

// The horizontal half-sample average of a row and the parity of each pixel pair's sum.
struct TPairAverage {
    __m128i avg;    // (a + b + 1) >> 1
    __m128i parity; // (a + b) & 1
};

inline TPairAverage MakePair(__m128i a, __m128i b) {
    return {_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1))};
}

// (a + b + c + d + 2) >> 2 from the pair averages A, B and parities p, q of two rows, without
// widening. With the halves u = A - p and v = B - q rounded down, the result is
// (u + v + 1) >> 1 unless both sums are odd, when it is (u + 1 + v + 1) >> 1:
// pavgb(A - (p & ~q), B - q) in every case.
inline __m128i AverageOfFour(const TPairAverage& top, const TPairAverage& bottom) {
    return _mm_avg_epu8(_mm_sub_epi8(top.avg, _mm_andnot_si128(bottom.parity, top.parity)),
                        _mm_sub_epi8(bottom.avg, bottom.parity));
}

// Rows of 16 (Wide) or 8 predicted pixels, one after the other from the top. The V and HV
// variants carry the row below over to the next call, so each source row is read once.
template <THalfMode Mode, bool Wide>
class TRowPredictor {
public:
    TRowPredictor(const uint8_t* ref, ptrdiff_t pitch) : ref_(ref), pitch_(pitch) {
        if constexpr (Mode == THalfMode::V)
            below_ = Load(ref_);
        if constexpr (Mode == THalfMode::HV)
            pair_ = Pair(ref_);
    }

    __m128i Next() {
        __m128i pred;
        if constexpr (Mode == THalfMode::Full) {
            pred = Load(ref_);
        } else if constexpr (Mode == THalfMode::H) {
            pred = _mm_avg_epu8(Load(ref_), Load(ref_ + 1));
        } else if constexpr (Mode == THalfMode::V) {
            const __m128i next = Load(ref_ + pitch_);
            pred = _mm_avg_epu8(below_, next);
            below_ = next;
        } else {
            const TPairAverage next = Pair(ref_ + pitch_);
            pred = AverageOfFour(pair_, next);
            pair_ = next;
        }
        ref_ += pitch_;
        return pred;
    }

private:
    static __m128i Load(const uint8_t* p) {
        if constexpr (Wide)
            return Load16(p);
        else
            return Load8(p);
    }

    static TPairAverage Pair(const uint8_t* p) { return MakePair(Load(p), Load(p + 1)); }

    const uint8_t* ref_;
    ptrdiff_t pitch_;
    __m128i below_{};
    TPairAverage pair_{};
};

// 32-bit lanes holding the sums of squares of the byte differences of a and b. The even and odd
// bytes of |a - b| are squared separately (mask and shift, no shuffles), which sums the same
// squares.
inline __m128i SquaredDiffs(__m128i a, __m128i b) {
    const __m128i d = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
    const __m128i even = _mm_and_si128(d, _mm_set1_epi16(0xFF)), odd = _mm_srli_epi16(d, 8);
    return _mm_add_epi32(_mm_madd_epi16(even, even), _mm_madd_epi16(odd, odd));
}

// Rows of an 8x8 block of 16-bit coefficients.
inline __m128i LoadRow(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreRow(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Transposes eight vectors of eight 16-bit values in place.
inline void Transpose8x8(__m128i* v) {
    const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
    const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
    const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a5 = _mm_unpackhi_epi16(v[4], v[5]);
    const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    v[0] = _mm_unpacklo_epi64(b0, b4);
    v[1] = _mm_unpackhi_epi64(b0, b4);
    v[2] = _mm_unpacklo_epi64(b1, b5);
    v[3] = _mm_unpackhi_epi64(b1, b5);
    v[4] = _mm_unpacklo_epi64(b2, b6);
    v[5] = _mm_unpackhi_epi64(b2, b6);
    v[6] = _mm_unpacklo_epi64(b3, b7);
    v[7] = _mm_unpackhi_epi64(b3, b7);
}

} // namespace
} // namespace quillset::x86
