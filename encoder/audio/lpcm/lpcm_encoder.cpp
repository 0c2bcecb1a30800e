#include "encoder/audio/lpcm/lpcm_encoder.h"

#include <algorithm>

#include "encoder/audio/lpcm/byte_order.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/framework/sample_stepping.h"

namespace quillset {

// ---- TLinearPCMAudioEncoder ------------------------------------------------------------------

TLinearPCMAudioEncoder::TLinearPCMAudioEncoder(TLargeStream& output, const std::string& name,
                                               const TMPEGAudioEncoder_EncodeConfig& config)
    : Config(config), Output(output), Name(name) {
    CheckConfig();
    Channels = ChannelsOfMode(Config.ChannelMode);
    SamplesPerFrame = Config.SamplingFrequency / LPCMFramesPerSecond;
    FrameRate = static_cast<long double>(Config.SamplingFrequency) / SamplesPerFrame;
    BitsPerSample = 16;
    TLinearPCMHeaderInfo info;
    info.BitsPerSample = BitsPerSample;
    info.SamplingFrequency = Config.SamplingFrequency;
    info.Channels = Channels;
    Header = BuildLPCMHeader(info);
    Samples.assign(static_cast<size_t>(SamplesPerFrame), TSampleTime{0, 0});
    FrameBuffer.assign(static_cast<size_t>(SamplesPerFrame * Channels * 2), 0);
}

void TLinearPCMAudioEncoder::CheckConfig() {
    constexpr uint8_t kType = MPEGAudioEncoder_StreamType_LinearPCM;
    if (Config.StreamType != kType)
        throw ELinearPCMAudioEncoderError(MPEGError_Layer3NotSupported);
    if (!IsAllowedFrequency(kType, Config.SamplingFrequency))
        throw ELinearPCMAudioEncoderError(MPEGError_IllegalSampleFormat);
    if (!IsAllowedChannelMode(kType, Config.ChannelMode))
        throw ELinearPCMAudioEncoderError(MPEGError_InvalidChannelMode);
    const int32_t channels = ChannelsOfMode(Config.ChannelMode);
    if (Config.BitRate != GetAudioBitRate(kType, channels, 0, Config.SamplingFrequency))
        throw ELinearPCMAudioEncoderError(MPEGError_IllegalBitrate);
}

uint8_t TLinearPCMAudioEncoder::GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) {
    descriptor = {8, 2, 2, 2, 2, 0};
    return descriptor[0];
}

void TLinearPCMAudioEncoder::WriteFrame() {
    if (HeaderPending) {
        Output.WriteBuffer(Header.data(), LPCMHeaderSize);
        HeaderPending = false;
    }
    uint8_t* out = FrameBuffer.data();
    for (int32_t i = 0; i < SamplesPerFrame; ++i) {
        // Truncating division, as the scaled values are whole multiples of 256 or of 128.
        lpcm::WriteSampleBE(out, Samples[i].Left / 256);
        out += 2;
        if (Channels == 2) {
            lpcm::WriteSampleBE(out, Samples[i].Right / 256);
            out += 2;
        }
    }
    Output.WriteBuffer(FrameBuffer.data(), static_cast<int32_t>(FrameBuffer.size()));
    ++FrameCount;
    SampleCount = 0;
}

void TLinearPCMAudioEncoder::Append(TSampleTime sampleTime) {
    Samples[SampleCount] = sampleTime;
    SourcePosition += SourceStep;
    if (++SampleCount == SamplesPerFrame)
        WriteFrame();
}

template <typename Convert>
void TLinearPCMAudioEncoder::Resample(int64_t limit, Convert convert) {
    while (SourcePosition < limit)
        Append(convert(SourcePosition >> kSourceFractionBits));
}

