#include "plugins/ac3sube/ac3_frame_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "plugins/ac3sube/ac3_crc.h"

namespace quillset::ac3sube {

namespace {

constexpr uint32_t kSyncWord = 0x0b77;
constexpr uint32_t kBitStreamId = 8;       // bsid of A/52 streams
constexpr uint32_t kDialogueNormal = 31;   // dialnorm: -31 dB, decoders apply no gain
constexpr uint32_t kFrontMixLevel = 0;     // unused by these modes

void WriteSyncInfo(const TAC3StreamSetup& setup, TAC3BitWriter& w) {
    w.Put(kSyncWord, 16);
    w.Put(0, 16); // crc1, filled in at the end
    w.Put(static_cast<uint32_t>(setup.Fscod), 2);
    w.Put(static_cast<uint32_t>(setup.Frmsizecod), 6);
}

// Per programme: dialnorm, no compression word, no language code, no production information.
void WriteProgrammeInfo(TAC3BitWriter& w) {
    w.Put(kDialogueNormal, 5);
    w.Put(0, 1); // compre
    w.Put(0, 1); // langcode
    w.Put(0, 1); // audprodie
}

void WriteBitStreamInfo(const TAC3StreamSetup& setup, TAC3BitWriter& w) {
    w.Put(kBitStreamId, 5);
    w.Put(0, 3); // bsmod: complete main audio service
    w.Put(static_cast<uint32_t>(setup.Acmod), 3);
    if ((setup.Acmod & 1) != 0 && setup.Acmod != AudioCodingMode_Mono)
        w.Put(kFrontMixLevel, 2); // cmixlev (three front channels)
    if ((setup.Acmod & 4) != 0)
        w.Put(0, 2); // surmixlev
    if (setup.Acmod == AudioCodingMode_Stereo)
        w.Put(0, 2); // dsurmod: not indicated
    w.Put(0, 1);     // lfeon
    WriteProgrammeInfo(w);
    if (setup.Acmod == AudioCodingMode_DualMono)
        WriteProgrammeInfo(w); // the second channel's programme information
    w.Put(0, 1); // copyrightb
    w.Put(1, 1); // origbs: an original stream
    w.Put(0, 1); // timecod1e
    w.Put(0, 1); // timecod2e
    w.Put(0, 1); // addbsie
}

void WriteExponents(const TExponentSet& set, TAC3BitWriter& w) {
    w.Put(set.Absolute, 4);
    for (int32_t g = 0; g < set.GroupCount; ++g)
        w.Put(set.Groups[g], 7);
    w.Put(0, 2); // gainrng
}

void WriteBlockSide(const TAC3Frame& frame, int32_t block, TAC3BitWriter& w) {
    const TAC3StreamSetup& setup = frame.Setup;
    const TAC3Block& b = frame.Blocks[block];
    const int32_t channels = setup.Channels;
    for (int32_t ch = 0; ch < channels; ++ch)
        w.Put(b.Channel[ch].Short ? 1 : 0, 1); // blksw
    for (int32_t ch = 0; ch < channels; ++ch)
        w.Put(setup.Dither ? 1 : 0, 1); // dithflag
    w.Put(0, 1); // dynrnge
    if (setup.Acmod == AudioCodingMode_DualMono)
        w.Put(0, 1); // dynrng2e
    // Coupling strategy: sent (as "not in use") in block 0, reused after.
    w.Put(block == 0 ? 1 : 0, 1); // cplstre
    if (block == 0)
        w.Put(0, 1); // cplinu
    if (setup.Acmod == AudioCodingMode_Stereo) {
        w.Put(b.RematrixStrategy ? 1 : 0, 1);
        if (b.RematrixStrategy)
            for (bool flag : b.Rematrix)
                w.Put(flag ? 1 : 0, 1);
    }
    for (int32_t ch = 0; ch < channels; ++ch)
        w.Put(b.Channel[ch].Strategy, 2); // chexpstr
    for (int32_t ch = 0; ch < channels; ++ch)
        if (b.Channel[ch].Strategy != ExponentStrategy_Reuse)
            w.Put(static_cast<uint32_t>(setup.BandwidthCode), 6); // chbwcod
    for (int32_t ch = 0; ch < channels; ++ch)
        if (b.Channel[ch].Strategy != ExponentStrategy_Reuse)
            WriteExponents(frame.ExponentSets[ch][block], w);
    // Bit allocation parameters once per frame, in block 0; SNR offsets where they change.
    w.Put(block == 0 ? 1 : 0, 1); // baie
    if (block == 0) {
        const TBitAllocationCodes& c = setup.Codes;
        w.Put(static_cast<uint32_t>(c.SlowDecay), 2);
        w.Put(static_cast<uint32_t>(c.FastDecay), 2);
        w.Put(static_cast<uint32_t>(c.SlowGain), 2);
        w.Put(static_cast<uint32_t>(c.DbPerBit), 2);
        w.Put(static_cast<uint32_t>(c.Floor), 3);
    }
    const int32_t* offsets = frame.SnrOffset[block];
    const bool newOffsets = block == 0 || !std::equal(offsets, offsets + channels, frame.SnrOffset[block - 1]);
    w.Put(newOffsets ? 1 : 0, 1); // snroffste
    if (newOffsets) {
        w.Put(static_cast<uint32_t>(offsets[0] >> 4), 6); // csnroffst
        for (int32_t ch = 0; ch < channels; ++ch) {
            assert(offsets[ch] >> 4 == offsets[0] >> 4);
            w.Put(static_cast<uint32_t>(offsets[ch] & 15), 4);     // fsnroffst
            w.Put(static_cast<uint32_t>(setup.Codes.FastGain), 3); // fgaincod
        }
    }
    w.Put(0, 1); // deltbaie: no delta bit allocation
    w.Put(0, 1); // skiple
}

// Mantissas in channel order; the codes of bap 1, 2 and 4 are grouped (3, 3 and 2 per word)
// across the channels of the block, each group written where its first member stands.
void WriteMantissas(const TAC3Frame& frame, int32_t block, TAC3BitWriter& w) {
    const TAC3Block& b = frame.Blocks[block];
    const int32_t end = frame.Setup.End;
    int32_t grouped[3][2 * kCoefficients]; // codes of bap 1, 2, 4 in stream order
    int32_t counts[3] = {0, 0, 0};
    for (int32_t ch = 0; ch < frame.Setup.Channels; ++ch) {
        for (int32_t bin = 0; bin < end; ++bin) {
            const uint8_t bap = b.Channel[ch].Bap[bin];
            const int32_t kind = bap == 1 ? 0 : (bap == 2 ? 1 : (bap == 4 ? 2 : -1));
            if (kind >= 0)
                grouped[kind][counts[kind]++] = b.Channel[ch].Mantissas[bin];
        }
    }
    // Unused places of a last group hold the zero level (index 1, 2 and 5).
    const int32_t zero[3] = {1, 2, 5};
    for (int32_t kind = 0; kind < 3; ++kind)
        for (int32_t i = counts[kind]; i < counts[kind] + 3; ++i)
            grouped[kind][i] = zero[kind];
    int32_t next[3] = {0, 0, 0};
    for (int32_t ch = 0; ch < frame.Setup.Channels; ++ch) {
        for (int32_t bin = 0; bin < end; ++bin) {
            const uint8_t bap = b.Channel[ch].Bap[bin];
            if (bap == 0)
                continue;
            const int32_t kind = bap == 1 ? 0 : (bap == 2 ? 1 : (bap == 4 ? 2 : -1));
            if (kind < 0) {
                w.Put(static_cast<uint32_t>(b.Channel[ch].Mantissas[bin]), kMantissaBits[bap]);
                continue;
            }
            const int32_t i = next[kind]++;
            const int32_t* g = grouped[kind];
            if (kind == 0 && i % 3 == 0)
                w.Put(static_cast<uint32_t>(9 * g[i] + 3 * g[i + 1] + g[i + 2]), 5);
            else if (kind == 1 && i % 3 == 0)
                w.Put(static_cast<uint32_t>(25 * g[i] + 5 * g[i + 1] + g[i + 2]), 7);
            else if (kind == 2 && i % 2 == 0)
                w.Put(static_cast<uint32_t>(11 * g[i] + g[i + 1]), 7);
        }
    }
}

} // namespace

int32_t FrameHeaderBits(const TAC3StreamSetup& setup) {
    TAC3BitWriter counter(nullptr, 0);
    WriteSyncInfo(setup, counter);
    WriteBitStreamInfo(setup, counter);
    return static_cast<int32_t>(counter.BitPosition());
}

int32_t BlockSideBits(const TAC3Frame& frame, int32_t block) {
    TAC3BitWriter counter(nullptr, 0);
    WriteBlockSide(frame, block, counter);
    return static_cast<int32_t>(counter.BitPosition());
}

void WriteFrame(const TAC3Frame& frame, uint8_t* bytes) {
    const int32_t frameBytes = 2 * frame.Setup.FrameWords;
    std::memset(bytes, 0, static_cast<size_t>(frameBytes));
    TAC3BitWriter w(bytes, frameBytes);
    WriteSyncInfo(frame.Setup, w);
    WriteBitStreamInfo(frame.Setup, w);
    for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
        WriteBlockSide(frame, block, w);
        WriteMantissas(frame, block, w);
    }
    // Auxiliary bits are the zeros already in the buffer; auxdatae, crcrsv = 0; then crc2.
    assert(w.BitPosition() <= int64_t{frameBytes} * 8 - kFrameTrailerBits);
    w.Flush();
    PutFrameChecks(bytes, frameBytes, 2 * FirstPartWords(frame.Setup.FrameWords));
}

} // namespace quillset::ac3sube
