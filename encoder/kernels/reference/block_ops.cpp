// Reference 8x8 block operations: statistics, residual measures, load, difference, store and
// reconstruction.
#include "encoder/kernels/lookup_tables.h"
#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

void SumAndEnergy8x8(const uint8_t* src, int32_t pitch, int32_t* out) {
    int32_t sum = 0, energy = 0;
    for (int r = 0; r < 8; ++r, src += pitch)
        for (int x = 0; x < 8; ++x) {
            sum += src[x];
            energy += src[x] * src[x];
        }
    out[0] = sum;
    out[1] = energy;
}

// a has the pitch; b has its own row distance: the pitch, 16 (packed) or 32 (field).
template <int BPitch>
void DiffSadEnergy8x8(const uint8_t* a, const uint8_t* b, int32_t pitch, int32_t* out) {
    const ptrdiff_t bPitch = BPitch == 0 ? pitch : BPitch;
    int32_t sad = 0, energy = 0;
    for (int r = 0; r < 8; ++r, a += pitch, b += bPitch)
        for (int x = 0; x < 8; ++x) {
            const int32_t d = a[x] - b[x];
            sad += AbsTable[d + kLookupCenter];
            energy += SquareTable[d + kLookupCenter];
        }
    out[0] = sad;
    out[1] = energy;
}

void LoadBlock8x8(int16_t* block, const uint8_t* src, int32_t pitch) {
    for (int r = 0; r < 8; ++r, src += pitch)
        for (int x = 0; x < 8; ++x)
            block[r * 8 + x] = src[x];
}

void DiffBlock8x8(int16_t* block, const uint8_t* cur, const uint8_t* pred, int32_t pitch) {
    for (int r = 0; r < 8; ++r, cur += pitch, pred += pitch)
        for (int x = 0; x < 8; ++x)
            block[r * 8 + x] = static_cast<int16_t>(cur[x] - pred[x]);
}

void StoreBlock8x8(uint8_t* dst, const int16_t* block, int32_t pitch) {
    for (int r = 0; r < 8; ++r, dst += pitch)
        for (int x = 0; x < 8; ++x)
            dst[x] = static_cast<uint8_t>(ClampToByte(block[r * 8 + x]));
}

void FillBlock8x8(uint8_t* dst, uint8_t value, int32_t pitch) {
    for (int r = 0; r < 8; ++r, dst += pitch)
        for (int x = 0; x < 8; ++x)
            dst[x] = value;
}

void AddBlock8x8(uint8_t* dst, const int16_t* block, int32_t pitch) {
    for (int r = 0; r < 8; ++r, dst += pitch)
        for (int x = 0; x < 8; ++x)
            dst[x] = static_cast<uint8_t>(ClampToByte(dst[x] + block[r * 8 + x]));
}

void AddDc8x8(uint8_t* dst, int32_t value, int32_t pitch) {
    // Clamping the addend first keeps the sum in range for any value and changes no result.
    const int32_t addend = value < -255 ? -255 : (value > 255 ? 255 : value);
    for (int r = 0; r < 8; ++r, dst += pitch)
        for (int x = 0; x < 8; ++x)
            dst[x] = static_cast<uint8_t>(ClampToByte(dst[x] + addend));
}

} // namespace

void FillBlockOperations(TKernelTable& t) {
    t.SumAndEnergy8x8 = SumAndEnergy8x8;
    t.DiffSadEnergy8x8 = DiffSadEnergy8x8<0>;
    t.DiffSadEnergy8x8Packed = DiffSadEnergy8x8<16>;
    t.DiffSadEnergy8x8Field = DiffSadEnergy8x8<32>;
    t.LoadBlock8x8 = LoadBlock8x8;
    t.DiffBlock8x8 = DiffBlock8x8;
    t.StoreBlock8x8 = StoreBlock8x8;
    t.FillBlock8x8 = FillBlock8x8;
    t.AddBlock8x8 = AddBlock8x8;
    t.AddDc8x8 = AddDc8x8;
}

} // namespace quillset::reference
