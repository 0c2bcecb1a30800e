// The numeric tables of MPEG-1 audio Layers I and II (ISO/IEC 11172-3, Annexes B and C) that the
// frame encoders quantise and allocate with.
#pragma once

#include <cstdint>

namespace quillset::mpa {

constexpr int32_t kSubbands = 32;
constexpr int32_t kScalefactorCount = 63;       // indices 0 .. 62 of Table B.1
constexpr int32_t kUnusedScalefactorIndex = 63; // what subbands at or above the limit carry

// Table B.1: 2 x 2^(-i/3), decreasing with i.
extern const double kScalefactors[kScalefactorCount];

// The index of the smallest scalefactor not below `magnitude` (62 when even that one is above).
int32_t ScalefactorIndexOf(double magnitude);

// One class of quantisation (Layer II classes of Table B.4; Layer I uses the classes of
// 2^n - 1 steps): steps, bits per codeword, samples per codeword (3 when grouped, else 1), the
// signal-to-noise ratio of Table C.5 and the quantisation coefficients A and B of Table C.6.
struct QuantClass {
    int32_t Steps;
    int32_t CodewordBits;
    int32_t SamplesPerCodeword;
    double SNR; // dB
    double A;
    double B;
};

constexpr int32_t kQuantClassCount = 17;
// Classes by number of steps: 3, 5, 7, 9, 15, 31, ..., 65535.
extern const QuantClass kQuantClasses[kQuantClassCount];

// The class with `steps` steps, or nullptr.
const QuantClass* FindQuantClass(int32_t steps);

// ---- Layer II allocation (Tables B.2a to B.2d) --------------------------------------------------

constexpr int32_t kMaxAllocationEntries = 16;

// One subband's row: the width of its allocation field and the class of each allocation value
// (index into kQuantClasses; -1 for value 0, which means no samples).
struct AllocationRow {
    int32_t FieldBits;
    int32_t Entries; // 1 << FieldBits
    int8_t Classes[kMaxAllocationEntries];
};

struct AllocationTable {
    char Name;        // 'a' .. 'd'
    int32_t SBLimit;  // subbands that carry samples
    AllocationRow Rows[kSubbands];
};

// The table for a sampling frequency (Hz) and a bit rate per channel (bit/s).
const AllocationTable& SelectAllocationTable(int32_t samplingFrequency, int32_t bitRatePerChannel);

// ---- Layer I ------------------------------------------------------------------------------------

constexpr int32_t kLayer1AllocationBits = 4;
constexpr int32_t kLayer1MaxAllocation = 14; // 15 is forbidden

// Allocation value j > 0 quantises with j + 1 bits per sample, 2^(j+1) - 1 steps.
const QuantClass& Layer1Class(int32_t allocation);

// ---- header codes -------------------------------------------------------------------------------

// The position of a sampling frequency in the header's list (44100, 48000, 32000), or -1.
int32_t SamplingFrequencyCode(int32_t samplingFrequency);

} // namespace quillset::mpa
