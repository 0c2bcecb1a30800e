// Quantiser weighting matrices (ISO/IEC 13818-2, 6.3.11, 7.4.2.1), held in raster order.
#pragma once

#include <array>
#include <cstdint>

namespace quillset {

using TQuantMatrix = std::array<uint8_t, 64>;

// Makes a matrix legal for the sequence header and the quantiser: a 0 entry stands for 255 and
// the intra matrix's DC entry is always 8.
inline void NormalizeQuantMatrix(TQuantMatrix& matrix, bool intra) {
    for (uint8_t& value : matrix)
        if (value == 0)
            value = 255;
    if (intra)
        matrix[0] = 8;
}

} // namespace quillset
