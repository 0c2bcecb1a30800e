// The constant tables of ATSC A/52 (AC-3) that the encoder needs, and the values derived from them.
#pragma once

#include <cstdint>

namespace quillset::ac3sube {

constexpr int kBlocksPerFrame = 6;
constexpr int kBlockSize = 256;                           // new samples per audio block
constexpr int kSamplesPerFrame = kBlocksPerFrame * kBlockSize;
constexpr int kCoefficients = 256;                        // transform coefficients per block
constexpr int kMaxMantissas = 253;                        // bins a full-bandwidth channel can code
constexpr int kBands = 50;                                // bit allocation bands
constexpr int kMaxChannels = 2;                           // full-bandwidth channels this encoder codes
constexpr int kRateCount = 19;                            // frmsizecod / 2 = 0 .. 18

// Sampling frequency by fscod (A/52 Table 5.6); fscod 3 is reserved.
extern const int32_t kSampleRates[3];
// Nominal bit rate in kbit/s by frmsizecod / 2 (A/52 Table 5.18).
extern const int16_t kBitRates[kRateCount];

// Syncframe size in 16-bit words (A/52 Table 5.18); 0 for a reserved fscod or frmsizecod > 37.
int32_t FrameSizeWords(int32_t fscod, int32_t frmsizecod);

// Bit allocation (A/52 7.2.2): band layout, bin-to-band map, log-addition table, hearing
// threshold by fscod, bit allocation pointers by address, and the parameter tables selected by
// sdcycod, fdcycod, sgaincod, dbpbcod, floorcod and fgaincod.
extern const uint8_t kBandStart[kBands + 1]; // bndtab, with the end (253) appended
uint8_t BandOfBin(int32_t bin);              // masktab, bins 0 .. 252
extern const uint8_t kLogAdd[256];           // latab
extern const uint16_t kHearingThreshold[3][kBands]; // hth[fscod][band]
extern const uint8_t kBapOfAddress[64];      // baptab
extern const int16_t kSlowDecay[4];
extern const int16_t kFastDecay[4];
extern const int16_t kSlowGain[4];
extern const int16_t kDbPerBit[4];
extern const int16_t kFloor[8];
extern const int16_t kFastGain[8];

// Quantiser levels of the symmetric quantisers of bap 1 .. 5 (3, 5, 7, 11, 15; 0 otherwise) and
// the word size of the two's complement quantisers of bap 6 .. 15 (5 .. 12, 14, 16 bits).
extern const uint8_t kQuantizerLevels[16];
extern const uint8_t kMantissaBits[16];

// Rematrixing band edges without coupling (A/52 7.5.2): bins 13, 25, 37, 61 and the end.
extern const uint8_t kRematrixBandStart[5];

// The 256 rising values of the 512-point Kaiser-Bessel-derived transform window (alpha 5,
// A/52 7.9.4.2); the falling half is the mirror image.
const double* TransformWindow();

} // namespace quillset::ac3sube
