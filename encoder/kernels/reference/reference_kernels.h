// The reference kernels: the exact behaviour every processor-specific kernel reproduces.
// Each function fills one family of slots of a table; FillReferenceKernels fills them all.
#pragma once

#include "encoder/kernels/color_conversion.h"
#include "encoder/kernels/kernel_table.h"

namespace quillset::reference {

void FillBlockMeasures(TKernelTable& table);     // slots 1-28
void FillPrediction(TKernelTable& table);        // slots 29-53
void FillBlockOperations(TKernelTable& table);   // slots 54-57, 80-85
void FillQuantization(TKernelTable& table);      // slots 59-79
void FillTransforms(TKernelTable& table);        // slots 86-90
void FillRgbConversions(TKernelTable& table);    // slots 91-100, 111
void FillPackedYuvConversions(TKernelTable& table); // slots 101-110
void FillPictureFilters(TKernelTable& table);    // slots 112-117

// Every reference kernel into its slot; flags and the other slots are left as they are.
void FillReferenceKernels(TKernelTable& table);

// Row mapping of 4:2:0 conversions: chroma row i is built from (or written to) luma rows *f and
// *g. Normally f = 2i and g = 2i + 1; with field chroma f = (i div 2) * 4 + (i mod 2) and
// g = f + 2, two rows of the same field. A row beyond the picture is replaced by f. Returns false
// when f itself lies beyond the picture.
bool ChromaRowPair(int32_t i, int32_t height, bool fieldChroma, int32_t* f, int32_t* g);

// The number of chroma rows a 4:2:0 conversion of `height` luma rows visits.
int32_t ChromaRowCount(int32_t height, bool fieldChroma);

// Imports the pixel pairs from `firstPair` on of one row (4:2:2, pairOfRows false, rowG and yG
// unused) or of rows f and g (4:2:0) of packed RGB with 3 or 4 bytes per pixel: the luma of every
// pixel and one chroma sample per pair. Processor-specific kernels finish rows with it.
void ImportRgbRowPair(int32_t bytesPerPixel, const TColorConversionTable& table, const uint8_t* rowF,
                      const uint8_t* rowG, int32_t width, int32_t firstPair, uint8_t* yF, uint8_t* yG, uint8_t* cb,
                      uint8_t* cr, bool pairOfRows);

} // namespace quillset::reference
