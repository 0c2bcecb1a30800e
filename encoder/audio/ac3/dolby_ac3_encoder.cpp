#include "encoder/audio/ac3/dolby_ac3_encoder.h"

#include <algorithm>
#include <cfenv>

#include "encoder/audio/ac3/ac3_library.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/framework/sample_stepping.h"

namespace quillset {

namespace {

constexpr int32_t kFrequencies[3] = {48000, 44100, 32000}; // by frequency code
constexpr int32_t kModes[3] = {MPEGAudio_ChannelMode_DualChannel, MPEGAudio_ChannelMode_Mono,
                               MPEGAudio_ChannelMode_Stereo}; // by audio coding mode

const char* const SAC3InUse =
    "Dolby Digital (AC-3) encoder is already in use.\r\rOnly single Dolby Digital (AC-3) can be used at a time.";
const char* const SAC3CannotInitialize = "Could not initialize Dolby Digital (AC-3) encoder.";

// The two binding errors carry a message of their own rather than one of the code table's
// (their ErrorCode is 0).
class EDolbyAC3BindingError : public EDolbyAC3AudioEncoderError {
public:
    explicit EDolbyAC3BindingError(const char* message) : EDolbyAC3AudioEncoderError(0u), Text(message) {}
    const char* what() const noexcept override { return Text.c_str(); }

private:
    std::string Text;
};

int32_t ReadLE16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

// The library may leave the floating-point environment changed; both sides start from the
// default one.
class TFloatingPointReset {
public:
    TFloatingPointReset() { std::fesetenv(FE_DFL_ENV); }
    ~TFloatingPointReset() { std::fesetenv(FE_DFL_ENV); }
};

} // namespace

TDolbyAC3AudioEncoder::TDolbyAC3AudioEncoder(TLargeStream& output, const std::string& libraryFileName,
                                             const TMPEGAudioEncoder_EncodeConfig& config)
    : Config(config), Output(output), LibraryFileName(libraryFileName) {
    CheckConfig();
    // Everything that may fail comes before the library is claimed, which only the destructor
    // gives back.
    Samples.assign(static_cast<size_t>(SamplesPerFrame) * Slots, 0.0);
    SetChannelSlots();
    FrameRate = static_cast<long double>(Config.SamplingFrequency) / SamplesPerFrame;
    if (LibraryFileName.empty())
        LibraryFileName = GetAC3LibraryFileName();
    switch (ClaimAC3Encoder(LibraryFileName)) {
    case TAC3EncoderClaim::InUse: throw EDolbyAC3BindingError(SAC3InUse);
    case TAC3EncoderClaim::LibraryMissing: throw EDolbyAC3BindingError(SAC3CannotInitialize);
    case TAC3EncoderClaim::Granted: HoldsLibrary = true; break;
    }
    Entry = AC3LibraryEntry(); // stays valid while this encoder holds the library
    {
        TFloatingPointReset reset;
        TAC3SubReply reply{};
        Entry(TAC3SubRequest{AC3Sub_Command_Initialize, 0, nullptr, 0}, &reply);
    }
}

TDolbyAC3AudioEncoder::~TDolbyAC3AudioEncoder() {
    if (HoldsLibrary)
        ReturnAC3Encoder();
}

void TDolbyAC3AudioEncoder::CheckConfig() {
    constexpr uint8_t kType = MPEGAudioEncoder_StreamType_Dolby_AC3;
    if (Config.StreamType != kType)
        throw EDolbyAC3AudioEncoderError(MPEGError_Layer3NotSupported);
    if (!IsAllowedFrequency(kType, Config.SamplingFrequency))
        throw EDolbyAC3AudioEncoderError(MPEGError_IllegalSampleFormat);
    const int32_t* mode = std::find(std::begin(kModes), std::end(kModes), Config.ChannelMode);
    if (mode == std::end(kModes))
        throw EDolbyAC3AudioEncoderError(MPEGError_InvalidChannelMode);
    ACMode = static_cast<int32_t>(mode - std::begin(kModes));
    Channels = ChannelsOfMode(Config.ChannelMode);
    BitRateCode = -1;
    for (int32_t index = 0; index < GetAudioBitRateListCount(kType); ++index)
        if (Config.BitRate > 0 && GetAudioBitRate(kType, Channels, index, Config.SamplingFrequency) == Config.BitRate)
            BitRateCode = index;
    if (BitRateCode < 0)
        throw EDolbyAC3AudioEncoderError(MPEGError_IllegalBitrate);
    FrequencyCode = static_cast<int32_t>(std::find(std::begin(kFrequencies), std::end(kFrequencies),
                                                   Config.SamplingFrequency) -
                                         std::begin(kFrequencies));
}

// Two channels: slot 0 (left) takes column 0, slot 2 (right) column 1, the others column 0. One
// channel: every slot takes column 0.
void TDolbyAC3AudioEncoder::SetChannelSlots() {
    for (int32_t slot = 0; slot < Slots; ++slot) {
        SlotColumns[slot] = Channels == 2 && slot == 2 ? 1 : 0;
        SlotAddresses[slot] = Samples.data() + SlotColumns[slot];
        Strides[slot] = Slots;
        Offsets[slot] = 0;
    }
}

uint16_t TDolbyAC3AudioEncoder::GetCodingWord() const {
    return static_cast<uint16_t>(FrequencyCode * 4096 + Flags[0] * 2048 + Flags[1] * 1024 + ACMode);
}

uint8_t TDolbyAC3AudioEncoder::GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) {
    descriptor = {8, 2, 2, 2, 2, 0};
    return descriptor[0];
}

