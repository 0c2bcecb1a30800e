// Coefficient scans (ISO/IEC 13818-2, 7.3, Figures 7-2 and 7-3) and the quantiser scale of
// Table 7-6.
//
// Coefficient blocks are stored transposed against the raster order of the standard's figures:
// index = 8 x horizontal frequency + vertical frequency. The scans used by the macroblock writer
// are stated on that storage; the quantiser matrices of the headers stay in raster order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillset {

// Scan position -> raster index (8 x v + u) of Figure 7-2 (zigzag) and Figure 7-3 (alternate).
extern const std::array<uint8_t, 64> kZigzagScanRaster;
extern const std::array<uint8_t, 64> kAlternateScanRaster;

// Scan position -> index in the transposed coefficient storage. The zigzag starts 0, 8, 1, 2,
// 9, 16, 24, 17; the alternate scan 0, 1, 2, 3, 8, 9, 16, 17.
extern const std::array<uint8_t, 64> kZigzagScan;
extern const std::array<uint8_t, 64> kAlternateScan;

inline const std::array<uint8_t, 64>& CoefficientScan(bool alternate) {
    return alternate ? kAlternateScan : kZigzagScan;
}

// Table 7-6, quantiser_scale for q_scale_type 1 (index 1..31; index 0 unused).
extern const std::array<uint8_t, 32> kNonLinearQuantiserScale;

// The quantiser scale of a quantiser_scale_code 1..31: MPEG-2 always uses the non-linear scale
// (q_scale_type 1); MPEG-1 (and q_scale_type 0) uses 2 x code.
inline int32_t QuantiserScale(int32_t code, bool mpeg2) {
    return mpeg2 ? kNonLinearQuantiserScale[static_cast<size_t>(code)] : 2 * code;
}

// The smallest quantiser_scale_code whose scale is at least `scale` (1 for scales that every
// code reaches); 31 when no code reaches it.
int32_t QuantiserCodeForScale(int32_t scale, bool mpeg2);

// The default intra quantiser matrix of ISO/IEC 13818-2, 7.3.1 (and ISO/IEC 11172-2), raster
// order.
extern const std::array<uint8_t, 64> kDefaultIntraQuantiserMatrix;

} // namespace quillset
