// The facts psychoacoustic model 2 of ISO/IEC 11172-3 (Annex D) works with: the critical-band
// scale, the calculation partitions of about a third of a critical band each, the tone-masking
// and minimum signal-to-noise values, the spreading function and the threshold in quiet.
#pragma once

#include <array>
#include <cstdint>

namespace quillset::mpa {

constexpr int32_t kPsycFFTSize = 1024;
constexpr int32_t kPsycLines = kPsycFFTSize / 2 + 1; // lines 0 .. 512
constexpr int32_t kMaxPartitions = 63;

// The critical-band rate (Bark) of a frequency in Hz, linear between the band edges
// 0, 100, 200, ..., 15500, 25000, 30000 Hz.
double BarkOf(double frequency);

// The smallest signal-to-noise ratio (dB) a partition may ask for, by its Bark value rounded
// (0 .. 26).
double MinimumSNROfBark(int32_t bark);

// Tone masking noise (dB) of a partition centred at `bark`: max(15.5 + bark, 24.5); noise
// masking tone is kNoiseMaskingTone.
double ToneMaskingNoise(double bark);
constexpr double kNoiseMaskingTone = 5.5;

// The spreading function (a power ratio) from a masker at Bark `from` onto Bark `to`.
double SpreadingFunction(double from, double to);

// The threshold in quiet (dB, on the scale where a full-scale sine is about 96 dB) at FFT line
// `line` (0 .. 512) of a 1024-point transform at `samplingFrequency` (44100, 48000 or 32000).
double QuietThresholdDb(int32_t samplingFrequency, int32_t line);

// The calculation partitions of one sampling frequency: consecutive FFT lines are gathered while
// their Bark values stay within 0.33 of the partition's first line.
struct PsycPartitions {
    int32_t Count = 0;
    std::array<int32_t, kMaxPartitions> FirstLine{};
    std::array<int32_t, kMaxPartitions> LineCount{};
    std::array<double, kMaxPartitions> Bark{}; // the mean Bark value of the partition's lines
};

PsycPartitions BuildPsycPartitions(int32_t samplingFrequency);

} // namespace quillset::mpa
