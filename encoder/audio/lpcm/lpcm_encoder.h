// Linear PCM audio encoders: one that writes the system's private LPCM stream (for multiplexed
// outputs), and one that writes the samples straight into a RIFF WAVE file (for separate audio
// files).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoder/audio/lpcm/lpcm_header.h"
#include "encoder/audio/lpcm/wave_file.h"
#include "encoder/framework/base_encoder.h"
#include "stream/large_stream.h"

namespace quillset {

// Writes a private LPCM stream: the 20-byte header, then 16-bit big-endian samples in whole
// frames of SamplingFrequency div 600 sample times.
//
// Sample blocks of any positive frequency are accepted and taken to the configured frequency by
// nearest-earlier sample picking: the read position advances by a 22.10 fixed-point step of
// input samples per output sample, and its fraction carries from one block into the next.
// Configuration errors raise ELinearPCMAudioEncoderError with the codes
// MPEGError_Layer3NotSupported (not a Linear PCM stream type), MPEGError_IllegalSampleFormat
// (frequency), MPEGError_InvalidChannelMode and MPEGError_IllegalBitrate; a sample block that
// cannot be read raises MPEGError_IllegalSampleBlockFormat.
// Output is not owned and must outlive the encoder.
class TLinearPCMAudioEncoder : public TMPEGBaseAudioEncoder {
public:
    TLinearPCMAudioEncoder(TLargeStream& output, const std::string& name, const TMPEGAudioEncoder_EncodeConfig& config);

    void BeginEncode() override {}
    // Writes the pending sample times as a last frame padded with silence; an encoder that was
    // given no samples writes the header and one silent frame. Only the first call acts.
    void EndEncode() override;
    void GetConfig(TMPEGAudioEncoder_EncodeConfig& config) override { config = Config; }
    int32_t GetFrameCount() override { return FrameCount; }
    long double GetFrameRate() override { return FrameRate; }
    uint8_t GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) override;
    void PutSamples(const TMPEGAudioEncoder_Samples& samples) override;

    const std::string& GetName() const { return Name; }
    int32_t GetChannels() const { return Channels; }
    int32_t GetSamplesPerFrame() const { return SamplesPerFrame; }
    // The 22.10 fixed-point step of the latest block's frequency (0 before the first block).
    int32_t GetSourceStep() const { return SourceStep; }

private:
    // One output sample time: two channel values scaled so that a 16-bit sample s is s × 256.
    struct TSampleTime {
        int32_t Left;
        int32_t Right;
    };

    void CheckConfig();
    void Append(TSampleTime sampleTime);
    template <typename Convert>
    void Resample(int64_t limit, Convert convert);
    void WriteFrame();

    TMPEGAudioEncoder_EncodeConfig Config;
    TLargeStream& Output;
    std::string Name;
    int32_t FrameCount = 0;
    int32_t Channels = 2;
    long double FrameRate = 0;
    int32_t SamplesPerFrame = 0;
    int32_t BitsPerSample = 16;
    TLinearPCMHeader Header{};
    std::vector<uint8_t> FrameBuffer;
    bool HeaderPending = true;
    std::vector<TSampleTime> Samples;
    int32_t SampleCount = 0;
    // 22.10 fixed point, kept in 64 bits so that blocks of any length cannot wrap it.
    int64_t SourcePosition = 0;
    int32_t SourceStep = 0;
    int32_t SourceFrequency = 0;
    bool Finished = false;
};

// Writes the encode run's 16-bit sample blocks straight into a WAVE file. The WAVE sizes are
// written when the wrapper is destroyed (through its writer). Errors raise EMPEGAudioEncoderError.
// Output is not owned and must outlive the wrapper.
class TLinearPCMAudioEncoder_WaveFileWriterWrapper : public TMPEGBaseAudioEncoder {
public:
    static constexpr int32_t SamplesPerFrame = 1152;

    TLinearPCMAudioEncoder_WaveFileWriterWrapper(TLargeRandomStream& output,
                                                 const TMPEGAudioEncoder_EncodeConfig& config);

    // Writes the WAVE header.
    void BeginEncode() override;
    void EndEncode() override { Finished = true; }
    void GetConfig(TMPEGAudioEncoder_EncodeConfig& config) override { config = Config; }
    int32_t GetFrameCount() override { return static_cast<int32_t>(SamplesWritten / SamplesPerFrame); }
    long double GetFrameRate() override { return FrameRate; }
    uint8_t GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) override;
    // Accepts 16-bit blocks of the configured frequency and channel count only.
    void PutSamples(const TMPEGAudioEncoder_Samples& samples) override;

    int64_t GetSamplesWritten() const { return SamplesWritten; }

private:
    TMPEGAudioEncoder_EncodeConfig Config;
    TLargeRandomStream& Output;
    int64_t SamplesWritten = 0;
    std::unique_ptr<TWaveFileWriter> Writer;
    int32_t Channels = 2;
    long double FrameRate = 0;
    bool Finished = false;
};

} // namespace quillset
