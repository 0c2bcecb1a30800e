#include "encoder/audio/mpeg/mpeg_audio_encoder.h"

#include <algorithm>

#include "encoder/audio/mpeg/layer1_frame_encoder.h"
#include "encoder/audio/mpeg/layer2_frame_encoder.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/framework/sample_stepping.h"

namespace quillset {

namespace {

int16_t ReadLE16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

} // namespace

TMPEGAudioEncoder::TMPEGAudioEncoder(TLargeStream& output, const TMPEGAudioEncoder_EncodeConfig& config)
    : Config(config), Output(output) {
    CheckConfig();
    const bool layer1 = Config.StreamType == MPEGAudioEncoder_StreamType_MPEG1_Layer1;
    SamplesPerFrame = layer1 ? TMPEGAudioFrameEncoder_Layer1::kSamplesPerFrame
                             : TMPEGAudioFrameEncoder_Layer2::kSamplesPerFrame;
    SlotBytes = layer1 ? 4 : 1;
    // S = bit rate / slot bits / (fs / samples per frame), kept as an exact fraction of fs.
    const int64_t slotsTimesFs = int64_t{Config.BitRate} * SamplesPerFrame / (SlotBytes * 8);
    SlotsPerFrame = static_cast<int32_t>(slotsTimesFs / Config.SamplingFrequency);
    PaddingNumerator = slotsTimesFs % Config.SamplingFrequency;
    PaddingAccumulator = -PaddingNumerator;
    FrameRate = static_cast<long double>(Config.SamplingFrequency) / SamplesPerFrame;

    for (auto& buffer : Buffers)
        buffer.assign(static_cast<size_t>(SamplesPerFrame), 0);
    BufferPointers[0] = Buffers[0].data();
    BufferPointers[1] = Buffers[1].data();
    Writer = std::make_unique<TLargeBitStreamWriter>(&Output);
    if (layer1)
        FrameEncoder = std::make_unique<TMPEGAudioFrameEncoder_Layer1>(Setup, *Writer, BufferPointers);
    else
        FrameEncoder = std::make_unique<TMPEGAudioFrameEncoder_Layer2>(Setup, *Writer, BufferPointers);
}

TMPEGAudioEncoder::~TMPEGAudioEncoder() = default;

void TMPEGAudioEncoder::CheckConfig() {
    if (Config.StreamType >= MPEGAudioEncoder_StreamType_MPEG1_Layer3)
        throw EMPEGAudioEncoderError(MPEGError_Layer3NotSupported);
    const int32_t frequencyCode = mpa::SamplingFrequencyCode(Config.SamplingFrequency);
    if (frequencyCode < 0)
        throw EMPEGAudioEncoderError(MPEGError_IllegalSampleFormat);
    if (Config.ChannelMode < 0 || Config.ChannelMode > MPEGAudio_ChannelMode_Mono)
        throw EMPEGAudioEncoderError(MPEGError_InvalidChannelMode);
    const int32_t channels = ChannelsOfMode(Config.ChannelMode);
    int32_t bitRateIndex = 0;
    for (int32_t i = 1; i < GetAudioBitRateListCount(Config.StreamType); ++i)
        if (Config.BitRate > 0 && GetAudioBitRate(Config.StreamType, channels, i, Config.SamplingFrequency) == Config.BitRate)
            bitRateIndex = i;
    if (bitRateIndex == 0)
        throw EMPEGAudioEncoderError(MPEGError_IllegalBitrate);

    Setup.Layer = Config.StreamType == MPEGAudioEncoder_StreamType_MPEG1_Layer1 ? 1 : 2;
    Setup.SamplingFrequency = Config.SamplingFrequency;
    Setup.FrequencyCode = frequencyCode;
    Setup.BitRate = Config.BitRate;
    Setup.BitRateIndex = bitRateIndex;
    Setup.ChannelMode = Config.ChannelMode;
    Setup.Channels = channels;
    Setup.CalcCRC = Config.CalcCRC != 0;
    Setup.Private = Config.PrivateFlag != 0;
    Setup.Copyright = Config.CopyrightFlag != 0;
    Setup.Original = Config.OriginalFlag != 0;
    Setup.Emphasis = Config.EmphasisType & 3;
}

uint8_t TMPEGAudioEncoder::GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) {
    descriptor = {3, 0, 0, 0, 0, 1};
    return descriptor[0];
}

