// AVX2 integer 8x8 transforms, bit for bit the reference's.
//
// Each transform is a row pass, a column pass and a single transpose. The row pass works across
// the values of the stored rows, two rows per register: after a word shuffle, pmaddwd multiplies
// broadcast pairs of inputs with coefficient pairs, so that the linear parts of the pass are
// exact 32-bit dot products of its inputs, finished as the reference finishes them. That way the
// block needs no transpose before the row pass. The column pass runs down eight columns at once on the
// rows the row pass left, in row pairs chosen so that its butterflies and pmaddwd pairs line up
// half by half; one transpose in registers then gives the stored order.
#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/avx2_transform_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

constexpr int32_t PairWord(int a, int b) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16) | static_cast<uint16_t>(a));
}

// pmaddwd coefficients: (a, b) in every 32-bit lane, or four lanes repeated in both halves.
inline __m256i Pair(int a, int b) { return _mm256_set1_epi32(PairWord(a, b)); }
inline __m256i Pairs(int a0, int b0, int a1, int b1, int a2, int b2, int a3, int b3) {
    return _mm256_setr_epi32(PairWord(a0, b0), PairWord(a1, b1), PairWord(a2, b2), PairWord(a3, b3),
                             PairWord(a0, b0), PairWord(a1, b1), PairWord(a2, b2), PairWord(a3, b3));
}

// A word shuffle within each half: word i of the result is word order[i] of the same half.
inline __m256i WordShuffle(int w0, int w1, int w2, int w3, int w4, int w5, int w6, int w7) {
    const int order[8] = {w0, w1, w2, w3, w4, w5, w6, w7};
    alignas(32) int8_t bytes[32];
    for (int half = 0; half < 2; ++half)
        for (int i = 0; i < 8; ++i) {
            bytes[16 * half + 2 * i] = static_cast<int8_t>(2 * order[i]);
            bytes[16 * half + 2 * i + 1] = static_cast<int8_t>(2 * order[i] + 1);
        }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

// Rows a and b of the block in the low and high halves (two loads: each can be served by an
// earlier 16-byte store of its row).
inline __m256i LoadRowPair(const int16_t* block, int a, int b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(LoadRow(block + 8 * a)), LoadRow(block + 8 * b), 1);
}

// Division by 2^N rounding toward zero.
template <int N>
inline __m256i DivTrunc(__m256i v) {
    return _mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(v), N), v);
}

// [a | b], eight words each, to the pmaddwd pairs (a_i, b_i): words 0-3 of both in the low half,
// 4-7 in the high half, each half ordered by `order` (a word shuffle of [a0-3 b0-3] per half).
inline __m256i PairUp(__m256i v, __m256i order) {
    return _mm256_shuffle_epi8(_mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 1, 2, 0)), order);
}

// Forward transform (the reference's LL&M flow graph with 13-bit constants, every division
// rounding toward zero). Its outputs are linear in its inputs before the final division, so each
// is one dot product; the DC-type outputs get the factor 8192 so that they share the division.
//
// Row pass of two rows: outputs 0, 2, 4, 6, 1, 3, 5, 7 of each row, divided by 4096.
inline __m256i ForwardRows(__m256i x) {
    const __m256i r = _mm256_shuffle_epi8(x, WordShuffle(7, 6, 5, 4, 3, 2, 1, 0));
    const __m256i s = _mm256_add_epi16(x, r); // words 0-3: t0, t1, t2, t3
    const __m256i d = _mm256_sub_epi16(x, r); // words 0-3: t7, t6, t5, t4
    const __m256i even = _mm256_add_epi32(
        _mm256_madd_epi16(_mm256_shuffle_epi32(s, 0x00), Pairs(8192, 8192, 10703, 4433, 8192, -8192, 4433, -10704)),
        _mm256_madd_epi16(_mm256_shuffle_epi32(s, 0x55), Pairs(8192, 8192, -4433, -10703, -8192, 8192, 10704, -4433)));
    const __m256i odd = _mm256_add_epi32(
        _mm256_madd_epi16(_mm256_shuffle_epi32(d, 0x00), Pairs(11363, 9633, 9633, -2259, 6437, -11362, 2260, -6436)),
        _mm256_madd_epi16(_mm256_shuffle_epi32(d, 0x55), Pairs(6437, 2260, -11362, -6436, 2261, 9633, 9633, -11363)));
    return _mm256_packs_epi32(DivTrunc<12>(even), DivTrunc<12>(odd));
}

