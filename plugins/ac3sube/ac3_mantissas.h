// Mantissa quantisation of A/52 7.3: symmetric quantisers with 3, 5, 7, 11 and 15 levels for
// bap 1 to 5 (those of bap 1, 2 and 4 sent in groups of three, three and two per code word) and
// two's complement words of 5 to 16 bits for bap 6 to 15.
#pragma once

#include <cstdint>

namespace quillset::ac3sube {

// The code of mantissa m (-1 < m < 1) for a bap of 1 .. 15: the level index 0 .. levels-1 of
// the symmetric quantisers, or the two's complement word (low bits) of the others.
int32_t QuantizeMantissa(double m, int32_t bap);

// The value a decoder gives the code (for tests and for the encoder's own checks).
double MantissaValue(int32_t code, int32_t bap);

// Counts the bits of one audio block's mantissas. Groups of bap 1, 2 and 4 run on across the
// channels of the block (A/52 7.3.5), so a block is counted as a whole: from its baps, or from
// how many mantissas each bap has.
class TMantissaBitCounter {
public:
    void Add(const uint8_t* bap, int32_t count) {
        for (int32_t i = 0; i < count; ++i)
            ++Counts[bap[i]];
    }
    void Add(uint8_t bap) { ++Counts[bap]; }
    // histogram[b]: the number of mantissas with bap b.
    void AddHistogram(const int32_t* histogram) {
        for (int32_t b = 0; b < 16; ++b)
            Counts[b] += histogram[b];
    }
    int32_t Bits() const {
        int32_t plain = 0;
        for (int32_t b = 3; b < 16; ++b)
            plain += Counts[b] * kPlainBits[b];
        return plain + (Counts[1] + 2) / 3 * 5 + (Counts[2] + 2) / 3 * 7 + (Counts[4] + 1) / 2 * 7;
    }

private:
    static constexpr uint8_t kPlainBits[16] = {0, 0, 0, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16};
    int32_t Counts[16] = {};
};

} // namespace quillset::ac3sube
