#include "encoder/audio/mpeg/mpeg_audio_tables.h"

namespace quillset::mpa {

// Table B.1, four to a line.
const double kScalefactors[kScalefactorCount] = {
    2.00000000000000, 1.58740105196820, 1.25992104989487, 1.00000000000000,
    0.79370052598410, 0.62996052494744, 0.50000000000000, 0.39685026299205,
    0.31498026247372, 0.25000000000000, 0.19842513149602, 0.15749013123686,
    0.12500000000000, 0.09921256574801, 0.07874506561843, 0.06250000000000,
    0.04960628287401, 0.03937253280921, 0.03125000000000, 0.02480314143700,
    0.01968626640461, 0.01562500000000, 0.01240157071850, 0.00984313320230,
    0.00781250000000, 0.00620078535925, 0.00492156660115, 0.00390625000000,
    0.00310039267963, 0.00246078330058, 0.00195312500000, 0.00155019633981,
    0.00123039165029, 0.00097656250000, 0.00077509816991, 0.00061519582514,
    0.00048828125000, 0.00038754908495, 0.00030759791257, 0.00024414062500,
    0.00019377454248, 0.00015379895629, 0.00012207031250, 0.00009688727124,
    0.00007689947814, 0.00006103515625, 0.00004844363562, 0.00003844973907,
    0.00003051757812, 0.00002422181781, 0.00001922486954, 0.00001525878906,
    0.00001211090890, 0.00000961243477, 0.00000762939453, 0.00000605545445,
    0.00000480621738, 0.00000381469727, 0.00000302772723, 0.00000240310869,
    0.00000190734863, 0.00000151386361, 0.00000120155435,};

int32_t ScalefactorIndexOf(double magnitude) {
    // The table falls with the index: find the last entry that is still >= magnitude.
    int32_t low = 0, high = kScalefactorCount - 1;
    if (magnitude <= kScalefactors[high])
        return high;
    while (low < high) { // invariant: kScalefactors[high + 1] < magnitude (or high is the end)
        const int32_t mid = (low + high + 1) / 2;
        if (kScalefactors[mid] >= magnitude)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

// Steps, codeword bits, samples per codeword, SNR (Table C.5), A and B (Table C.6:
// A = steps / 2^bits of one sample, B = A - 1).
const QuantClass kQuantClasses[kQuantClassCount] = {
    {3, 5, 3, 7.00, 0.75, -0.25},
    {5, 7, 3, 11.00, 0.625, -0.375},
    {7, 3, 1, 16.00, 0.875, -0.125},
    {9, 10, 3, 20.84, 0.5625, -0.4375},
    {15, 4, 1, 25.28, 0.9375, -0.0625},
    {31, 5, 1, 31.59, 31.0 / 32, -1.0 / 32},
    {63, 6, 1, 37.75, 63.0 / 64, -1.0 / 64},
    {127, 7, 1, 43.84, 127.0 / 128, -1.0 / 128},
    {255, 8, 1, 49.89, 255.0 / 256, -1.0 / 256},
    {511, 9, 1, 55.93, 511.0 / 512, -1.0 / 512},
    {1023, 10, 1, 61.96, 1023.0 / 1024, -1.0 / 1024},
    {2047, 11, 1, 67.98, 2047.0 / 2048, -1.0 / 2048},
    {4095, 12, 1, 74.01, 4095.0 / 4096, -1.0 / 4096},
    {8191, 13, 1, 80.03, 8191.0 / 8192, -1.0 / 8192},
    {16383, 14, 1, 86.05, 16383.0 / 16384, -1.0 / 16384},
    {32767, 15, 1, 92.01, 32767.0 / 32768, -1.0 / 32768},
    {65535, 16, 1, 98.01, 65535.0 / 65536, -1.0 / 65536},
};

const QuantClass* FindQuantClass(int32_t steps) {
    for (const QuantClass& c : kQuantClasses)
        if (c.Steps == steps)
            return &c;
    return nullptr;
}

namespace {

// Class indices into kQuantClasses, by steps.
enum : int8_t {
    k3 = 0, k5, k7, k9, k15, k31, k63, k127, k255, k511, k1023, k2047, k4095, k8191, k16383, k32767, k65535,
    kNone = -1
};

constexpr AllocationRow kRowLow = {4, 16, {kNone, k3, k7, k15, k31, k63, k127, k255, k511, k1023, k2047, k4095,
                                           k8191, k16383, k32767, k65535}};
constexpr AllocationRow kRowMid = {4, 16, {kNone, k3, k5, k7, k9, k15, k31, k63, k127, k255, k511, k1023, k2047,
                                           k4095, k8191, k65535}};
constexpr AllocationRow kRowHigh = {3, 8, {kNone, k3, k5, k7, k9, k15, k31, k65535}};
constexpr AllocationRow kRowTop = {2, 4, {kNone, k3, k5, k65535}};
constexpr AllocationRow kRowLowRateLow = {4, 16, {kNone, k3, k5, k9, k15, k31, k63, k127, k255, k511, k1023,
                                                  k2047, k4095, k8191, k16383, k32767}};
constexpr AllocationRow kRowLowRateHigh = {3, 8, {kNone, k3, k5, k9, k15, k31, k63, k127}};
constexpr AllocationRow kRowUnused = {0, 1, {kNone}};

// Rows by subband: [0, low) kRowLow, [low, mid) kRowMid, [mid, high) kRowHigh, [high, limit) kRowTop.
constexpr AllocationTable HighRateTable(char name, int32_t limit) {
    AllocationTable t{name, limit, {}};
    for (int32_t sb = 0; sb < kSubbands; ++sb)
        t.Rows[sb] = sb < 3 ? kRowLow : sb < 11 ? kRowMid : sb < 23 ? kRowHigh : sb < limit ? kRowTop : kRowUnused;
    return t;
}

constexpr AllocationTable LowRateTable(char name, int32_t limit) {
    AllocationTable t{name, limit, {}};
    for (int32_t sb = 0; sb < kSubbands; ++sb)
        t.Rows[sb] = sb < 2 ? kRowLowRateLow : sb < limit ? kRowLowRateHigh : kRowUnused;
    return t;
}

constexpr AllocationTable kTableA = HighRateTable('a', 27); // Table B.2a
constexpr AllocationTable kTableB = HighRateTable('b', 30); // Table B.2b
constexpr AllocationTable kTableC = LowRateTable('c', 8);   // Table B.2c
constexpr AllocationTable kTableD = LowRateTable('d', 12);  // Table B.2d

// Layer I: allocation j quantises with j + 1 bits, ungrouped.
constexpr QuantClass Layer1ClassOf(int32_t j) {
    const int32_t bits = j + 1;
    const int32_t steps = (1 << bits) - 1;
    const double a = static_cast<double>(steps) / (1 << bits);
    constexpr double kSNR[kLayer1MaxAllocation + 1] = {0.00,  7.00,  16.00, 25.28, 31.59, 37.75, 43.84, 49.89,
                                                       55.93, 61.96, 67.98, 74.01, 80.03, 86.05, 92.01};
    return {steps, bits, 1, kSNR[j], a, a - 1.0};
}

constexpr QuantClass kLayer1Classes[kLayer1MaxAllocation + 1] = {
    {0, 0, 1, 0.0, 0.0, 0.0}, Layer1ClassOf(1),  Layer1ClassOf(2),  Layer1ClassOf(3),  Layer1ClassOf(4),
    Layer1ClassOf(5),         Layer1ClassOf(6),  Layer1ClassOf(7),  Layer1ClassOf(8),  Layer1ClassOf(9),
    Layer1ClassOf(10),        Layer1ClassOf(11), Layer1ClassOf(12), Layer1ClassOf(13), Layer1ClassOf(14),
};

} // namespace

const AllocationTable& SelectAllocationTable(int32_t samplingFrequency, int32_t bitRatePerChannel) {
    // ISO/IEC 11172-3, Table B.2: a for 48 kHz from 56 kbit/s per channel and for 56 to 80 kbit/s
    // at the other frequencies; b from 96 kbit/s at 44.1 and 32 kHz; c and d below 56 kbit/s,
    // d at 32 kHz.
    const int32_t kbps = bitRatePerChannel / 1000;
    if (kbps >= 56 && (samplingFrequency == 48000 || kbps <= 80))
        return kTableA;
    if (kbps >= 96)
        return kTableB;
    return samplingFrequency == 32000 ? kTableD : kTableC;
}

const QuantClass& Layer1Class(int32_t allocation) {
    return kLayer1Classes[allocation];
}

int32_t SamplingFrequencyCode(int32_t samplingFrequency) {
    switch (samplingFrequency) {
    case 44100: return 0;
    case 48000: return 1;
    case 32000: return 2;
    default: return -1;
    }
}

} // namespace quillset::mpa