void TLinearPCMAudioEncoder::PutSamples(const TMPEGAudioEncoder_Samples& samples) {
    if (!StartSampleBlock(samples, Config.SamplingFrequency, SourceFrequency, SourcePosition, SourceStep))
        throw ELinearPCMAudioEncoderError(MPEGError_IllegalSampleBlockFormat);
    const bool silent = samples.SampleFormat == AudioSampleFormat_None;
    const int64_t limit = int64_t{samples.Count} * kSourceOne;
    if (silent) {
        Resample(limit, [](int64_t) { return TSampleTime{0, 0}; });
    } else if (samples.Data == nullptr) {
        return;
    } else {
        const auto* data = static_cast<const uint8_t*>(samples.Data);
        const bool mono = Channels == 1;
        if (samples.SampleFormat == AudioSampleFormat_8Bit && samples.Channels == 1) {
            Resample(limit, [data](int64_t i) {
                const int32_t x = (data[i] - 128) * 65536;
                return TSampleTime{x, x};
            });
        } else if (samples.SampleFormat == AudioSampleFormat_8Bit) {
            Resample(limit, [data, mono](int64_t i) {
                const int32_t l = data[2 * i], r = data[2 * i + 1];
                return mono ? TSampleTime{(l + r - 256) * 32768, 0} : TSampleTime{(l - 128) * 65536, (r - 128) * 65536};
            });
        } else if (samples.Channels == 1) {
            Resample(limit, [data](int64_t i) {
                const int32_t x = lpcm::ReadSampleLE(data + 2 * i) * 256;
                return TSampleTime{x, x};
            });
        } else {
            Resample(limit, [data, mono](int64_t i) {
                const int32_t l = lpcm::ReadSampleLE(data + 4 * i), r = lpcm::ReadSampleLE(data + 4 * i + 2);
                return mono ? TSampleTime{(l + r) * 128, 0} : TSampleTime{l * 256, r * 256};
            });
        }
    }
    SourcePosition -= limit; // the fraction carries into the next block
}

void TLinearPCMAudioEncoder::EndEncode() {
    if (Finished)
        return;
    Finished = true;
    if (FrameCount == 0 && SampleCount == 0)
        Append(TSampleTime{0, 0}); // the stream holds at least one frame
    if (SampleCount == 0)
        return;
    std::fill(Samples.begin() + SampleCount, Samples.end(), TSampleTime{0, 0});
    WriteFrame();
}

// ---- TLinearPCMAudioEncoder_WaveFileWriterWrapper --------------------------------------------

TLinearPCMAudioEncoder_WaveFileWriterWrapper::TLinearPCMAudioEncoder_WaveFileWriterWrapper(
    TLargeRandomStream& output, const TMPEGAudioEncoder_EncodeConfig& config)
    : Config(config), Output(output) {
    if (Config.StreamType != MPEGAudioEncoder_StreamType_LinearPCM)
        throw EMPEGAudioEncoderError(MPEGError_Layer3NotSupported);
    if (Config.SamplingFrequency <= 0)
        throw EMPEGAudioEncoderError(MPEGError_IllegalSampleFormat);
    Channels = ChannelsOfMode(Config.ChannelMode);
    FrameRate = static_cast<long double>(Config.SamplingFrequency) / SamplesPerFrame;
    Writer = std::make_unique<TWaveFileWriter>(Output);
    Writer->SetFormatSize(PCMFormatSize);
    FillPCMFormat(Writer->GetFormat(), Config.SamplingFrequency, 16, Channels);
}

void TLinearPCMAudioEncoder_WaveFileWriterWrapper::BeginEncode() {
    Writer->WriteHeader();
}

uint8_t TLinearPCMAudioEncoder_WaveFileWriterWrapper::GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) {
    descriptor = {16, 2, 2, 2, 2, 0};
    return descriptor[0];
}

void TLinearPCMAudioEncoder_WaveFileWriterWrapper::PutSamples(const TMPEGAudioEncoder_Samples& samples) {
    if (samples.SampleFormat != AudioSampleFormat_16Bit || samples.SamplingFrequency != Config.SamplingFrequency ||
        samples.Channels != Channels || samples.Count < 0)
        throw EMPEGAudioEncoderError(MPEGError_IllegalSampleBlockFormat);
    if (samples.Data == nullptr || samples.Count == 0)
        return;
    Writer->WriteData(samples.Data, int64_t{samples.Count} * Channels * 2);
    SamplesWritten += samples.Count;
}

} // namespace quillset
