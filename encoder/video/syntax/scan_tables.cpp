#include "encoder/video/syntax/scan_tables.h"

namespace quillset {

namespace {

// The figures as printed: the scan position of each raster position [v][u].
constexpr uint8_t kZigzagFigure[64] = {
    0,  1,  5,  6,  14, 15, 27, 28, //
    2,  4,  7,  13, 16, 26, 29, 42, //
    3,  8,  12, 17, 25, 30, 41, 43, //
    9,  11, 18, 24, 31, 40, 44, 53, //
    10, 19, 23, 32, 39, 45, 52, 54, //
    20, 22, 33, 38, 46, 51, 55, 60, //
    21, 34, 37, 47, 50, 56, 59, 61, //
    35, 36, 48, 49, 57, 58, 62, 63, //
};

constexpr uint8_t kAlternateFigure[64] = {
    0,  4,  6,  20, 22, 36, 38, 52, //
    1,  5,  7,  21, 23, 37, 39, 53, //
    2,  8,  19, 24, 34, 40, 50, 54, //
    3,  9,  18, 25, 35, 41, 51, 55, //
    10, 17, 26, 30, 42, 46, 56, 60, //
    11, 16, 27, 31, 43, 47, 57, 61, //
    12, 15, 28, 32, 44, 48, 58, 62, //
    13, 14, 29, 33, 45, 49, 59, 63, //
};

constexpr std::array<uint8_t, 64> InvertFigure(const uint8_t (&figure)[64], bool transposed) {
    std::array<uint8_t, 64> scan{};
    for (int32_t raster = 0; raster < 64; ++raster) {
        const int32_t v = raster >> 3;
        const int32_t u = raster & 7;
        scan[figure[raster]] = static_cast<uint8_t>(transposed ? 8 * u + v : raster);
    }
    return scan;
}

} // namespace

const std::array<uint8_t, 64> kZigzagScanRaster = InvertFigure(kZigzagFigure, false);
const std::array<uint8_t, 64> kAlternateScanRaster = InvertFigure(kAlternateFigure, false);
const std::array<uint8_t, 64> kZigzagScan = InvertFigure(kZigzagFigure, true);
const std::array<uint8_t, 64> kAlternateScan = InvertFigure(kAlternateFigure, true);

const std::array<uint8_t, 32> kNonLinearQuantiserScale = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12, 14, 16,  18,  20,  22,
    24, 28, 32, 36, 40, 44, 48, 52, 56, 64, 72, 80, 88, 96, 104, 112,
};

const std::array<uint8_t, 64> kDefaultIntraQuantiserMatrix = {
    8,  16, 19, 22, 26, 27, 29, 34, //
    16, 16, 22, 24, 27, 29, 34, 37, //
    19, 22, 26, 27, 29, 34, 34, 38, //
    22, 22, 26, 27, 29, 34, 37, 40, //
    22, 26, 27, 29, 32, 35, 40, 48, //
    26, 27, 29, 32, 35, 40, 48, 58, //
    26, 27, 29, 34, 38, 46, 56, 69, //
    27, 29, 35, 38, 46, 56, 69, 83, //
};

int32_t QuantiserCodeForScale(int32_t scale, bool mpeg2) {
    for (int32_t code = 1; code <= 31; ++code)
        if (QuantiserScale(code, mpeg2) >= scale)
            return code;
    return 31;
}

} // namespace quillset
