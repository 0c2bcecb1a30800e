// SSE2 8x8 transforms. The integer transforms evaluate the reference flow graphs with 32-bit
// products (pmaddwd on pairs of 16-bit inputs, which equals the reference's grouping exactly);
// the single-precision transform performs the reference's operations in the same order. All
// three give the reference results bit for bit.
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

// Eight lanes of 32-bit values as two vectors (lanes 0-3, 4-7).
struct TWide {
    __m128i lo, hi;
};

inline TWide Add(TWide a, TWide b) { return {_mm_add_epi32(a.lo, b.lo), _mm_add_epi32(a.hi, b.hi)}; }
inline TWide Sub(TWide a, TWide b) { return {_mm_sub_epi32(a.lo, b.lo), _mm_sub_epi32(a.hi, b.hi)}; }
inline TWide AddConst(TWide a, int32_t c) {
    const __m128i k = _mm_set1_epi32(c);
    return {_mm_add_epi32(a.lo, k), _mm_add_epi32(a.hi, k)};
}
template <int N>
inline TWide Sar(TWide a) { return {_mm_srai_epi32(a.lo, N), _mm_srai_epi32(a.hi, N)}; }

// ca * a + cb * b per lane, from 16-bit inputs, exact in 32 bits.
inline TWide Dot(__m128i a, __m128i b, int16_t ca, int16_t cb) {
    const __m128i k = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(cb)) << 16) |
                                                          static_cast<uint16_t>(ca)));
    return {_mm_madd_epi16(_mm_unpacklo_epi16(a, b), k), _mm_madd_epi16(_mm_unpackhi_epi16(a, b), k)};
}
inline TWide Dot4(__m128i a, __m128i b, __m128i c, __m128i d, int16_t ca, int16_t cb, int16_t cc, int16_t cd) {
    return Add(Dot(a, b, ca, cb), Dot(c, d, cc, cd));
}

// Division by 2^N rounding toward zero.
template <int N>
inline __m128i DivPow2(__m128i v) {
    return _mm_srai_epi32(_mm_add_epi32(v, _mm_and_si128(_mm_srai_epi32(v, 31), _mm_set1_epi32((1 << N) - 1))), N);
}
template <int N>
inline __m128i Div16Bit(TWide v) { return _mm_packs_epi32(DivPow2<N>(v.lo), DivPow2<N>(v.hi)); }

// Eight int32 lanes to 16 bits by two's-complement wrap-around.
inline __m128i Wrap16(TWide v) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(v.lo, 16), 16), _mm_srai_epi32(_mm_slli_epi32(v.hi, 16), 16));
}

// One forward pass over x[0..7] (lanes = independent transforms), results in w[0..7].
template <bool Last>
void ForwardPass(const __m128i* x, __m128i* w) {
    const __m128i t0 = _mm_add_epi16(x[0], x[7]), t7 = _mm_sub_epi16(x[0], x[7]);
    const __m128i t1 = _mm_add_epi16(x[1], x[6]), t6 = _mm_sub_epi16(x[1], x[6]);
    const __m128i t2 = _mm_add_epi16(x[2], x[5]), t5 = _mm_sub_epi16(x[2], x[5]);
    const __m128i t3 = _mm_add_epi16(x[3], x[4]), t4 = _mm_sub_epi16(x[3], x[4]);
    const __m128i t10 = _mm_add_epi16(t0, t3), t13 = _mm_sub_epi16(t0, t3);
    const __m128i t11 = _mm_add_epi16(t1, t2), t12 = _mm_sub_epi16(t1, t2);
    constexpr int kShift = Last ? 17 : 12;
    if constexpr (Last) {
        const __m128i s = _mm_add_epi16(t10, t11), d = _mm_sub_epi16(t10, t11);
        const __m128i fifteen = _mm_set1_epi16(15);
        w[0] = _mm_srai_epi16(_mm_add_epi16(s, _mm_and_si128(_mm_srai_epi16(s, 15), fifteen)), 4);
        w[4] = _mm_srai_epi16(_mm_add_epi16(d, _mm_and_si128(_mm_srai_epi16(d, 15), fifteen)), 4);
    } else {
        const __m128i s = _mm_add_epi16(t10, t11), d = _mm_sub_epi16(t10, t11);
        w[0] = _mm_add_epi16(s, s);
        w[4] = _mm_add_epi16(d, d);
    }
    w[2] = Div16Bit<kShift>(Dot(t12, t13, 4433, 10703));
    w[6] = Div16Bit<kShift>(Dot(t12, t13, -10704, 4433));
    // The odd outputs with the rotations z1 .. z5 multiplied out.
    w[7] = Div16Bit<kShift>(Dot4(t4, t5, t6, t7, -11363, 9633, -6436, 2260));
    w[5] = Div16Bit<kShift>(Dot4(t4, t5, t6, t7, 9633, 2261, -11362, 6437));
    w[3] = Div16Bit<kShift>(Dot4(t4, t5, t6, t7, -6436, -11362, -2259, 9633));
    w[1] = Div16Bit<kShift>(Dot4(t4, t5, t6, t7, 2260, 6437, 9633, 11363));
}

