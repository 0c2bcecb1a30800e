// Bit allocation by mask-to-noise ratio, shared by Layers I and II.
#pragma once

#include <cstdint>

namespace quillset::mpa {

// One thing an allocation value is chosen for: a subband of one channel, or above the intensity
// bound a subband whose samples serve both channels.
struct AllocationUnit {
    const int32_t* SampleBits = nullptr; // the bits of the unit's samples by allocation value
    const float* SNR = nullptr;          // dB by allocation value (0 for value 0)
    int32_t MaxValue = 0;                // the highest allocation value
    int32_t SideBits = 0;                // what the first step adds: selection info and scalefactors
    float SMR = 0.0f;                    // dB
    int32_t Value = 0;                   // the result
};

// Raises the allocation step by step, always for the unfinished unit with the smallest
// mask-to-noise ratio SNR(value) - SMR; a step that does not fit into the remaining bits
// finishes its unit, as does reaching the highest value. Returns the bits spent.
int32_t AllocateBits(AllocationUnit* units, int32_t count, int32_t availableBits);

// The bits (samples, selection information, scalefactors) that give every unit an SNR of at least
// its SMR, or its highest value where even that falls short.
int32_t BitsForMasking(const AllocationUnit* units, int32_t count);

} // namespace quillset::mpa
