// The frame encoders of MPEG-1 audio Layers I and II: each turns one frame of PCM samples into
// one frame of the elementary stream (ISO/IEC 11172-3, 2.4.1).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "encoder/audio/mpeg/bit_allocation.h"
#include "encoder/audio/mpeg/mpeg_audio_tables.h"
#include "encoder/audio/mpeg/psyc_analyzer.h"
#include "encoder/audio/mpeg/subband_filter.h"
#include "stream/bit_stream_writer.h"

namespace quillset {

namespace mpa {

// What every frame of a stream shares, checked by the encoder before a frame encoder is made.
struct FrameSetup {
    int32_t Layer = 2;             // 1 or 2
    int32_t SamplingFrequency = 0; // Hz
    int32_t FrequencyCode = 0;     // the header's sampling_frequency
    int32_t BitRate = 0;           // bit/s
    int32_t BitRateIndex = 0;      // the header's bitrate_index
    int32_t ChannelMode = 0;       // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int32_t Channels = 2;
    bool CalcCRC = false;
    bool Private = false;
    bool Copyright = false;
    bool Original = false;
    int32_t Emphasis = 0;
};

constexpr int32_t kHeaderBits = 32;
constexpr int32_t kCRCBits = 16;
constexpr int32_t kScalefactorBits = 6;

// CRC-16 of ISO/IEC 11172-3, 2.4.3.1: polynomial x^16 + x^15 + x^2 + 1, initial value 0xFFFF,
// fed most significant bit first.
class FrameCRC {
public:
    void Add(uint32_t value, int32_t bits) {
        for (int32_t i = bits - 1; i >= 0; --i) {
            const uint32_t in = (value >> i) & 1u;
            const uint32_t top = (Value >> 15) & 1u;
            Value = static_cast<uint16_t>(Value << 1);
            if ((in ^ top) != 0)
                Value ^= 0x8005;
        }
    }
    uint16_t Get() const { return Value; }

private:
    uint16_t Value = 0xFFFF;
};

// The code of a normalised sample x (|x| <= 1) in a class: the most significant bits of
// A x + B (Table C.6) with the first bit inverted, i.e. floor((A x + B + 1) 2^(N - 1)) for a
// class of N-bit samples, kept within 0 .. steps - 1.
uint32_t QuantizeSample(float x, const QuantClass& quantClass);

// Scalefactor selection information of a Layer II subband (ISO/IEC 11172-3, C.1.5.2.5, Table C.4):
// from the three scalefactor indices, the pattern to transmit (0 .. 3) and the three indices the
// decoder will use.
int32_t SelectScalefactors(const int32_t scalefactors[3], int32_t used[3]);
// Scalefactors transmitted for a selection information value.
constexpr int32_t kScalefactorsOfSelection[4] = {3, 2, 1, 2};

} // namespace mpa

class TMPEGAudioFrameEncoder {
public:
    // `samples[ch]` is the encoder's buffer of one frame of channel ch on the 16-bit scale; it is
    // read by every EncodeFrame. Writer and buffers are not owned.
    TMPEGAudioFrameEncoder(const mpa::FrameSetup& setup, TLargeBitStreamWriter& writer, const int32_t* const* samples,
                           int32_t samplesPerFrame, int32_t psycHistory);
    TMPEGAudioFrameEncoder(const TMPEGAudioFrameEncoder&) = delete;
    TMPEGAudioFrameEncoder& operator=(const TMPEGAudioFrameEncoder&) = delete;
    virtual ~TMPEGAudioFrameEncoder() = default;

    // Writes one frame of frameBytes bytes (padding: the header's padding_bit).
    virtual void EncodeFrame(int32_t padding, int32_t frameBytes) = 0;

protected:
    static constexpr int32_t kMono = 2; // the (L + R) / 2 signal of joint stereo, after L and R

    bool IsJointStereo() const { return Setup.ChannelMode == 1 && Setup.Channels == 2; }

    // Runs the filterbank over the frame's samples into SubbandSample(ch, sb), and with joint
    // stereo also the mono signal from subband `jointFrom` on.
    void AnalyseSubbands(int32_t sbLimit, int32_t jointFrom);
    // The psychoacoustic input of channel ch: the history followed by the frame's samples.
    const float* PsycInput(int32_t ch) const { return PsycBuffer[static_cast<size_t>(ch)].data(); }
    // Keeps the last history samples of every channel for the next frame.
    void ShiftPsycInput();

    float* SubbandSample(int32_t ch, int32_t sb) {
        return Subbands.data() + (static_cast<size_t>(ch) * mpa::kSubbands + sb) * Blocks;
    }
    // The scalefactor index of count samples.
    static int32_t ScalefactorOf(const float* samples, int32_t count);

    // Header bits 16 .. 31 (those the CRC covers), from bitrate_index to emphasis, of a frame
    // with intensity stereo from subband `bound` on (`noIntensity`: none). A joint-stereo frame
    // that needs no intensity coding says plain stereo.
    uint32_t HeaderTail(int32_t padding, int32_t bound, int32_t noIntensity) const;
    // The header's first 16 bits, its tail and, with CalcCRC, the CRC.
    void WriteHeader(uint32_t tail, uint16_t crc);

    // Bit allocation. BuildUnits fills Units (and UnitCount) for intensity stereo from subband
    // `bound` on (SBLimit of the layer for none), with UnitChannel/UnitSubband telling what each
    // unit stands for (channel -1: both); AllocationFieldBits is the size of the allocation fields.
    virtual int32_t BuildUnits(int32_t bound) = 0;
    virtual int32_t AllocationFieldBits(int32_t bound) const = 0;
    // Chooses the intensity bound, then allocates the frame's bits among the units into
    // Allocation; returns the bound. The bound is `noIntensity` unless intensity stereo is tried
    // and the frame's bits cannot mask every unit without it; then the highest of 16, 12 and 8
    // that can, else kLowestBound.
    int32_t Allocate(int32_t frameBits, int32_t noIntensity, bool tryIntensity);
    // Appends a unit for BuildUnits (channel -1: both channels).
    void AddUnit(const mpa::AllocationUnit& unit, int32_t channel, int32_t subband) {
        Units[UnitCount] = unit;
        UnitChannel[UnitCount] = channel;
        UnitSubband[UnitCount++] = subband;
    }

    static constexpr int32_t kLowestBound = 4; // intensity stereo from subband 4 at the lowest

    mpa::FrameSetup Setup;
    TLargeBitStreamWriter& Writer;
    const int32_t* const* Samples;
    int32_t SamplesPerFrame;
    int32_t Blocks;         // subband samples per subband and frame
    int32_t PsycHistory;    // samples kept before the frame for the analyser
    std::vector<mpa::SubbandAnalysisFilter> Filters;
    TPsycAnalyzer_Layer12 Psyc;
    int32_t HeaderOverhead; // header and CRC bits

    // State of one frame.
    float SMR[2][mpa::kSubbands];
    int32_t Allocation[2][mpa::kSubbands];
    mpa::AllocationUnit Units[2 * mpa::kSubbands];
    int32_t UnitChannel[2 * mpa::kSubbands];
    int32_t UnitSubband[2 * mpa::kSubbands];
    int32_t UnitCount = 0;

private:
    std::vector<std::vector<float>> PsycBuffer;
    std::vector<float> Subbands;    // [channel incl. mono][subband][block]
    std::vector<float> FilterOut;   // [block][subband]
};

} // namespace quillset
