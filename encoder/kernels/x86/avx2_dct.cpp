// AVX2 integer 8x8 transforms: the SSE2 flow (pmaddwd on pairs of 16-bit inputs, exact in
// 32 bits) with all eight transforms of a pass in one 256-bit register of 32-bit lanes.
#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

// Eight lanes of 16-bit a and b interleaved into pairs (lane order kept) for pmaddwd.
inline __m256i Interleave(__m128i a, __m128i b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(a, b)), _mm_unpackhi_epi16(a, b), 1);
}

inline __m256i Pair(int16_t ca, int16_t cb) {
    return _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(cb)) << 16) |
                                                  static_cast<uint16_t>(ca)));
}

// ca * a + cb * b per lane for interleaved pairs.
inline __m256i Dot(__m256i pairs, int16_t ca, int16_t cb) { return _mm256_madd_epi16(pairs, Pair(ca, cb)); }

template <int N>
inline __m256i DivPow2(__m256i v) {
    return _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_and_si256(_mm256_srai_epi32(v, 31), _mm256_set1_epi32((1 << N) - 1))), N);
}

// Eight 32-bit lanes to eight 16-bit lanes (values already within range).
inline __m128i Narrow(__m256i v) { return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)); }

// Eight 32-bit lanes to 16 bits by two's-complement wrap-around.
inline __m128i Wrap16(__m256i v) { return Narrow(_mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16)); }

template <bool Last>
void ForwardPass(const __m128i* x, __m128i* w) {
    const __m128i t0 = _mm_add_epi16(x[0], x[7]), t7 = _mm_sub_epi16(x[0], x[7]);
    const __m128i t1 = _mm_add_epi16(x[1], x[6]), t6 = _mm_sub_epi16(x[1], x[6]);
    const __m128i t2 = _mm_add_epi16(x[2], x[5]), t5 = _mm_sub_epi16(x[2], x[5]);
    const __m128i t3 = _mm_add_epi16(x[3], x[4]), t4 = _mm_sub_epi16(x[3], x[4]);
    const __m128i t10 = _mm_add_epi16(t0, t3), t13 = _mm_sub_epi16(t0, t3);
    const __m128i t11 = _mm_add_epi16(t1, t2), t12 = _mm_sub_epi16(t1, t2);
    const __m128i s = _mm_add_epi16(t10, t11), d = _mm_sub_epi16(t10, t11);
    constexpr int kShift = Last ? 17 : 12;
    if constexpr (Last) {
        const __m128i fifteen = _mm_set1_epi16(15);
        w[0] = _mm_srai_epi16(_mm_add_epi16(s, _mm_and_si128(_mm_srai_epi16(s, 15), fifteen)), 4);
        w[4] = _mm_srai_epi16(_mm_add_epi16(d, _mm_and_si128(_mm_srai_epi16(d, 15), fifteen)), 4);
    } else {
        w[0] = _mm_add_epi16(s, s);
        w[4] = _mm_add_epi16(d, d);
    }
    const __m256i even = Interleave(t12, t13);
    w[2] = Narrow(DivPow2<kShift>(Dot(even, 4433, 10703)));
    w[6] = Narrow(DivPow2<kShift>(Dot(even, -10704, 4433)));
    const __m256i p45 = Interleave(t4, t5), p67 = Interleave(t6, t7);
    w[7] = Narrow(DivPow2<kShift>(_mm256_add_epi32(Dot(p45, -11363, 9633), Dot(p67, -6436, 2260))));
    w[5] = Narrow(DivPow2<kShift>(_mm256_add_epi32(Dot(p45, 9633, 2261), Dot(p67, -11362, 6437))));
    w[3] = Narrow(DivPow2<kShift>(_mm256_add_epi32(Dot(p45, -6436, -11362), Dot(p67, -2259, 9633))));
    w[1] = Narrow(DivPow2<kShift>(_mm256_add_epi32(Dot(p45, 2260, 6437), Dot(p67, 9633, 11363))));
}

