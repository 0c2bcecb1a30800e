#include "encoder/audio/mpeg/bit_allocation.h"

#include <algorithm>
#include <cassert>

namespace quillset::mpa {

namespace {

constexpr int32_t kMaxUnits = 64;

int32_t StepCost(const AllocationUnit& unit) {
    const int32_t v = unit.Value;
    return unit.SampleBits[v + 1] - unit.SampleBits[v] + (v == 0 ? unit.SideBits : 0);
}

} // namespace

int32_t AllocateBits(AllocationUnit* units, int32_t count, int32_t availableBits) {
    assert(count <= kMaxUnits);
    // The open units in a heap on (MNR, index): the top is the unit the rule takes next, the
    // lowest index among equal ratios.
    float mnr[kMaxUnits];
    int32_t heap[kMaxUnits];
    int32_t size = 0;
    auto later = [&mnr](int32_t a, int32_t b) { return mnr[a] > mnr[b] || (mnr[a] == mnr[b] && a > b); };
    for (int32_t i = 0; i < count; ++i) {
        units[i].Value = 0;
        mnr[i] = -units[i].SMR;
        if (units[i].MaxValue > 0)
            heap[size++] = i;
    }
    std::make_heap(heap, heap + size, later);
    int32_t remaining = availableBits;
    while (size > 0) {
        std::pop_heap(heap, heap + size, later);
        const int32_t best = heap[size - 1];
        AllocationUnit& unit = units[best];
        const int32_t cost = StepCost(unit);
        if (cost > remaining) {
            --size; // finished: the step does not fit
            continue;
        }
        remaining -= cost;
        ++unit.Value;
        mnr[best] = unit.SNR[unit.Value] - unit.SMR;
        if (unit.Value < unit.MaxValue)
            std::push_heap(heap, heap + size, later);
        else
            --size; // finished at its highest value
    }
    return availableBits - remaining;
}

int32_t BitsForMasking(const AllocationUnit* units, int32_t count) {
    int32_t bits = 0;
    for (int32_t i = 0; i < count; ++i) {
        const AllocationUnit& unit = units[i];
        int32_t v = 0;
        while (v < unit.MaxValue && unit.SNR[v] < unit.SMR)
            ++v;
        if (v > 0)
            bits += unit.SampleBits[v] + unit.SideBits;
    }
    return bits;
}

} // namespace quillset::mpa
