// Exponent coding of A/52 7.1: one absolute exponent for bin 0, then differences of -2 .. +2
// between groups of 1 (D15), 2 (D25) or 4 (D45) bins, three differences per 7-bit code.
#pragma once

#include <cstdint>

#include "plugins/ac3sube/ac3_tables.h"

namespace quillset::ac3sube {

enum TExponentStrategy : uint8_t {
    ExponentStrategy_Reuse = 0,
    ExponentStrategy_D15 = 1,
    ExponentStrategy_D25 = 2,
    ExponentStrategy_D45 = 3,
};

constexpr int kMaxExponentGroups = 84; // D15 over 253 bins
constexpr int kMaxExponent = 24;

// nchgrps of a full-bandwidth channel coding bins 0 .. end-1 (A/52 7.1.3).
int32_t ExponentGroupCount(TExponentStrategy strategy, int32_t end);

// The bits one new exponent set costs: the absolute exponent, the groups and gainrng (the
// strategy and the bandwidth code are counted with the block).
inline int32_t ExponentSetBits(TExponentStrategy strategy, int32_t end) {
    return 4 + 7 * ExponentGroupCount(strategy, end) + 2;
}

// The exponent of a coefficient: the number of left shifts that bring its magnitude into
// 0.5 .. 1, at most 24 (A/52 7.1.1); magnitudes of 1 or more get 0.
uint8_t ExponentOf(double coefficient);

// A coded exponent set: what the decoder rebuilds for every bin, and what is sent.
struct TExponentSet {
    uint8_t Exponents[kCoefficients]; // decoded exponent of bins 0 .. end-1
    uint8_t Absolute = 0;             // exps[ch][0]
    uint8_t Groups[kMaxExponentGroups];
    int32_t GroupCount = 0;
};

// The exponents a set of the strategy (not Reuse) gives: reps[0] for bin 0, reps[v] for the v-th
// group of 1, 2 or 4 bins from bin 1 on; reps has room for 3 × kMaxExponentGroups + 1 values.
// Each is at most the smallest wanted exponent of its bins, and neighbours differ by at most 2.
// Returns the number of values that cover bins (the rest repeat the last).
int32_t GroupRepresentatives(const uint8_t* wanted, int32_t end, TExponentStrategy strategy, uint8_t* reps);

// Codes wanted exponents (0 .. 24, the largest each bin may have) with a strategy other than
// Reuse. Every decoded exponent is at most the wanted one, so that every mantissa stays below 1.
void CodeExponents(const uint8_t* wanted, int32_t end, TExponentStrategy strategy, TExponentSet& set);

} // namespace quillset::ac3sube