void ForwardDct_Sse2(int16_t* block) {
    __m128i v[8], w[8];
    for (int r = 0; r < 8; ++r)
        v[r] = LoadRow(block + 8 * r);
    Transpose8x8(v); // v[k] = input k of every row
    ForwardPass<false>(v, w);
    Transpose8x8(w); // w[k] = row k of the intermediate block
    ForwardPass<true>(w, v);
    Transpose8x8(v); // v[j] = outputs of column j
    for (int j = 0; j < 8; ++j)
        StoreRow(block + 8 * j, v[j]);
}

// (181 * s + 128) >> 8 exactly: 181 * (s >> 8) + ((181 * (s & 255) + 128) >> 8).
inline __m128i Rotate181(__m128i s) {
    const __m128i h = _mm_srai_epi32(s, 8);
    const __m128i h181 = _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(h, 7), _mm_slli_epi32(h, 5)),
                                       _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(h, 4), _mm_slli_epi32(h, 2)), h));
    const __m128i l = _mm_and_si128(s, _mm_set1_epi32(255));
    const __m128i l181 = _mm_madd_epi16(l, _mm_set1_epi32(181)); // the high halves are zero
    return _mm_add_epi32(h181, _mm_srai_epi32(_mm_add_epi32(l181, _mm_set1_epi32(128)), 8));
}
inline TWide Rotate181(TWide s) { return {Rotate181(s.lo), Rotate181(s.hi)}; }

constexpr int16_t W1 = 2841, W2 = 2676, W3 = 2408, W5 = 1609, W6 = 1108, W7 = 565;

// One inverse pass over b[0..7] (lanes = independent transforms), results wrapped to 16 bits.
template <bool Second>
void InversePass(const __m128i* b, __m128i* out) {
    constexpr int16_t kScale = Second ? 256 : 2048;
    constexpr int32_t kDc = Second ? 8192 : 128;
    constexpr int32_t kRound = Second ? 4 : 0;
    constexpr int kShift = Second ? 3 : 0;
    const TWide x8 = AddConst(Dot(b[0], b[4], kScale, kScale), kDc);
    const TWide x0 = AddConst(Dot(b[0], b[4], kScale, -kScale), kDc);
    const TWide x4 = Sar<kShift>(AddConst(Dot(b[1], b[7], W1, W7), kRound));
    const TWide x5 = Sar<kShift>(AddConst(Dot(b[1], b[7], W7, -W1), kRound));
    const TWide x6 = Sar<kShift>(AddConst(Dot(b[5], b[3], W5, W3), kRound));
    const TWide x7 = Sar<kShift>(AddConst(Dot(b[5], b[3], W3, -W5), kRound));
    const TWide x2 = Sar<kShift>(AddConst(Dot(b[2], b[6], W6, -W2), kRound));
    const TWide x3 = Sar<kShift>(AddConst(Dot(b[2], b[6], W2, W6), kRound));
    const TWide s1 = Add(x4, x6), s4 = Sub(x4, x6), s6 = Add(x5, x7), s5 = Sub(x5, x7);
    const TWide s7 = Add(x8, x3), s8 = Sub(x8, x3), s3 = Add(x0, x2), s0 = Sub(x0, x2);
    const TWide r2 = Rotate181(Add(s4, s5)), r4 = Rotate181(Sub(s4, s5));
    constexpr int kOut = Second ? 14 : 8;
    out[0] = Wrap16(Sar<kOut>(Add(s7, s1)));
    out[1] = Wrap16(Sar<kOut>(Add(s3, r2)));
    out[2] = Wrap16(Sar<kOut>(Add(s0, r4)));
    out[3] = Wrap16(Sar<kOut>(Add(s8, s6)));
    out[4] = Wrap16(Sar<kOut>(Sub(s8, s6)));
    out[5] = Wrap16(Sar<kOut>(Sub(s0, r4)));
    out[6] = Wrap16(Sar<kOut>(Sub(s3, r2)));
    out[7] = Wrap16(Sar<kOut>(Sub(s7, s1)));
}

// The reference's shortcut for rows with only a first value gives the same numbers as the full
// pass, so every row takes the full pass here.
void InverseDct_Sse2(int16_t* block) {
    __m128i v[8], w[8];
    for (int r = 0; r < 8; ++r)
        v[r] = LoadRow(block + 8 * r);
    Transpose8x8(v);
    InversePass<false>(v, w);
    Transpose8x8(w);
    InversePass<true>(w, v);
    Transpose8x8(v);
    for (int j = 0; j < 8; ++j)
        StoreRow(block + 8 * j, v[j]);
}

} // namespace

void FillSse2Transforms(TKernelTable& t) {
    t.ForwardDct = ForwardDct_Sse2;
    t.InverseDct = InverseDct_Sse2;
    FillSse2FloatTransforms(t);
}

} // namespace quillset::x86