void ForwardDct_Avx2(int16_t* block) {
    __m128i v[8], w[8];
    for (int r = 0; r < 8; ++r)
        v[r] = LoadRow(block + 8 * r);
    Transpose8x8(v);
    ForwardPass<false>(v, w);
    Transpose8x8(w);
    ForwardPass<true>(w, v);
    Transpose8x8(v);
    for (int j = 0; j < 8; ++j)
        StoreRow(block + 8 * j, v[j]);
}

// (181 * s + 128) >> 8 exactly: 181 * (s >> 8) + ((181 * (s & 255) + 128) >> 8), the first
// product as shifts and adds (181 = 128 + 32 + 16 + 4 + 1).
inline __m256i Rotate181(__m256i s) {
    const __m256i h = _mm256_srai_epi32(s, 8);
    const __m256i high = _mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(h, 7), _mm256_slli_epi32(h, 5)),
                                          _mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(h, 4), _mm256_slli_epi32(h, 2)), h));
    const __m256i low = _mm256_madd_epi16(_mm256_and_si256(s, _mm256_set1_epi32(255)), _mm256_set1_epi32(181));
    return _mm256_add_epi32(high, _mm256_srai_epi32(_mm256_add_epi32(low, _mm256_set1_epi32(128)), 8));
}

constexpr int16_t W1 = 2841, W2 = 2676, W3 = 2408, W5 = 1609, W6 = 1108, W7 = 565;

