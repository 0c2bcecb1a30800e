// The parametric bit allocation of A/52 7.2.2, as a decoder runs it: from the coded exponents of
// one channel and block and the bit allocation parameters, a masking curve per band, and from the
// masking curve and the SNR offset the bit allocation pointer (bap) of every mantissa. The
// encoder must compute exactly what the decoder computes, so all arithmetic is the standard's
// integer arithmetic.
#pragma once

#include <cstdint>

#include "plugins/ac3sube/ac3_tables.h"

namespace quillset::ac3sube {

// The codes sent in the bit stream (A/52 5.4.3.30 to 5.4.3.39). The defaults are the
// encoder's choice, measured on music and speech: the steepest fast gain and the highest
// dB-per-bit knee keep more bits on tonal peaks and loud bands, and no floor limits the mask.
struct TBitAllocationCodes {
    int SlowDecay = 2; // sdcycod
    int FastDecay = 1; // fdcycod
    int SlowGain = 1;  // sgaincod
    int DbPerBit = 3;  // dbpbcod
    int Floor = 7;     // floorcod
    int FastGain = 7;  // fgaincod
};

// The masking curve of one full-bandwidth channel (bins 0 .. end-1) without coupling or delta
// bit allocation.
struct TMaskCurve {
    int16_t Psd[kCoefficients]; // psd[bin] = 3072 - exponent × 128
    int16_t Mask[kBands];       // before the SNR offset and floor are applied
    int32_t End = 0;            // bins covered
};

// end: 1 .. 253 bins; exponents: 0 .. 24 for bins 0 .. end-1.
void ComputeMaskCurve(const uint8_t* exponents, int32_t end, int32_t fscod, const TBitAllocationCodes& codes,
                      TMaskCurve& curve);

// snroffset = ((csnroffst - 15) << 4 + fsnroffst) << 2 (A/52 7.2.2.1); the combined offset
// csnroffst × 16 + fsnroffst runs from 0 to 1023.
inline int32_t SnrOffsetOf(int32_t combined) { return ((((combined >> 4) - 15) << 4) + (combined & 15)) << 2; }

// The masking value of a band with the SNR offset and the floor applied and rounded to 32
// (A/52 7.2.2.6), against which the PSD of its bins is compared.
inline int32_t OffsetMask(int32_t mask, int32_t snrOffset, int32_t floor) {
    int32_t m = mask - snrOffset - floor;
    if (m < 0)
        m = 0;
    return (m & 0x1fe0) + floor;
}

// The bap of a bin of PSD psd under an offset mask.
inline uint8_t BapOf(int32_t psd, int32_t offsetMask) {
    int32_t address = (psd - offsetMask) >> 5;
    address = address < 0 ? 0 : (address > 63 ? 63 : address);
    return kBapOfAddress[address];
}

// Fills bap[0 .. end-1]. With csnroffst and fsnroffst both 0 (snroffset -960) every bap is 0,
// as A/52 decoders treat that case. histogram (16 counts), when given, receives how many bins
// got each bap.
void ComputeBap(const TMaskCurve& curve, int32_t snrOffset, const TBitAllocationCodes& codes, uint8_t* bap,
                int32_t* histogram = nullptr);

} // namespace quillset::ac3sube
