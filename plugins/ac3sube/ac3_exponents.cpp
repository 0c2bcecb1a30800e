#include "plugins/ac3sube/ac3_exponents.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace quillset::ac3sube {

int32_t ExponentGroupCount(TExponentStrategy strategy, int32_t end) {
    switch (strategy) {
    case ExponentStrategy_D15: return (end - 1) / 3;
    case ExponentStrategy_D25: return (end - 1 + 3) / 6;
    case ExponentStrategy_D45: return (end - 1 + 9) / 12;
    default: return 0;
    }
}

uint8_t ExponentOf(double coefficient) {
    const double magnitude = std::fabs(coefficient);
    if (magnitude >= 1.0)
        return 0;
    if (magnitude < 1.0 / (1 << kMaxExponent))
        return kMaxExponent;
    // ilogb gives e with 2^e <= magnitude < 2^(e+1), e in -24 .. -1 here.
    return static_cast<uint8_t>(-std::ilogb(magnitude) - 1);
}

int32_t GroupRepresentatives(const uint8_t* wanted, int32_t end, TExponentStrategy strategy, uint8_t* reps) {
    assert(strategy != ExponentStrategy_Reuse && end > 1 && end <= kMaxMantissas);
    const int32_t shift = static_cast<int32_t>(strategy) - 1; // group of 1, 2 or 4 bins
    const int32_t values = 3 * ExponentGroupCount(strategy, end);
    reps[0] = std::min<uint8_t>(wanted[0], 15);
    int32_t used = 1;
    for (int32_t first = 1; first < end; first += 1 << shift, ++used) {
        const int32_t last = std::min(first + (1 << shift), end);
        uint8_t smallest = wanted[first];
        for (int32_t bin = first + 1; bin < last; ++bin)
            smallest = std::min(smallest, wanted[bin]);
        reps[used] = smallest;
    }
    // Lowering an exponent is always safe; limit the steps to +-2 in both directions.
    for (int32_t v = 1; v < used; ++v)
        reps[v] = std::min<uint8_t>(reps[v], static_cast<uint8_t>(reps[v - 1] + 2));
    for (int32_t v = used - 1; v > 0; --v)
        reps[v - 1] = std::min<uint8_t>(reps[v - 1], static_cast<uint8_t>(reps[v] + 2));
    for (int32_t v = used; v <= values; ++v)
        reps[v] = reps[v - 1]; // values past the last bin repeat, a difference of 0
    return used;
}

void CodeExponents(const uint8_t* wanted, int32_t end, TExponentStrategy strategy, TExponentSet& set) {
    uint8_t reps[3 * kMaxExponentGroups + 1];
    GroupRepresentatives(wanted, end, strategy, reps);
    set.GroupCount = ExponentGroupCount(strategy, end);
    set.Absolute = reps[0];
    for (int32_t g = 0; g < set.GroupCount; ++g) {
        const int32_t d1 = reps[3 * g + 1] - reps[3 * g] + 2;
        const int32_t d2 = reps[3 * g + 2] - reps[3 * g + 1] + 2;
        const int32_t d3 = reps[3 * g + 3] - reps[3 * g + 2] + 2;
        set.Groups[g] = static_cast<uint8_t>(25 * d1 + 5 * d2 + d3);
    }
    const int32_t shift = static_cast<int32_t>(strategy) - 1;
    set.Exponents[0] = reps[0];
    for (int32_t bin = 1; bin < end; ++bin)
        set.Exponents[bin] = reps[1 + ((bin - 1) >> shift)];
}

} // namespace quillset::ac3sube
