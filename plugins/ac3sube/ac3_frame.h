// One syncframe as the encoder has decided it, before it is written: the stream setup, and per
// audio block and channel the coefficients, exponent strategy and set, bit allocation and
// quantised mantissas.
#pragma once

#include <cstdint>

#include "plugins/ac3sube/ac3_bit_allocation.h"
#include "plugins/ac3sube/ac3_exponents.h"
#include "plugins/ac3sube/ac3_tables.h"

namespace quillset::ac3sube {

// Audio coding modes this encoder writes (A/52 Table 5.8).
enum : int32_t {
    AudioCodingMode_DualMono = 0, // 1+1: two independent channels
    AudioCodingMode_Mono = 1,     // 1/0: centre
    AudioCodingMode_Stereo = 2,   // 2/0: left, right
};

// What stays the same for every frame of a stream.
struct TAC3StreamSetup {
    int32_t Fscod = 0;
    int32_t Acmod = AudioCodingMode_Stereo;
    int32_t Frmsizecod = 0;
    int32_t Channels = 2;
    int32_t FrameWords = 0;
    int32_t BandwidthCode = 0; // chbwcod, the same for every channel
    int32_t End = 0;           // endmant = 73 + 3 × chbwcod (A/52 7.1.3)
    bool Dither = false;       // dithflag of every channel and block
    TBitAllocationCodes Codes;
};

struct TAC3ChannelBlock {
    double Coefficients[kCoefficients];
    bool Short = false;                 // blksw: two short transforms
    TExponentStrategy Strategy = ExponentStrategy_Reuse;
    const TExponentSet* Exponents = nullptr; // the set in force (sent in this block or earlier)
    uint8_t Bap[kCoefficients];
    int32_t Mantissas[kCoefficients];   // quantiser codes of the bins with bap > 0
};

struct TAC3Block {
    TAC3ChannelBlock Channel[kMaxChannels];
    bool RematrixStrategy = false; // rematstr: new flags follow
    bool Rematrix[4] = {false, false, false, false};
};

struct TAC3Frame {
    TAC3StreamSetup Setup;
    TAC3Block Blocks[kBlocksPerFrame];
    TExponentSet ExponentSets[kMaxChannels][kBlocksPerFrame]; // the sets sent, by block
    // csnroffst × 16 + fsnroffst by block and channel. csnroffst is one value for all channels
    // of a block, so within a block the offsets differ in their low four bits only. A block whose
    // offsets equal the previous block's does not send them.
    int32_t SnrOffset[kBlocksPerFrame][kMaxChannels] = {};
};

} // namespace quillset::ac3sube
