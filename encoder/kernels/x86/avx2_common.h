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

// Rows p and p + pitch in the low and high halves.
inline __m256i LoadRows(const uint8_t* p, ptrdiff_t pitch) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(p)), Load16(p + pitch), 1);
}

struct TPairAverage {
    __m256i avg, parity;
};

inline TPairAverage PairAverage(const uint8_t* p, ptrdiff_t pitch) {
    const __m256i a = LoadRows(p, pitch), b = LoadRows(p + 1, pitch);
    return {_mm256_avg_epu8(a, b), _mm256_xor_si256(a, b)};
}

// (a + b + c + d + 2) >> 2 from two rows of pair averages (see the SSE2 kernels).
inline __m256i AverageOfFour(const TPairAverage& top, const TPairAverage& bottom) {
    const __m256i rounded = _mm256_avg_epu8(top.avg, bottom.avg);
    const __m256i excess = _mm256_and_si256(
        _mm256_and_si256(_mm256_or_si256(top.parity, bottom.parity), _mm256_xor_si256(top.avg, bottom.avg)),
        _mm256_set1_epi8(1));
    return _mm256_sub_epi8(rounded, excess);
}

// Pairs of predicted rows (r, r + 1), from the top. Each pair reads the rows it needs again
// rather than carrying the last one over: loads are cheaper than lane-crossing permutes.
template <THalfMode Mode>
class TRowPairPredictor {
public:
    TRowPairPredictor(const uint8_t* ref, ptrdiff_t pitch) : ref_(ref), pitch_(pitch) {}

    __m256i Next() {
        __m256i pred;
        if constexpr (Mode == THalfMode::Full)
            pred = LoadRows(ref_, pitch_);
        else if constexpr (Mode == THalfMode::H)
            pred = _mm256_avg_epu8(LoadRows(ref_, pitch_), LoadRows(ref_ + 1, pitch_));
        else if constexpr (Mode == THalfMode::V)
            pred = _mm256_avg_epu8(LoadRows(ref_, pitch_), LoadRows(ref_ + pitch_, pitch_));
        else
            pred = AverageOfFour(PairAverage(ref_, pitch_), PairAverage(ref_ + pitch_, pitch_));
        ref_ += 2 * pitch_;
        return pred;
    }

private:
    const uint8_t* ref_;
    ptrdiff_t pitch_;
};

} // namespace
} // namespace quillset::x86
