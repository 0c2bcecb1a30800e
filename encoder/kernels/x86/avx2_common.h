// Helpers shared by the AVX2 kernels: two 16-byte rows per register and exact half-sample
// predictions of row pairs. Internal linkage only, like the SSE2 helpers: these files are built
// for AVX2 and nothing of them may be shared with generic code.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace quillset::x86 {
namespace {

enum class THalfMode { Full, V, H, HV };

inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Rows p and p + pitch in the low and high halves. The high half is inserted straight from
// memory, which costs no shuffle.
inline __m256i LoadRows(const uint8_t* p, ptrdiff_t pitch) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(p)), Load16(p + pitch), 1);
}

// The low half to p, the high half to p + pitch.
inline void StoreRows(uint8_t* p, ptrdiff_t pitch, __m256i v) {
    Store16(p, _mm256_castsi256_si128(v));
    Store16(p + pitch, _mm256_extracti128_si256(v, 1));
}

// The horizontal half-sample average of two rows and the parity of each pixel pair's sum.
struct TPairAverage {
    __m256i avg, parity; // (a + b + 1) >> 1 and (a + b) & 1
};

inline TPairAverage PairAverage(const uint8_t* p, ptrdiff_t pitch) {
    const __m256i a = LoadRows(p, pitch), b = LoadRows(p + 1, pitch);
    return {_mm256_avg_epu8(a, b), _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1))};
}

// (a + b + c + d + 2) >> 2 from two rows of pair averages (see the SSE2 kernels).
inline __m256i AverageOfFour(const TPairAverage& top, const TPairAverage& bottom) {
    return _mm256_avg_epu8(_mm256_sub_epi8(top.avg, _mm256_andnot_si256(bottom.parity, top.parity)),
                           _mm256_sub_epi8(bottom.avg, bottom.parity));
}

// Predicted 16-byte rows of a block split into an upper and a lower part of equal height `span`:
// each call gives row r of the upper part in the low half and row r of the lower part (row
// span + r) in the high half, from the top. Walking both parts down in step lets the V and HV
// variants carry the row below over to the next call, so each source row is read once, and no
// value ever crosses between the halves.
template <THalfMode Mode>
class TSplitRowPredictor {
public:
    TSplitRowPredictor(const uint8_t* ref, ptrdiff_t pitch, ptrdiff_t span)
        : ref_(ref), pitch_(pitch), span_(span * pitch) {
        if constexpr (Mode == THalfMode::V)
            below_ = LoadRows(ref_, span_);
        if constexpr (Mode == THalfMode::HV)
            pair_ = PairAverage(ref_, span_);
    }

    __m256i Next() {
        __m256i pred;
        if constexpr (Mode == THalfMode::Full) {
            pred = LoadRows(ref_, span_);
        } else if constexpr (Mode == THalfMode::H) {
            pred = _mm256_avg_epu8(LoadRows(ref_, span_), LoadRows(ref_ + 1, span_));
        } else if constexpr (Mode == THalfMode::V) {
            const __m256i next = LoadRows(ref_ + pitch_, span_);
            pred = _mm256_avg_epu8(below_, next);
            below_ = next;
        } else {
            const TPairAverage next = PairAverage(ref_ + pitch_, span_);
            pred = AverageOfFour(pair_, next);
            pair_ = next;
        }
        ref_ += pitch_;
        return pred;
    }

private:
    const uint8_t* ref_;
    ptrdiff_t pitch_, span_;
    __m256i below_{};
    TPairAverage pair_{};
};

} // namespace
} // namespace quillset::x86
