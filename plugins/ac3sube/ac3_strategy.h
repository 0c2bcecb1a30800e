// The encoder's choices that A/52 leaves open: the coded bandwidth for a bit rate, and which
// blocks send new exponents with which strategy.
#pragma once

#include <cstdint>

#include "plugins/ac3sube/ac3_exponents.h"
#include "plugins/ac3sube/ac3_tables.h"

namespace quillset::ac3sube {

// chbwcod (0 .. 60) for a channel coded at bitsPerSecond at the sampling frequency of fscod.
int32_t ChooseBandwidthCode(int32_t fscod, int32_t bitsPerSecond);

// Decides the exponent strategy of each block of one channel from the exponents each block
// wants (bins 0 .. end-1). A block either sends a new set (D15, D25, D45) or reuses the set in
// force; block 0 always sends one. The choice minimises an estimate of the bits spent: the
// set's own bits plus `bitsPerStep` for every step by which a shared or coarser set lowers a
// bin's exponent below what the block wants (each step costs mantissa precision).
void ChooseExponentStrategies(const uint8_t (*wanted)[kCoefficients], int32_t end, double bitsPerStep,
                              TExponentStrategy* strategies);

} // namespace quillset::ac3sube
