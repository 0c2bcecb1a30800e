// The kernel table: the entry points of the numeric inner loops, filled by processor.
//
// A table is a plain value of 133 pointer-sized slots in a fixed order. Every owner (video
// encoder, colour-correction engine, picture import, preview) fills its own copy with
// FillKernelTable (kernel_sets.h) and passes const references down; tables are never shared
// between threads. Six slots hold a flag byte instead of an entry point; slot 23 is never filled;
// slots 118 to 132 are bound to run-time loaded libraries and may be empty, in which case the
// caller runs its built-in equivalent.
//
// Common contracts of the block kernels:
// - Pixels are unsigned bytes; a pitch is the signed byte distance from one row to the next.
// - A "packed 16" buffer holds rows of 16 bytes without gaps; a "field 32" buffer holds one
//   field of a 16x16 area, rows 32 bytes apart.
// - Half-sample variants come in groups of four: full sample, vertical half (V), horizontal half
//   (H), both (HV); a caller indexes a group as base + 2 * hHalf + vHalf. The predicted pixel is
//   (p1 + p2 + 1) >> 1 between the pixel and its lower (V) or right (H) neighbour, and
//   (p1 + p2 + p3 + p4 + 2) >> 2 over the pixel, its right neighbour and the two below them (HV).
//   Half-sample variants read one column and one row beyond the block.
// - Coefficient blocks are 64 signed 16-bit values in transposed order: the coefficient of
//   horizontal frequency u and vertical frequency v is at index u * 8 + v.
// - No alignment is required of any pointer unless a kernel says so. Picture buffers come from
//   AllocAligned, whose slack covers the reads beyond the last row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillset {

struct TColorConversionTable;
struct TMotionSearchResult;

// Slot 0 and slot 20: no arguments, no result.
using TKernelProc = void (*)();

// Block measures between a current block and a (predicted) reference block sharing one pitch.
// Reads the block of cur; of ref the block plus one column and one row for half samples.
using TBlockMeasureKernel = int32_t (*)(const uint8_t* cur, const uint8_t* ref, int32_t pitch);

// Measures over unsigned 16-bit sum pictures; the pitch is in bytes and must be even, the values
// below 4096 (sums of 16 bytes), so that every squared difference fits.
using TSumsMeasureKernel = int32_t (*)(const uint16_t* cur, const uint16_t* ref, int32_t pitch);
using TSumsBestMeasureKernel = int32_t (*)(const uint16_t* cur, const uint16_t* refA, int32_t pitch,
                                           const uint16_t* refB);

// Sums of a small area of bytes (or of unsigned 16-bit values for SumSums2x2).
using TBlockSumKernel = int32_t (*)(const uint8_t* src, int32_t pitch);
using TSumsSumKernel = int32_t (*)(const uint16_t* src, int32_t pitch);
using TRgbSumKernel = void (*)(const uint8_t* src, int32_t pitch, uint16_t* out);

// Prediction of `rows` rows into dst; dst and ref share the pitch and must not overlap.
using TPredictKernel = void (*)(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows);

// Fetch of a prediction into a packed 16 or field 32 buffer.
using TFetchKernel = void (*)(uint8_t* dst, const uint8_t* ref, int32_t pitch);

using TAverageKernel = void (*)(uint8_t* dst, const uint8_t* a, const uint8_t* b);
using TSumEnergyKernel = void (*)(const uint8_t* src, int32_t pitch, int32_t* out);
using TDiffEnergyKernel = void (*)(const uint8_t* a, const uint8_t* b, int32_t pitch, int32_t* out);

// Level bound, quantisation and inverse quantisation, on coefficient blocks of any 16-bit values.
// - Level bound: weights 1 .. 2^22; factors finite and not negative.
// - Quantisers work in place (QuantizeFloatBlock writes `out`) and return the sum of |level|;
//   levels saturate to 16 bits. Divisors 1 .. 2^30, offsets 0 .. 2^22; the floating-point forms
//   evaluate (|x| + R) * F in double precision, finite factors and offsets with products below
//   2^31.
// - Dequantisers work in place; intra forms leave position 0 alone. Multipliers 1 .. 32767 (their
//   products with any level fit 32 bits); factors finite with |level * factor| below 2^31.
using TLevelBoundKernel = int32_t (*)(const int16_t* blocks, const int32_t* weights, int32_t count);
using TLevelBoundFKernel = float (*)(const int16_t* blocks, const float* factors, int32_t count);
using TLevelBoundFloatBlocksKernel = float (*)(const float* blocks, const float* factors, int32_t count);
using TQuantizeKernel = int32_t (*)(int16_t* block, const int32_t* divisors, const int32_t* offsets);
using TQuantizeFKernel = int32_t (*)(int16_t* block, const float* factors, const float* offsets);
using TQuantizeFloatBlockKernel = int32_t (*)(int16_t* out, const float* block, const float* factors,
                                              const float* offsets);
