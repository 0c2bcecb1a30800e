// The MPEG-1 audio encoder: PCM sample blocks in, an ISO/IEC 11172-3 Layer I or Layer II
// elementary stream out.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "encoder/audio/mpeg/frame_encoder.h"
#include "encoder/framework/base_encoder.h"
#include "stream/bit_stream_writer.h"
#include "stream/large_stream.h"

namespace quillset {

// Sample blocks of any positive frequency are taken to the configured one by nearest-earlier
// sample picking: the read position advances by a 22.10 fixed-point step of input samples per
// output sample and its fraction carries from one block into the next. Samples are converted to
// the 16-bit scale (8-bit: (x - 128) x 256), mixed to mono or doubled to stereo as the channel mode
// asks, cut into frames of 384 (Layer I) or 1152 (Layer II) samples, and each frame is encoded as
// soon as it is full. Frame sizes follow the bit rate exactly: N or N + 1 slots, the padding bit
// set so that the stream's average rate is the configured one.
//
// Configuration errors raise EMPEGAudioEncoderError at construction, in this order:
// MPEGError_Layer3NotSupported (stream type 2 or above), MPEGError_IllegalSampleFormat (a
// sampling frequency not 44100, 48000 or 32000), MPEGError_InvalidChannelMode (not 0 .. 3) and
// MPEGError_IllegalBitrate (not in the layer's list for the channel count). A sample block that
// cannot be read raises MPEGError_IllegalSampleBlockFormat. Output is not owned and must outlive
// the encoder.
class TMPEGAudioEncoder : public TMPEGBaseAudioEncoder {
public:
    TMPEGAudioEncoder(TLargeStream& output, const TMPEGAudioEncoder_EncodeConfig& config);
    ~TMPEGAudioEncoder() override;

    void BeginEncode() override {}
    // Encodes the pending samples as a last frame completed with silence (an encoder that got no
    // samples writes one silent frame) and flushes the writer. Only the first call acts.
    void EndEncode() override;
    void GetConfig(TMPEGAudioEncoder_EncodeConfig& config) override { config = Config; }
    int32_t GetFrameCount() override { return FrameCount; }
    long double GetFrameRate() override { return FrameRate; }
    // 3, 0, 0, 0, 0, 1.
    uint8_t GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) override;
    void PutSamples(const TMPEGAudioEncoder_Samples& samples) override;

    int32_t GetChannels() const { return Setup.Channels; }
    int32_t GetSamplesPerFrame() const { return SamplesPerFrame; }
    // The 22.10 fixed-point step of the latest block's frequency (0 before the first block).
    int32_t GetSourceStep() const { return SourceStep; }
    // Slots of a frame without padding.
    int32_t GetSlotsPerFrame() const { return SlotsPerFrame; }
    // The converted samples waiting for the next frame: GetPendingCount() values of a channel.
    int32_t GetPendingCount() const { return Fill; }
    const int32_t* GetPendingSamples(int32_t channel) const { return Buffers[channel & 1].data(); }

private:
    void CheckConfig();
    void Append(int32_t left, int32_t right);
    template <typename Convert>
    void Resample(int64_t limit, Convert convert);
    void EncodeFrame();

    TMPEGAudioEncoder_EncodeConfig Config;
    TLargeStream& Output;
    mpa::FrameSetup Setup;
    int32_t SamplesPerFrame = 0;
    int32_t SlotBytes = 1;
    int32_t SlotsPerFrame = 0;      // N
    int64_t PaddingNumerator = 0;   // r = PaddingNumerator / SamplingFrequency
    int64_t PaddingAccumulator = 0; // in units of 1 / SamplingFrequency
    long double FrameRate = 0;
    int32_t FrameCount = 0;

    std::vector<int32_t> Buffers[2];
    const int32_t* BufferPointers[2] = {nullptr, nullptr};
    int32_t Fill = 0;
    // 22.10 fixed point, kept in 64 bits so that blocks of any length cannot wrap it.
    int64_t SourcePosition = 0;
    int32_t SourceStep = 0;
    int32_t SourceFrequency = 0;
    bool Finished = false;

    std::unique_ptr<TLargeBitStreamWriter> Writer;
    std::unique_ptr<TMPEGAudioFrameEncoder> FrameEncoder;
};

} // namespace quillset