// Transposes eight vectors of eight 32-bit values in place.
inline void Transpose8x8(__m256i* v) {
    const __m256i a0 = _mm256_unpacklo_epi32(v[0], v[1]), a1 = _mm256_unpackhi_epi32(v[0], v[1]);
    const __m256i a2 = _mm256_unpacklo_epi32(v[2], v[3]), a3 = _mm256_unpackhi_epi32(v[2], v[3]);
    const __m256i a4 = _mm256_unpacklo_epi32(v[4], v[5]), a5 = _mm256_unpackhi_epi32(v[4], v[5]);
    const __m256i a6 = _mm256_unpacklo_epi32(v[6], v[7]), a7 = _mm256_unpackhi_epi32(v[6], v[7]);
    const __m256i b0 = _mm256_unpacklo_epi64(a0, a2), b1 = _mm256_unpackhi_epi64(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi64(a1, a3), b3 = _mm256_unpackhi_epi64(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi64(a4, a6), b5 = _mm256_unpackhi_epi64(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi64(a5, a7), b7 = _mm256_unpackhi_epi64(a5, a7);
    v[0] = _mm256_permute2x128_si256(b0, b4, 0x20);
    v[1] = _mm256_permute2x128_si256(b1, b5, 0x20);
    v[2] = _mm256_permute2x128_si256(b2, b6, 0x20);
    v[3] = _mm256_permute2x128_si256(b3, b7, 0x20);
    v[4] = _mm256_permute2x128_si256(b0, b4, 0x31);
    v[5] = _mm256_permute2x128_si256(b1, b5, 0x31);
    v[6] = _mm256_permute2x128_si256(b2, b6, 0x31);
    v[7] = _mm256_permute2x128_si256(b3, b7, 0x31);
}

inline __m256i Wrap16In32(__m256i v) { return _mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16); }

// The butterflies and outputs common to both passes, from the rotated inputs.
template <int OutShift>
void InverseOutputs(__m256i x0, __m256i x2, __m256i x3, __m256i x4, __m256i x5, __m256i x6, __m256i x7,
                    __m256i x8, __m256i* out) {
    const __m256i s1 = _mm256_add_epi32(x4, x6), s4 = _mm256_sub_epi32(x4, x6);
    const __m256i s6 = _mm256_add_epi32(x5, x7), s5 = _mm256_sub_epi32(x5, x7);
    const __m256i s7 = _mm256_add_epi32(x8, x3), s8 = _mm256_sub_epi32(x8, x3);
    const __m256i s3 = _mm256_add_epi32(x0, x2), s0 = _mm256_sub_epi32(x0, x2);
    const __m256i r2 = Rotate181(_mm256_add_epi32(s4, s5)), r4 = Rotate181(_mm256_sub_epi32(s4, s5));
    out[0] = Wrap16In32(_mm256_srai_epi32(_mm256_add_epi32(s7, s1), OutShift));
    out[1] = Wrap16In32(_mm256_srai_epi32(_mm256_add_epi32(s3, r2), OutShift));
    out[2] = Wrap16In32(_mm256_srai_epi32(_mm256_add_epi32(s0, r4), OutShift));
    out[3] = Wrap16In32(_mm256_srai_epi32(_mm256_add_epi32(s8, s6), OutShift));
    out[4] = Wrap16In32(_mm256_srai_epi32(_mm256_sub_epi32(s8, s6), OutShift));
    out[5] = Wrap16In32(_mm256_srai_epi32(_mm256_sub_epi32(s0, r4), OutShift));
    out[6] = Wrap16In32(_mm256_srai_epi32(_mm256_sub_epi32(s3, r2), OutShift));
    out[7] = Wrap16In32(_mm256_srai_epi32(_mm256_sub_epi32(s7, s1), OutShift));
}

// First pass on 16-bit inputs b[k] (lanes = stored rows): products with pmaddwd.
void InverseFirstPass(const __m128i* b, __m256i* out) {
    const __m256i dc = _mm256_set1_epi32(128);
    const __m256i p04 = Interleave(b[0], b[4]), p17 = Interleave(b[1], b[7]);
    const __m256i p53 = Interleave(b[5], b[3]), p26 = Interleave(b[2], b[6]);
    InverseOutputs<8>(_mm256_add_epi32(Dot(p04, 2048, -2048), dc), Dot(p26, W6, -W2), Dot(p26, W2, W6),
                      Dot(p17, W1, W7), Dot(p17, W7, -W1), Dot(p53, W5, W3), Dot(p53, W3, -W5),
                      _mm256_add_epi32(Dot(p04, 2048, 2048), dc), out);
}

// Pairs for pmaddwd from two vectors of 32-bit lanes holding 16-bit values: a in the low half of
// each lane, b in the high half (a blend, no shuffle).
inline __m256i PairLanes(__m256i a, __m256i b) { return _mm256_blend_epi16(a, _mm256_slli_epi32(b, 16), 0xAA); }

// Second pass on 32-bit inputs b[k] (lanes = columns, values wrapped to 16 bits). The rotations
// with their rounding term, as in the reference, are exact as single dot products.
void InverseSecondPass(const __m256i* b, __m256i* out) {
    const __m256i four = _mm256_set1_epi32(4), dc = _mm256_set1_epi32(8192);
    const __m256i p04 = PairLanes(b[0], b[4]), p17 = PairLanes(b[1], b[7]);
    const __m256i p53 = PairLanes(b[5], b[3]), p26 = PairLanes(b[2], b[6]);
    auto rotated = [&](__m256i pairs, int16_t ca, int16_t cb) {
        return _mm256_srai_epi32(_mm256_add_epi32(Dot(pairs, ca, cb), four), 3);
    };
    InverseOutputs<14>(_mm256_add_epi32(Dot(p04, 256, -256), dc), rotated(p26, W6, -W2), rotated(p26, W2, W6),
                       rotated(p17, W1, W7), rotated(p17, W7, -W1), rotated(p53, W5, W3), rotated(p53, W3, -W5),
                       _mm256_add_epi32(Dot(p04, 256, 256), dc), out);
}

void InverseDct_Avx2(int16_t* block) {
    __m128i v[8];
    __m256i w[8], o[8];
    for (int r = 0; r < 8; ++r)
        v[r] = LoadRow(block + 8 * r);
    Transpose8x8(v);          // v[k] = input k of every stored row
    InverseFirstPass(v, w);   // w[k] = output k of every stored row, wrapped to 16 bits
    Transpose8x8(w);          // w[r] = stored row r of the intermediate block
    InverseSecondPass(w, o);  // o[k] = output k of every column
    Transpose8x8(o);          // o[j] = picture row j
    for (int j = 0; j < 8; j += 2) {
        const __m256i rows = _mm256_permute4x64_epi64(_mm256_packs_epi32(o[j], o[j + 1]), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * j), rows);
    }
}

} // namespace

void FillAvx2Transforms(TKernelTable& t) {
    t.ForwardDct = ForwardDct_Avx2;
    t.InverseDct = InverseDct_Avx2;
    FillAvx2FloatTransforms(t);
}

} // namespace quillset::x86