using TDequantKernel = void (*)(int16_t* block, const int32_t* multipliers);
using TDequantFKernel = void (*)(int16_t* block, const float* factors);
using TDequantCoefKernel = int32_t (*)(int32_t level, int32_t multiplier);

// Block load, difference, store and reconstruction (8x8 pixels); blocks are 64 values in row
// order, stores clamp to 0..255 for any 16-bit value (AddDc8x8 for any 32-bit value).
using TLoadBlockKernel = void (*)(int16_t* block, const uint8_t* src, int32_t pitch);
using TDiffBlockKernel = void (*)(int16_t* block, const uint8_t* cur, const uint8_t* pred, int32_t pitch);
using TStoreBlockKernel = void (*)(uint8_t* dst, const int16_t* block, int32_t pitch);
using TFillBlockKernel = void (*)(uint8_t* dst, uint8_t value, int32_t pitch);
using TAddDcKernel = void (*)(uint8_t* dst, int32_t value, int32_t pitch);

// Transforms, in place on 64 values. The forward transforms take pixels or pixel differences
// (-255..255) and write the transposed coefficient order; the inverse transform takes any 16-bit
// values in that order (the accuracy of IEEE 1180-1990 holds for -2048..2047) and writes pixel rows.
using TBlockTransformKernel = void (*)(int16_t* block);
using TTransformToFloatKernel = void (*)(float* out, const int16_t* block);
using TDcValueKernel = int32_t (*)(int32_t dc);

// Conversion between a packed picture (RGB 24/32, UYVY, YUY2) and planar YUV. One argument list
// serves both directions: an import reads `packed` and writes the planes, an export the reverse.
// Width and height are luma pixels; chroma planes are half width (4:2:0 and 4:2:2) and half
// height (4:2:0). With fieldChroma a 4:2:0 conversion builds each chroma row from two rows of
// the same field. The table is used by the RGB kernels only.
using TPixelConversionKernel = void (*)(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma,
                                        const TColorConversionTable* table, int32_t chromaPitch,
                                        int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                                        int32_t packedPitch);

using TRgbRowKernel = void (*)(uint8_t* dst, const uint8_t* src, int32_t count);
using THalveChromaKernel = void (*)(uint8_t* dst, const uint8_t* src, int32_t width, bool mode, int32_t count);
using TPictureMeasureKernel = float (*)(int32_t width, int32_t height, const uint8_t* a, const uint8_t* b);
using TExcessDiffEnergyKernel = int32_t (*)(const uint8_t* a, const uint8_t* b, int32_t count, uint8_t threshold);
using TExcessDiffEnergy3Kernel = int32_t (*)(const uint8_t* x, const uint8_t* y, const uint8_t* z,
                                             uint8_t threshold, int32_t count);

// Entries of the outside motion-search packages. `params` is the search family's parameter
// block; the package writes its answer into `result`.
using TMotionSearchEntry = void (*)(const void* params, int32_t x, int32_t y, TMotionSearchResult* result);
using TMotionSearchFieldEntry = void (*)(const void* params, int32_t x, int32_t y, int32_t parity,
                                         TMotionSearchResult* result);
using TMotionSearchSumFieldEntry = void (*)(const void* params, const uint16_t* fieldSums, int32_t x,
                                            int32_t y, int32_t parity, TMotionSearchResult* result);

// Entries of the noise reduction plug-ins; progress(row, context) is called after each output row
// when both are set.
using TNoiseReductionProgress = void (*)(int32_t row, void* context);
using TNoiseReduction2DEntry = void (*)(uint8_t* destination, const uint8_t* source, int32_t strength,
                                        int32_t radius, int32_t width, int32_t height, int32_t fieldMode,
                                        TNoiseReductionProgress progress, void* context);