// At 44.1 kHz a frame of 1536 samples holds a fractional number of words; frames take one word
// more whenever the words owed since the start reach a whole one (A/52 frmsizecod odd).
uint16_t TDolbyAC3AudioEncoder::NextFrameSizeCode() {
    uint16_t code = static_cast<uint16_t>(2 * BitRateCode * 256);
    if (Config.SamplingFrequency == 44100) {
        // Words per frame = BitRate × 1536 / (44100 × 16) = BitRate × 96 / 44100.
        ExtraWordRemainder += (int64_t{Config.BitRate} * 96) % 44100;
        if (ExtraWordRemainder >= 44100) {
            ExtraWordRemainder -= 44100;
            code += 1;
        }
    }
    return code;
}

void TDolbyAC3AudioEncoder::EncodeFrame() {
    OutputBuffer.fill(0);
    TAC3SubEncodeParameters block{};
    block.Count = AC3Sub_ParameterCount;
    block.ChannelInputs = SlotAddresses.data();
    block.Strides = Strides.data();
    block.Offsets = Offsets.data();
    block.CodingWord = GetCodingWord();
    block.Output = OutputBuffer.data();
    block.FrameSizeCode = NextFrameSizeCode();
    TAC3SubReply reply{};
    {
        TFloatingPointReset reset;
        Entry(TAC3SubRequest{AC3Sub_Command_EncodeFrame, 0, &block, RequestValue}, &reply);
    }
    // A count beyond the buffer would read past it: no more than the buffer holds is written.
    const int32_t words = reply.Status != nullptr
                              ? std::min<int32_t>(reply.Status->WordCount, static_cast<int32_t>(OutputBuffer.size()))
                              : 0;
    if (words > 0) {
        uint8_t bytes[OutputBufferBytes];
        for (int32_t i = 0; i < words; ++i) {
            bytes[2 * i] = static_cast<uint8_t>(OutputBuffer[i] >> 8);
            bytes[2 * i + 1] = static_cast<uint8_t>(OutputBuffer[i]);
        }
        Output.WriteBuffer(bytes, 2 * words);
    }
    ++FrameCount;
    SampleCount = 0;
}

void TDolbyAC3AudioEncoder::Append(double left, double right) {
    double* time = Samples.data() + static_cast<size_t>(SampleCount) * Slots;
    time[0] = left;
    time[1] = right;
    SourcePosition += SourceStep;
    if (++SampleCount == SamplesPerFrame)
        EncodeFrame();
}

template <typename Convert>
void TDolbyAC3AudioEncoder::Resample(int64_t limit, Convert convert) {
    while (SourcePosition < limit)
        convert(SourcePosition >> kSourceFractionBits);
}

void TDolbyAC3AudioEncoder::PutSamples(const TMPEGAudioEncoder_Samples& samples) {
    if (!StartSampleBlock(samples, Config.SamplingFrequency, SourceFrequency, SourcePosition, SourceStep))
        throw EDolbyAC3AudioEncoderError(MPEGError_IllegalSampleBlockFormat);
    const bool silent = samples.SampleFormat == AudioSampleFormat_None;
    const int64_t limit = int64_t{samples.Count} * kSourceOne;
    const auto* d = static_cast<const uint8_t*>(samples.Data);
    const bool mono = Channels == 1;
    if (silent) {
        Resample(limit, [this](int64_t) { Append(0.0, 0.0); });
    } else if (d == nullptr) {
        return;
    } else if (samples.SampleFormat == AudioSampleFormat_8Bit && samples.Channels == 1) {
        Resample(limit, [this, d](int64_t i) {
            const double x = (d[i] - 128) / 128.0;
            Append(x, x);
        });
    } else if (samples.SampleFormat == AudioSampleFormat_8Bit) {
        Resample(limit, [this, d, mono](int64_t i) {
            const int32_t l = d[2 * i], r = d[2 * i + 1];
            if (mono)
                Append((l + r - 256) / 256.0, 0.0);
            else
                Append((l - 128) / 128.0, (r - 128) / 128.0);
        });
    } else if (samples.Channels == 1) {
        Resample(limit, [this, d](int64_t i) {
            const double x = ReadLE16(d + 2 * i) / 32768.0;
            Append(x, x);
        });
    } else {
        Resample(limit, [this, d, mono](int64_t i) {
            const int32_t l = ReadLE16(d + 4 * i), r = ReadLE16(d + 4 * i + 2);
            if (mono)
                Append((l + r) / 65536.0, 0.0);
            else
                Append(l / 32768.0, r / 32768.0);
        });
    }
    SourcePosition -= limit; // the fraction carries into the next block
}

void TDolbyAC3AudioEncoder::EndEncode() {
    if (Finished)
        return;
    Finished = true;
    if (FrameCount == 0 && SampleCount == 0)
        Append(0.0, 0.0); // the stream holds at least one frame
    if (SampleCount == 0)
        return;
    std::fill(Samples.begin() + static_cast<std::ptrdiff_t>(SampleCount) * Slots, Samples.end(), 0.0);
    EncodeFrame();
}

} // namespace quillset