// Column pass and transpose. The rows come from the row pass in the pairs (0, 1), (7, 6), (3, 2),
// (4, 5); their columns are in the row pass's order, so that after the transpose the low halves
// hold the even rows of the result and the high halves the odd ones.
void ForwardDct_Avx2(int16_t* block) {
    const __m256i a = ForwardRows(LoadRowPair(block, 0, 1)), b = ForwardRows(LoadRowPair(block, 7, 6));
    const __m256i c = ForwardRows(LoadRowPair(block, 3, 2)), d = ForwardRows(LoadRowPair(block, 4, 5));
    // Inputs are pixel differences, so the 16-bit sums below stay within 8 * 4080.
    const __m256i t01 = _mm256_add_epi16(a, b), t76 = _mm256_sub_epi16(a, b);
    const __m256i t32 = _mm256_add_epi16(c, d), t45 = _mm256_sub_epi16(c, d);
    const __m256i t1011 = _mm256_add_epi16(t01, t32), t1312 = _mm256_sub_epi16(t01, t32);
    // Outputs 0 and 4: (t10 + t11) / 16 and (t10 - t11) / 16 as the two halves.
    const __m256i swapped = _mm256_permute2x128_si256(t1011, t1011, 0x01);
    __m256i dc = _mm256_blend_epi32(_mm256_add_epi16(t1011, swapped), _mm256_sub_epi16(swapped, t1011), 0xF0);
    dc = _mm256_srai_epi16(_mm256_add_epi16(dc, _mm256_and_si256(_mm256_srai_epi16(dc, 15), _mm256_set1_epi16(15))), 4);

    const __m256i order = WordShuffle(0, 4, 1, 5, 2, 6, 3, 7);
    const __m256i p1312 = PairUp(t1312, order), p76 = PairUp(t76, order), p45 = PairUp(t45, order);
    const auto odd = [&](int c7, int c6, int c4, int c5) {
        return DivTrunc<17>(
            _mm256_add_epi32(_mm256_madd_epi16(p76, Pair(c7, c6)), _mm256_madd_epi16(p45, Pair(c4, c5))));
    };
    const __m256i w1 = odd(11363, 9633, 2260, 6437), w3 = odd(9633, -2259, -6436, -11362);
    const __m256i w5 = odd(6437, -11362, 9633, 2261), w7 = odd(2260, -6436, -11363, 9633);
    const __m256i w2 = DivTrunc<17>(_mm256_madd_epi16(p1312, Pair(10703, 4433)));
    const __m256i w6 = DivTrunc<17>(_mm256_madd_epi16(p1312, Pair(4433, -10704)));

    __m256i rows[4];
    ColumnsToRows(_mm256_permute4x64_epi64(dc, _MM_SHUFFLE(3, 1, 2, 0)), _mm256_packs_epi32(w1, w5),
                  _mm256_packs_epi32(w2, w6), _mm256_packs_epi32(w3, w7), rows);
    for (int k = 0; k < 4; ++k) // rows 2k and 2k + 1
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 16 * k), rows[k]);
}

// Inverse transform (the reference's Chen-Wang flow graph, values wrapped to 16 bits after each
// pass).
constexpr int W1 = 2841, W2 = 2676, W3 = 2408, W5 = 1609, W6 = 1108, W7 = 565;

// Eight int32 lanes wrapped to 16 bits and packed: a in words 0-3, b in words 4-7 of each half.
inline __m256i Wrap16(__m256i a, __m256i b) {
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    return _mm256_packus_epi32(_mm256_and_si256(a, low), _mm256_and_si256(b, low));
}

// Row pass of two stored rows: outputs 0, 1, 2, 3, 7, 6, 5, 4 of each row. Before its rotations the
// pass is linear (no intermediate rounding), so
//   E = (s7, s3, s0, s8) and O = (s1, s4 + s5, s4 - s5, s6)
// are dot products, and the outputs are (E + O') >> 8 and (E - O') >> 8 with O' = (s1, r2, r4, s6).
// The rotations r = (181 * s + 128) >> 8 are taken modulo 2^32: that keeps r modulo 2^24, which is
// all the 16 bits kept of (E + O') >> 8 depend on.
inline __m256i InverseRows(__m256i row) {
    const __m256i b = _mm256_shuffle_epi8(row, WordShuffle(0, 4, 2, 6, 1, 7, 5, 3));
    const __m256i even = _mm256_add_epi32(
        _mm256_add_epi32(
            _mm256_madd_epi16(_mm256_shuffle_epi32(b, 0x00), Pairs(2048, 2048, 2048, -2048, 2048, -2048, 2048, 2048)),
            _mm256_madd_epi16(_mm256_shuffle_epi32(b, 0x55), Pairs(W2, W6, W6, -W2, -W6, W2, -W2, -W6))),
        _mm256_set1_epi32(128));
    const __m256i odd = _mm256_add_epi32(
        _mm256_madd_epi16(_mm256_shuffle_epi32(b, 0xAA),
                          Pairs(W1, W7, W1 + W7, W7 - W1, W1 - W7, W7 + W1, W7, -W1)),
        _mm256_madd_epi16(_mm256_shuffle_epi32(b, 0xFF),
                          Pairs(W5, W3, -W5 - W3, W5 - W3, W3 - W5, -W3 - W5, W3, -W5)));
    const __m256i rotated = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(odd, _mm256_set1_epi32(181)), _mm256_set1_epi32(128)), 8);
    const __m256i o = _mm256_blend_epi32(odd, rotated, 0x66);
    return Wrap16(_mm256_srai_epi32(_mm256_add_epi32(even, o), 8), _mm256_srai_epi32(_mm256_sub_epi32(even, o), 8));
}