void TMPEGAudioEncoder::EncodeFrame() {
    // Padding keeps the average frame length at S = N + r slots: the accumulator, kept in units
    // of 1 / fs, falls by r every frame and a padded frame lifts it by one slot.
    int32_t padding = 0;
    if (PaddingNumerator != 0 && PaddingAccumulator - PaddingNumerator + Config.SamplingFrequency <= 0)
        padding = 1;
    PaddingAccumulator += -PaddingNumerator + int64_t{padding} * Config.SamplingFrequency;
    FrameEncoder->EncodeFrame(padding, (SlotsPerFrame + padding) * SlotBytes);
    Writer->FlushWords();
    ++FrameCount;
    Fill = 0;
    Notify();
}

void TMPEGAudioEncoder::Append(int32_t left, int32_t right) {
    Buffers[0][Fill] = left;
    Buffers[1][Fill] = right;
    SourcePosition += SourceStep;
    if (++Fill == SamplesPerFrame)
        EncodeFrame();
}

template <typename Convert>
void TMPEGAudioEncoder::Resample(int64_t limit, Convert convert) {
    while (SourcePosition < limit) {
        const auto [left, right] = convert(SourcePosition >> kSourceFractionBits);
        Append(left, right);
    }
}

void TMPEGAudioEncoder::PutSamples(const TMPEGAudioEncoder_Samples& samples) {
    if (!StartSampleBlock(samples, Config.SamplingFrequency, SourceFrequency, SourcePosition, SourceStep))
        throw EMPEGAudioEncoderError(MPEGError_IllegalSampleBlockFormat);
    const bool silent = samples.SampleFormat == AudioSampleFormat_None;
    const int64_t limit = int64_t{samples.Count} * kSourceOne;
    struct Pair {
        int32_t Left, Right;
    };
    if (silent) {
        Resample(limit, [](int64_t) { return Pair{0, 0}; });
    } else if (samples.Data == nullptr) {
        return;
    } else {
        const auto* data = static_cast<const uint8_t*>(samples.Data);
        const bool mono = Setup.Channels == 1;
        if (samples.SampleFormat == AudioSampleFormat_8Bit && samples.Channels == 1) {
            Resample(limit, [data](int64_t i) {
                const int32_t x = (data[i] - 128) * 256;
                return Pair{x, x};
            });
        } else if (samples.SampleFormat == AudioSampleFormat_8Bit) {
            Resample(limit, [data, mono](int64_t i) {
                const int32_t l = data[2 * i], r = data[2 * i + 1];
                return mono ? Pair{(l + r - 256) * 128, 0} : Pair{(l - 128) * 256, (r - 128) * 256};
            });
        } else if (samples.Channels == 1) {
            Resample(limit, [data](int64_t i) {
                const int32_t x = ReadLE16(data + 2 * i);
                return Pair{x, x};
            });
        } else {
            Resample(limit, [data, mono](int64_t i) {
                const int32_t l = ReadLE16(data + 4 * i), r = ReadLE16(data + 4 * i + 2);
                return mono ? Pair{(l + r) / 2, 0} : Pair{l, r};
            });
        }
    }
    SourcePosition -= limit; // the fraction carries into the next block
}

void TMPEGAudioEncoder::EndEncode() {
    if (Finished)
        return;
    Finished = true;
    // The stream holds at least one frame, even without samples.
    if (Fill > 0 || FrameCount == 0) {
        for (auto& buffer : Buffers)
            std::fill(buffer.begin() + Fill, buffer.end(), 0);
        EncodeFrame();
    }
    Writer->Flush();
}

} // namespace quillset
