// Decodes the private Linear PCM stream for playback: bytes go in with Feed, interleaved 8-bit
// unsigned or 16-bit signed little-endian samples come out of Decode.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "encoder/audio/lpcm/lpcm_header.h"

namespace quillset {

class TLinearPCMStreamDecoder {
public:
    static constexpr int32_t InputCapacity = 65536;
    static constexpr int32_t MaxDecodedSampleTimes = 16384;

    TLinearPCMStreamDecoder();

    // Takes as many of count bytes as the input buffer has room for; taken tells how many.
    void Feed(const void* data, int32_t count, int32_t& taken);

    // Writes up to bufferSize bytes of whole sample times into buffer: outputBits 0 gives 8-bit
    // unsigned samples (128 is zero), 1 (or any other value) 16-bit signed little-endian ones, with
    // the stream's channel count interleaved. sampleTimes tells how many sample times were written (0 while
    // the header has not fully arrived or no whole sample pair is left).
    // Raises EMPEGSystemEncoderError with MPEGError_IllegalLinearPCMStream for a header that is
    // not a valid private header or announces other than 16 bits or more than 2 channels.
    void Decode(int32_t outputBits, void* buffer, int32_t& sampleTimes, int32_t bufferSize);

    // Known once the header has been taken.
    bool GetHeaderPending() const { return HeaderPending; }
    int32_t GetSamplingFrequency() const { return SamplingFrequency; }
    int32_t GetChannels() const { return Channels; }
    int32_t GetBitsPerSample() const { return BitsPerSample; }

private:
    struct TSampleTime {
        int32_t Left;
        int32_t Right;
    };

    bool TakeHeader();
    void SkipHeaderRest();
    bool DecodeInput();
    int32_t Emit(int32_t outputBits, uint8_t* out, int32_t maxSampleTimes);
    void CompactInput();

    int32_t SamplingFrequency = 0;
    int32_t Channels = 0;
    int32_t BitsPerSample = 0;
    TLinearPCMHeader Header{};
    bool HeaderPending = true;
    int64_t HeaderSkip = 0; // header bytes beyond the first 20 still to drop
    std::vector<uint8_t> Input;
    int32_t InputFill = 0;
    int32_t InputConsumed = 0;
    std::vector<TSampleTime> Decoded;
    int32_t DecodedCount = 0;
    int32_t DecodedConsumed = 0;
};

} // namespace quillset