// (181 * s + 128) >> 8 for any int32 s: 181 * (s >> 8) + ((181 * (s & 255) + 128) >> 8).
inline __m256i Rotate181(__m256i s) {
    const __m256i high = _mm256_mullo_epi32(_mm256_srai_epi32(s, 8), _mm256_set1_epi32(181));
    const __m256i low = _mm256_madd_epi16(_mm256_and_si256(s, _mm256_set1_epi32(255)), _mm256_set1_epi32(181));
    return _mm256_add_epi32(high, _mm256_srai_epi32(_mm256_add_epi32(low, _mm256_set1_epi32(128)), 8));
}

// (pair product + 4) >> 3, the column pass's rounding of each rotation.
inline __m256i Rotation(__m256i pairs, int a, int b) {
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(pairs, Pair(a, b)), _mm256_set1_epi32(4)), 3);
}

// Row pass on the row pairs (0, 4), (2, 6), (1, 7), (5, 3), which are the column pass's pmaddwd
// pairs; the column pass runs on all eight columns, in natural order, then the transpose.
void InverseDct_Avx2(int16_t* block) {
    // Column k of a row-pass result sits in word k for k < 4 and in word 11 - k otherwise.
    const __m256i order =
        _mm256_blend_epi32(WordShuffle(0, 4, 1, 5, 2, 6, 3, 7), WordShuffle(3, 7, 2, 6, 1, 5, 0, 4), 0xF0);
    const __m256i p04 = PairUp(InverseRows(LoadRowPair(block, 0, 4)), order);
    const __m256i p26 = PairUp(InverseRows(LoadRowPair(block, 2, 6)), order);
    const __m256i p17 = PairUp(InverseRows(LoadRowPair(block, 1, 7)), order);
    const __m256i p53 = PairUp(InverseRows(LoadRowPair(block, 5, 3)), order);

    const __m256i dc = _mm256_set1_epi32(8192);
    const __m256i x8 = _mm256_add_epi32(_mm256_madd_epi16(p04, Pair(256, 256)), dc);
    const __m256i x0 = _mm256_add_epi32(_mm256_madd_epi16(p04, Pair(256, -256)), dc);
    const __m256i x3 = Rotation(p26, W2, W6), x2 = Rotation(p26, W6, -W2);
    const __m256i x4 = Rotation(p17, W1, W7), x5 = Rotation(p17, W7, -W1);
    const __m256i x6 = Rotation(p53, W5, W3), x7 = Rotation(p53, W3, -W5);
    const __m256i s1 = _mm256_add_epi32(x4, x6), s4 = _mm256_sub_epi32(x4, x6);
    const __m256i s6 = _mm256_add_epi32(x5, x7), s5 = _mm256_sub_epi32(x5, x7);
    const __m256i s7 = _mm256_add_epi32(x8, x3), s8 = _mm256_sub_epi32(x8, x3);
    const __m256i s3 = _mm256_add_epi32(x0, x2), s0 = _mm256_sub_epi32(x0, x2);
    const __m256i r2 = Rotate181(_mm256_add_epi32(s4, s5)), r4 = Rotate181(_mm256_sub_epi32(s4, s5));
    const auto out = [](__m256i v) { return _mm256_srai_epi32(v, 14); };

    __m256i rows[4];
    ColumnsToRows(Wrap16(out(_mm256_add_epi32(s7, s1)), out(_mm256_sub_epi32(s8, s6))),
                  Wrap16(out(_mm256_add_epi32(s3, r2)), out(_mm256_sub_epi32(s0, r4))),
                  Wrap16(out(_mm256_add_epi32(s0, r4)), out(_mm256_sub_epi32(s3, r2))),
                  Wrap16(out(_mm256_add_epi32(s8, s6)), out(_mm256_sub_epi32(s7, s1))), rows);
    for (int k = 0; k < 4; ++k) {
        StoreRow(block + 8 * k, _mm256_castsi256_si128(rows[k]));
        StoreRow(block + 8 * (k + 4), _mm256_extracti128_si256(rows[k], 1));
    }
}

} // namespace

void FillAvx2Transforms(TKernelTable& t) {
    t.ForwardDct = ForwardDct_Avx2;
    t.InverseDct = InverseDct_Avx2;
    FillAvx2FloatTransforms(t);
}

} // namespace quillset::x86