using TNoiseReduction3DEntry = int32_t (*)(uint8_t* destination, const uint8_t* current,
                                           const uint8_t* previous, const uint8_t* next, int32_t strength,
                                           int32_t temporal, int32_t width, int32_t height, int32_t fieldMode,
                                           TNoiseReductionProgress progress, void* context);

// Flag slots (58, 62, 66, 69, 72, 75) hold 0 or 1 in the first byte of a pointer-sized slot.
struct TKernelTable {
    TKernelProc ClearKernelState = nullptr; // 0: called after a run of kernels, before floating point
    // 1-8: sum of |cur - pred| over 16x16 and 16x8 (full, V, H, HV).
    TBlockMeasureKernel Sad16x16 = nullptr;
    TBlockMeasureKernel Sad16x16V = nullptr;
    TBlockMeasureKernel Sad16x16H = nullptr;
    TBlockMeasureKernel Sad16x16HV = nullptr;
    TBlockMeasureKernel Sad16x8 = nullptr;
    TBlockMeasureKernel Sad16x8V = nullptr;
    TBlockMeasureKernel Sad16x8H = nullptr;
    TBlockMeasureKernel Sad16x8HV = nullptr;
    TBlockMeasureKernel SadRgb16x16 = nullptr;    // 9: 48 bytes x 16 rows
    TBlockMeasureKernel Sad16x16Packed = nullptr; // 10: ref is packed 16
    // 11-18: sum of (cur - pred)^2 over 16x16 and 16x8.
    TBlockMeasureKernel Sse16x16 = nullptr;
    TBlockMeasureKernel Sse16x16V = nullptr;
    TBlockMeasureKernel Sse16x16H = nullptr;
    TBlockMeasureKernel Sse16x16HV = nullptr;
    TBlockMeasureKernel Sse16x8 = nullptr;
    TBlockMeasureKernel Sse16x8V = nullptr;
    TBlockMeasureKernel Sse16x8H = nullptr;
    TBlockMeasureKernel Sse16x8HV = nullptr;
    TBlockMeasureKernel Sse16x16Packed = nullptr; // 19: ref is packed 16
    TKernelProc ReservedNoOp = nullptr;           // 20
    TSumsMeasureKernel SseSums4x4 = nullptr;      // 21: 4x4 unsigned 16-bit values
    TSumsBestMeasureKernel SseSums4x4Best = nullptr; // 22: the smaller of two SseSums4x4
    void* Unused23 = nullptr;                     // 23: never filled
    TSumsMeasureKernel SseRgbSums4x4 = nullptr;   // 24: 12 x 4 unsigned 16-bit values
    TBlockSumKernel Sum4x4 = nullptr;             // 25
    TBlockSumKernel Sum4x2 = nullptr;             // 26
    TSumsSumKernel SumSums2x2 = nullptr;          // 27
    TRgbSumKernel SumRgb4x4 = nullptr;            // 28: out = R, G, B sums of 4x4 BGR pixels
    // 29-36: dst := pred, 16 and 8 wide.
    TPredictKernel Predict16 = nullptr;
    TPredictKernel Predict16V = nullptr;
    TPredictKernel Predict16H = nullptr;
    TPredictKernel Predict16HV = nullptr;
    TPredictKernel Predict8 = nullptr;
    TPredictKernel Predict8V = nullptr;
    TPredictKernel Predict8H = nullptr;
    TPredictKernel Predict8HV = nullptr;
    // 37-44: dst := (dst + pred + 1) >> 1, 16 and 8 wide.
    TPredictKernel PredictAvg16 = nullptr;
    TPredictKernel PredictAvg16V = nullptr;
    TPredictKernel PredictAvg16H = nullptr;
    TPredictKernel PredictAvg16HV = nullptr;
    TPredictKernel PredictAvg8 = nullptr;
    TPredictKernel PredictAvg8V = nullptr;
    TPredictKernel PredictAvg8H = nullptr;
    TPredictKernel PredictAvg8HV = nullptr;
    // 45-48: packed 16 dst (16 rows) := pred.
    TFetchKernel FetchPacked16x16 = nullptr;
    TFetchKernel FetchPacked16x16V = nullptr;
    TFetchKernel FetchPacked16x16H = nullptr;
    TFetchKernel FetchPacked16x16HV = nullptr;
    // 49-52: field 32 dst (8 rows) := pred.
    TFetchKernel FetchField16x8 = nullptr;
    TFetchKernel FetchField16x8V = nullptr;
    TFetchKernel FetchField16x8H = nullptr;
    TFetchKernel FetchField16x8HV = nullptr;
    TAverageKernel AveragePacked16x16 = nullptr;      // 53: dst := (a + b + 1) >> 1, all packed 16
    TSumEnergyKernel SumAndEnergy8x8 = nullptr;       // 54: out = sum p, sum p^2
    TDiffEnergyKernel DiffSadEnergy8x8 = nullptr;     // 55: out = sum |a - b|, sum (a - b)^2
    TDiffEnergyKernel DiffSadEnergy8x8Packed = nullptr; // 56: b packed 16
    TDiffEnergyKernel DiffSadEnergy8x8Field = nullptr;  // 57: b field 32
    alignas(void*) uint8_t UseFloatLevelBound = 0;              // 58
    TLevelBoundKernel MaxLevelBound = nullptr;        // 59
    TLevelBoundFKernel MaxLevelBoundF = nullptr;      // 60
    TLevelBoundFloatBlocksKernel MaxLevelBoundFloatBlocks = nullptr; // 61
    alignas(void*) uint8_t UseFloatQuantize = 0;                // 62
    TQuantizeKernel QuantizeBlock = nullptr;          // 63
    TQuantizeFKernel QuantizeBlockF = nullptr;        // 64
    TQuantizeFloatBlockKernel QuantizeFloatBlock = nullptr; // 65
    alignas(void*) uint8_t UseFloatDequantIntraMpeg1 = 0;       // 66
    TDequantKernel DequantIntraMpeg1 = nullptr;       // 67
    TDequantFKernel DequantIntraMpeg1F = nullptr;     // 68
    alignas(void*) uint8_t UseFloatDequantIntraMpeg2 = 0;       // 69
    TDequantKernel DequantIntraMpeg2 = nullptr;       // 70
    TDequantFKernel DequantIntraMpeg2F = nullptr;     // 71
    alignas(void*) uint8_t UseFloatDequantInterMpeg1 = 0;       // 72
    TDequantKernel DequantInterMpeg1 = nullptr;       // 73
    TDequantFKernel DequantInterMpeg1F = nullptr;     // 74
    alignas(void*) uint8_t UseFloatDequantInterMpeg2 = 0;       // 75
    TDequantKernel DequantInterMpeg2 = nullptr;       // 76
    TDequantFKernel DequantInterMpeg2F = nullptr;     // 77
    TDequantCoefKernel DequantInterCoefMpeg1 = nullptr; // 78
    TDequantCoefKernel DequantInterCoefMpeg2 = nullptr; // 79
    TLoadBlockKernel LoadBlock8x8 = nullptr;          // 80
    TDiffBlockKernel DiffBlock8x8 = nullptr;          // 81
    TStoreBlockKernel StoreBlock8x8 = nullptr;        // 82
    TFillBlockKernel FillBlock8x8 = nullptr;          // 83
    TStoreBlockKernel AddBlock8x8 = nullptr;          // 84
    TAddDcKernel AddDc8x8 = nullptr;                  // 85
    TBlockTransformKernel ForwardDct = nullptr;       // 86
    TBlockTransformKernel ForwardDctF = nullptr;      // 87
    TTransformToFloatKernel ForwardDctToFloat = nullptr; // 88
    TBlockTransformKernel InverseDct = nullptr;       // 89
    TDcValueKernel InverseDctDcValue = nullptr;       // 90
    // 91-110: per packed format, import into 4:2:0, 4:2:2, 4:4:4, export from 4:2:0, 4:2:2.
    TPixelConversionKernel Rgb24ToYuv420 = nullptr;
    TPixelConversionKernel Rgb24ToYuv422 = nullptr;
    TPixelConversionKernel Rgb24ToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToRgb24 = nullptr;
    TPixelConversionKernel Yuv422ToRgb24 = nullptr;
    TPixelConversionKernel Rgb32ToYuv420 = nullptr;
    TPixelConversionKernel Rgb32ToYuv422 = nullptr;
    TPixelConversionKernel Rgb32ToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToRgb32 = nullptr;
    TPixelConversionKernel Yuv422ToRgb32 = nullptr;
    TPixelConversionKernel UyvyToYuv420 = nullptr;
    TPixelConversionKernel UyvyToYuv422 = nullptr;
    TPixelConversionKernel UyvyToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToUyvy = nullptr;
    TPixelConversionKernel Yuv422ToUyvy = nullptr;
    TPixelConversionKernel Yuy2ToYuv420 = nullptr;
    TPixelConversionKernel Yuy2ToYuv422 = nullptr;
    TPixelConversionKernel Yuy2ToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToYuy2 = nullptr;
    TPixelConversionKernel Yuv422ToYuy2 = nullptr;
    TRgbRowKernel Rgb24ToRgb32Row = nullptr;          // 111
    THalveChromaKernel HalveChromaWidth = nullptr;    // 112: mode = cosited, count = rows
    THalveChromaKernel HalveChromaHeight = nullptr;   // 113: mode = interlaced, count = height
    TPictureMeasureKernel PictureChangeMeasure = nullptr;           // 114
    TPictureMeasureKernel PictureChangeMeasureNormalized = nullptr; // 115
    TExcessDiffEnergyKernel ExcessDiffEnergy = nullptr;   // 116
    TExcessDiffEnergy3Kernel ExcessDiffEnergy3 = nullptr; // 117
    // 118-130: motion-search package entries.
    TMotionSearchEntry FastSearch_FrameSearch = nullptr;
    TMotionSearchEntry FastSearch_FieldSearch_Frame = nullptr;
    TMotionSearchFieldEntry FastSearch_FieldSearch_Field = nullptr;
    TMotionSearchEntry FastZoomSearch_FrameSearch = nullptr;
    TMotionSearchEntry FastZoomSearch_FieldSearch_Frame = nullptr;
    TMotionSearchSumFieldEntry FastZoomSearch_FieldSearch_Field = nullptr;
    TMotionSearchEntry ZoomSearch_FrameSearch = nullptr;
    TMotionSearchEntry ZoomSearch_FieldSearch_Frame = nullptr;
    TMotionSearchSumFieldEntry ZoomSearch_FieldSearch_Field = nullptr;
    TMotionSearchEntry RGBZoomSearch_FrameSearch = nullptr;
    TMotionSearchEntry MotionEstimateSearch_FrameSearch = nullptr;
    TMotionSearchEntry MotionEstimateSearch_FieldSearch_Frame = nullptr;
    TMotionSearchSumFieldEntry MotionEstimateSearch_FieldSearch_Field = nullptr;
    TNoiseReduction2DEntry NoiseReduction2DPluginDLL = nullptr; // 131
    TNoiseReduction3DEntry NoiseReduction3DPluginDLL = nullptr; // 132
};

