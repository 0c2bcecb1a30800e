#include "encoder/audio/lpcm/lpcm_decoder.h"

#include <algorithm>
#include <cstring>

#include "encoder/audio/lpcm/byte_order.h"
#include "encoder/framework/mpeg_errors.h"

namespace quillset {

TLinearPCMStreamDecoder::TLinearPCMStreamDecoder() : Input(InputCapacity), Decoded(MaxDecodedSampleTimes) {}

void TLinearPCMStreamDecoder::Feed(const void* data, int32_t count, int32_t& taken) {
    taken = 0;
    if (data == nullptr || count <= 0)
        return;
    if (InputConsumed > 0)
        CompactInput();
    taken = std::min(count, InputCapacity - InputFill);
    std::memcpy(Input.data() + InputFill, data, static_cast<size_t>(taken));
    InputFill += taken;
}

void TLinearPCMStreamDecoder::CompactInput() {
    std::memmove(Input.data(), Input.data() + InputConsumed, static_cast<size_t>(InputFill - InputConsumed));
    InputFill -= InputConsumed;
    InputConsumed = 0;
}

bool TLinearPCMStreamDecoder::TakeHeader() {
    const int32_t available = InputFill - InputConsumed;
    const uint8_t* start = Input.data() + InputConsumed;
    if (available < LPCMHeaderSize) {
        // Reject a stream as soon as its first bytes cannot begin a header.
        const uint8_t tags[8] = {'V', 'D', 'M', 'S', 'L', 'P', 'C', 'M'};
        if (std::memcmp(start, tags, static_cast<size_t>(std::min(available, 8))) != 0)
            throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
        return false;
    }
    if (!IsValidLPCMHeader(start, available))
        throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
    const TLinearPCMHeaderInfo info = ReadLPCMHeader(start);
    if (info.BitsPerSample != 16 || info.Channels > 2)
        throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
    std::memcpy(Header.data(), start, LPCMHeaderSize);
    SamplingFrequency = info.SamplingFrequency;
    Channels = info.Channels;
    BitsPerSample = info.BitsPerSample;
    InputConsumed += LPCMHeaderSize;
    // The rest of a larger header is dropped as it arrives, however long it is.
    HeaderSkip = info.HeaderSize - LPCMHeaderSize;
    HeaderPending = false;
    return true;
}

void TLinearPCMStreamDecoder::SkipHeaderRest() {
    const auto skip = static_cast<int32_t>(std::min<int64_t>(HeaderSkip, InputFill - InputConsumed));
    InputConsumed += skip;
    HeaderSkip -= skip;
}

bool TLinearPCMStreamDecoder::DecodeInput() {
    SkipHeaderRest();
    const int32_t sampleTimeBytes = Channels * 2;
    int32_t count = 0;
    if (HeaderSkip == 0)
        count = std::min((InputFill - InputConsumed) / sampleTimeBytes & ~1, MaxDecodedSampleTimes);
    if (count == 0) {
        CompactInput();
        return false;
    }
    const uint8_t* in = Input.data() + InputConsumed;
    for (int32_t i = 0; i < count; ++i, in += sampleTimeBytes) {
        const int32_t left = lpcm::ReadSampleBE(in) * 256;
        Decoded[i] = {left, Channels == 2 ? lpcm::ReadSampleBE(in + 2) * 256 : left};
    }
    InputConsumed += count * sampleTimeBytes;
    DecodedCount = count;
    DecodedConsumed = 0;
    return true;
}

int32_t TLinearPCMStreamDecoder::Emit(int32_t outputBits, uint8_t* out, int32_t maxSampleTimes) {
    const int32_t n = std::min(maxSampleTimes, DecodedCount - DecodedConsumed);
    for (int32_t i = 0; i < n; ++i) {
        const TSampleTime& sample = Decoded[DecodedConsumed + i];
        const int32_t values[2] = {sample.Left, sample.Right};
        for (int32_t c = 0; c < Channels; ++c) {
            if (outputBits == 0) {
                *out++ = static_cast<uint8_t>(std::clamp(values[c] / 65536 + 128, 0, 255));
            } else {
                lpcm::WriteSampleLE(out, std::clamp(values[c] / 256, -32768, 32767));
                out += 2;
            }
        }
    }
    DecodedConsumed += n;
    return n;
}

void TLinearPCMStreamDecoder::Decode(int32_t outputBits, void* buffer, int32_t& sampleTimes, int32_t bufferSize) {
    sampleTimes = 0;
    if (InputFill == InputConsumed && DecodedConsumed == DecodedCount)
        return;
    if (HeaderPending && !TakeHeader())
        return;
    const int32_t sampleTimeBytes = Channels * (outputBits == 0 ? 1 : 2);
    int32_t room = buffer != nullptr && bufferSize > 0 ? bufferSize / sampleTimeBytes : 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (room > 0) {
        if (DecodedConsumed == DecodedCount && !DecodeInput())
            break;
        const int32_t n = Emit(outputBits, out, room);
        out += n * sampleTimeBytes;
        room -= n;
        sampleTimes += n;
    }
}

} // namespace quillset
