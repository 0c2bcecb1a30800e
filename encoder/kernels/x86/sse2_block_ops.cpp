// SSE2 8x8 block operations: statistics, residual measures, load, difference, store and
// reconstruction.
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

// Two rows of 8 bytes in one register.
inline __m128i LoadTwoRows(const uint8_t* p, ptrdiff_t pitch) { return _mm_unpacklo_epi64(Load8(p), Load8(p + pitch)); }

void SumAndEnergy8x8_Sse2(const uint8_t* src, int32_t pitch, int32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = zero, energy = zero;
    for (int r = 0; r < 8; r += 2, src += 2 * ptrdiff_t{pitch}) {
        const __m128i rows = LoadTwoRows(src, pitch);
        sum = _mm_add_epi64(sum, _mm_sad_epu8(rows, zero));
        const __m128i lo = _mm_unpacklo_epi8(rows, zero), hi = _mm_unpackhi_epi8(rows, zero);
        energy = _mm_add_epi32(energy, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
    }
    out[0] = SadSum(sum);
    out[1] = HorizontalSum32(energy);
}

template <int BPitch>
void DiffSadEnergy8x8_Sse2(const uint8_t* a, const uint8_t* b, int32_t pitch, int32_t* out) {
    const ptrdiff_t bPitch = BPitch == 0 ? pitch : BPitch;
    __m128i sad = _mm_setzero_si128(), energy = _mm_setzero_si128();
    for (int r = 0; r < 8; r += 2, a += 2 * ptrdiff_t{pitch}, b += 2 * bPitch) {
        const __m128i ra = LoadTwoRows(a, pitch), rb = LoadTwoRows(b, bPitch);
        sad = _mm_add_epi64(sad, _mm_sad_epu8(ra, rb));
        energy = _mm_add_epi32(energy, SquaredDiffs(ra, rb));
    }
    out[0] = SadSum(sad);
    out[1] = HorizontalSum32(energy);
}

inline void StoreBlockRow(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i LoadBlockRows(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

void LoadBlock8x8_Sse2(int16_t* block, const uint8_t* src, int32_t pitch) {
    const __m128i zero = _mm_setzero_si128();
    for (int r = 0; r < 8; ++r, src += pitch)
        StoreBlockRow(block + 8 * r, _mm_unpacklo_epi8(Load8(src), zero));
}

void DiffBlock8x8_Sse2(int16_t* block, const uint8_t* cur, const uint8_t* pred, int32_t pitch) {
    const __m128i zero = _mm_setzero_si128();
    for (int r = 0; r < 8; ++r, cur += pitch, pred += pitch)
        StoreBlockRow(block + 8 * r, _mm_sub_epi16(_mm_unpacklo_epi8(Load8(cur), zero), _mm_unpacklo_epi8(Load8(pred), zero)));
}

// packuswb clamps each 16-bit value to 0..255.
void StoreBlock8x8_Sse2(uint8_t* dst, const int16_t* block, int32_t pitch) {
    for (int r = 0; r < 8; r += 2, dst += 2 * ptrdiff_t{pitch}) {
        const __m128i packed = _mm_packus_epi16(LoadBlockRows(block + 8 * r), LoadBlockRows(block + 8 * r + 8));
        Store8(dst, packed);
        Store8(dst + pitch, _mm_srli_si128(packed, 8));
    }
}

void FillBlock8x8_Sse2(uint8_t* dst, uint8_t value, int32_t pitch) {
    const __m128i v = _mm_set1_epi8(static_cast<char>(value));
    for (int r = 0; r < 8; ++r, dst += pitch)
        Store8(dst, v);
}

// The saturating add keeps any 16-bit addend exact after the clamp to 0..255.
void AddBlock8x8_Sse2(uint8_t* dst, const int16_t* block, int32_t pitch) {
    const __m128i zero = _mm_setzero_si128();
    for (int r = 0; r < 8; r += 2, dst += 2 * ptrdiff_t{pitch}) {
        const __m128i s0 = _mm_adds_epi16(_mm_unpacklo_epi8(Load8(dst), zero), LoadBlockRows(block + 8 * r));
        const __m128i s1 = _mm_adds_epi16(_mm_unpacklo_epi8(Load8(dst + pitch), zero), LoadBlockRows(block + 8 * r + 8));
        const __m128i packed = _mm_packus_epi16(s0, s1);
        Store8(dst, packed);
        Store8(dst + pitch, _mm_srli_si128(packed, 8));
    }
}

void AddDc8x8_Sse2(uint8_t* dst, int32_t value, int32_t pitch) {
    const int32_t addend = value < -255 ? -255 : (value > 255 ? 255 : value);
    const __m128i zero = _mm_setzero_si128(), v = _mm_set1_epi16(static_cast<int16_t>(addend));
    for (int r = 0; r < 8; r += 2, dst += 2 * ptrdiff_t{pitch}) {
        const __m128i s0 = _mm_add_epi16(_mm_unpacklo_epi8(Load8(dst), zero), v);
        const __m128i s1 = _mm_add_epi16(_mm_unpacklo_epi8(Load8(dst + pitch), zero), v);
        const __m128i packed = _mm_packus_epi16(s0, s1);
        Store8(dst, packed);
        Store8(dst + pitch, _mm_srli_si128(packed, 8));
    }
}

} // namespace

void FillSse2BlockOperations(TKernelTable& t) {
    t.SumAndEnergy8x8 = SumAndEnergy8x8_Sse2;
    t.DiffSadEnergy8x8 = DiffSadEnergy8x8_Sse2<0>;
    t.DiffSadEnergy8x8Packed = DiffSadEnergy8x8_Sse2<16>;
    t.DiffSadEnergy8x8Field = DiffSadEnergy8x8_Sse2<32>;
    t.LoadBlock8x8 = LoadBlock8x8_Sse2;
    t.DiffBlock8x8 = DiffBlock8x8_Sse2;
    t.StoreBlock8x8 = StoreBlock8x8_Sse2;
    t.FillBlock8x8 = FillBlock8x8_Sse2;
    t.AddBlock8x8 = AddBlock8x8_Sse2;
    t.AddDc8x8 = AddDc8x8_Sse2;
}

} // namespace quillset::x86