inline constexpr int kKernelSlotCount = 133;

static_assert(sizeof(TKernelTable) == kKernelSlotCount * sizeof(void*), "one pointer-sized slot each");
static_assert(offsetof(TKernelTable, Unused23) == 23 * sizeof(void*));
static_assert(offsetof(TKernelTable, UseFloatLevelBound) == 58 * sizeof(void*));
static_assert(offsetof(TKernelTable, UseFloatQuantize) == 62 * sizeof(void*));
static_assert(offsetof(TKernelTable, UseFloatDequantIntraMpeg1) == 66 * sizeof(void*));
static_assert(offsetof(TKernelTable, UseFloatDequantIntraMpeg2) == 69 * sizeof(void*));
static_assert(offsetof(TKernelTable, UseFloatDequantInterMpeg1) == 72 * sizeof(void*));
static_assert(offsetof(TKernelTable, UseFloatDequantInterMpeg2) == 75 * sizeof(void*));
static_assert(offsetof(TKernelTable, InverseDctDcValue) == 90 * sizeof(void*));
static_assert(offsetof(TKernelTable, Rgb24ToYuv420) == 91 * sizeof(void*));
static_assert(offsetof(TKernelTable, ExcessDiffEnergy3) == 117 * sizeof(void*));
static_assert(offsetof(TKernelTable, FastSearch_FrameSearch) == 118 * sizeof(void*));
static_assert(offsetof(TKernelTable, NoiseReduction3DPluginDLL) == 132 * sizeof(void*));

// The raw slot at `index` (0..132) as stored: an entry point, a flag byte in the first byte, or
// empty. For tests and diagnostics that walk the table.
inline const void* KernelSlotAddress(const TKernelTable& table, int index) {
    return reinterpret_cast<const unsigned char*>(&table) + index * sizeof(void*);
}

} // namespace quillset
