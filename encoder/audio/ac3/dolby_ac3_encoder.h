// The AC-3 (Dolby Digital) audio encoder: converts and resamples the encode run's sample blocks
// into frames of 1536 sample times of double-precision values, hands each frame to the AC-3
// encoder library (see ac3_library.h) and writes the syncframes it returns.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "encoder/framework/base_encoder.h"
#include "plugins/ac3sube/ac3sube.h"
#include "stream/large_stream.h"

namespace quillset {

// Configuration errors raise EDolbyAC3AudioEncoderError with MPEGError_Layer3NotSupported (not
// an AC-3 stream type), MPEGError_IllegalSampleFormat (a frequency other than 48000 and 32000),
// MPEGError_InvalidChannelMode (a mode other than stereo, dual channel and mono) and
// MPEGError_IllegalBitrate (a rate not in the AC-3 list for the channel count), in that order.
// Then, while another AC-3 encoder exists: "Dolby Digital (AC-3) encoder is already in use.
// \r\rOnly single Dolby Digital (AC-3) can be used at a time."; when the library cannot be
// loaded: "Could not initialize Dolby Digital (AC-3) encoder.". A sample block that cannot be
// read raises MPEGError_IllegalSampleBlockFormat.
// Output is not owned and must outlive the encoder.
class TDolbyAC3AudioEncoder : public TMPEGBaseAudioEncoder {
public:
    static constexpr int32_t SamplesPerFrame = 1536;
    static constexpr int32_t Slots = 6;
    static constexpr int32_t OutputBufferBytes = 3840;

    // libraryFileName: the library to load; empty means the process-wide name.
    TDolbyAC3AudioEncoder(TLargeStream& output, const std::string& libraryFileName,
                          const TMPEGAudioEncoder_EncodeConfig& config);
    // Gives the library back when this encoder holds it.
    ~TDolbyAC3AudioEncoder() override;

    void BeginEncode() override {}
    // Encodes the pending sample times padded with silence to a whole frame; an encoder that was
    // given no samples writes one silent frame. Only the first call acts.
    void EndEncode() override;
    void GetConfig(TMPEGAudioEncoder_EncodeConfig& config) override { config = Config; }
    int32_t GetFrameCount() override { return FrameCount; }
    long double GetFrameRate() override { return FrameRate; }
    uint8_t GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) override;
    void PutSamples(const TMPEGAudioEncoder_Samples& samples) override;

    const std::string& GetLibraryFileName() const { return LibraryFileName; }
    int32_t GetChannels() const { return Channels; }
    // 0 dual mono (1+1), 1 mono (1/0), 2 stereo (2/0): the A/52 audio coding mode.
    int32_t GetACMode() const { return ACMode; }
    int32_t GetBitRateCode() const { return BitRateCode; }
    int32_t GetFrequencyCode() const { return FrequencyCode; }
    // The coding word sent with every frame: FrequencyCode × 4096 + ACMode.
    uint16_t GetCodingWord() const;
    // The 22.10 fixed-point step of the latest block's frequency (0 before the first block).
    int32_t GetSourceStep() const { return SourceStep; }

private:
    void CheckConfig();
    void SetChannelSlots();
    void Append(double left, double right);
    template <typename Convert>
    void Resample(int64_t limit, Convert convert);
    uint16_t NextFrameSizeCode();
    void EncodeFrame();

    TMPEGAudioEncoder_EncodeConfig Config;
    TLargeStream& Output;
    std::string LibraryFileName;
    bool HoldsLibrary = false;
    TAC3SubEntry Entry = nullptr;
    int32_t FrameCount = 0;
    int32_t Channels = 2;
    long double FrameRate = 0;
    // Slot s reads column SlotColumns[s] of Samples, from SlotAddresses[s] on.
    std::array<int32_t, Slots> SlotColumns{};
    std::array<const double*, Slots> SlotAddresses{};
    std::array<uint16_t, Slots> Strides{};
    std::array<uint16_t, Slots> Offsets{};
    int32_t ACMode = 2;
    int32_t BitRateCode = 0;
    int32_t FrequencyCode = 0;
    uint8_t Flags[2] = {0, 0};
    uint16_t RequestValue = 0;
    std::vector<double> Samples; // SamplesPerFrame sample times of Slots values
    int32_t SampleCount = 0;
    int64_t SourcePosition = 0; // 22.10 fixed point, as the Linear PCM encoder keeps it
    int32_t SourceStep = 0;
    int32_t SourceFrequency = 0;
    int64_t ExtraWordRemainder = 0; // 44.1 kHz: when frames take one word more
    std::array<uint16_t, OutputBufferBytes / 2> OutputBuffer{};
    bool Finished = false;
};

} // namespace quillset
