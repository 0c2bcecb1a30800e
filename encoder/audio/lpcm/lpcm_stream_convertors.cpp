#include "encoder/audio/lpcm/lpcm_stream_convertors.h"

#include <algorithm>
#include <cstring>

#include "encoder/audio/lpcm/byte_order.h"
#include "encoder/framework/audio_types.h"
#include "encoder/framework/mpeg_errors.h"

namespace quillset {

namespace {

// Sample times converted at a time: 256 frames.
constexpr int32_t kFramesPerChunk = 256;
// The first input buffer of the LPCM-to-WAVE direction: enough for any header that is not
// extended beyond its 20 bytes, small enough for short streams.
constexpr int32_t kFirstInputSize = 1024;

} // namespace

// ---- TWaveFileToLinearPCMStreamConvertor -----------------------------------------------------

TWaveFileToLinearPCMStreamConvertor::TWaveFileToLinearPCMStreamConvertor(TLargeStream& source)
    : Source(source), Reader(std::make_unique<TWaveFileReader>(source)) {
    CheckFormat();
    SamplesPerFrame = SamplingFrequency / LPCMFramesPerSecond;
    FrameBytes = SamplesPerFrame * Channels * 2;
    ChunkSamples = SamplesPerFrame * kFramesPerChunk;
    InChunkBytes = ChunkSamples * Channels * (InputBits / 8);
    OutChunkBytes = ChunkSamples * Channels * 2;
    TLinearPCMHeaderInfo info;
    info.BitsPerSample = BitsPerSample;
    info.SamplingFrequency = SamplingFrequency;
    info.Channels = Channels;
    Header = BuildLPCMHeader(info);
    // DataSize is at most 2^32 - 1 and OutChunkBytes below 2^18: the product fits.
    const int64_t sampleBytes = Reader->GetDataSize() * OutChunkBytes / InChunkBytes;
    Size = LPCMHeaderSize + (sampleBytes + FrameBytes - 1) / FrameBytes * FrameBytes;
    InBuffer.assign(static_cast<size_t>(InChunkBytes), 0);
    OutBuffer.assign(static_cast<size_t>(OutChunkBytes), 0);
}

void TWaveFileToLinearPCMStreamConvertor::CheckFormat() {
    TWavePCMFormat format;
    if (!Reader->GetPCMFormat(format) || format.FormatTag != WaveFormatTag_PCM ||
        (format.BitsPerSample != 8 && format.BitsPerSample != 16))
        throw ELinearPCMAudioEncoderError(MPEGError_IllegalLinearPCMStream);
    if (format.SamplesPerSec > 0x7FFFFFFFu ||
        !IsAllowedFrequency(MPEGAudioEncoder_StreamType_LinearPCM, static_cast<int32_t>(format.SamplesPerSec)))
        throw ELinearPCMAudioEncoderError(MPEGError_IllegalSampleFormat);
    if (format.Channels < 1 || format.Channels > 2)
        throw ELinearPCMAudioEncoderError(MPEGError_InvalidChannelMode);
    SamplingFrequency = static_cast<int32_t>(format.SamplesPerSec);
    Channels = format.Channels;
    InputBits = format.BitsPerSample;
}

void TWaveFileToLinearPCMStreamConvertor::GetPositionAndSize(int64_t& position, int64_t& size) {
    Source.GetPositionAndSize(position, size);
}

void TWaveFileToLinearPCMStreamConvertor::LoadChunk(int64_t chunk) {
    const int32_t got = Reader->ReadData(InBuffer.data(), InChunkBytes, chunk * InChunkBytes);
    const int32_t inSampleBytes = InputBits / 8;
    // Whole sample times only; a partial one at the end of the data becomes silence.
    const int32_t values = got / (Channels * inSampleBytes) * Channels;
    const uint8_t* in = InBuffer.data();
    uint8_t* out = OutBuffer.data();
    if (inSampleBytes == 1) {
        for (int32_t i = 0; i < values; ++i)
            lpcm::WriteSampleBE(out + 2 * i, (in[i] - 128) * 256);
    } else {
        for (int32_t i = 0; i < values; ++i)
            lpcm::WriteSampleBE(out + 2 * i, lpcm::ReadSampleLE(in + 2 * i));
    }
    std::fill(OutBuffer.begin() + 2 * values, OutBuffer.end(), 0);
    CachedChunkOffset = chunk * OutChunkBytes;
}

int32_t TWaveFileToLinearPCMStreamConvertor::Read(void* buffer, int32_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count && Position < Size) {
        int64_t n;
        if (Position < LPCMHeaderSize) {
            n = std::min<int64_t>(LPCMHeaderSize - Position, count - done);
            std::memcpy(out + done, Header.data() + Position, static_cast<size_t>(n));
        } else {
            const int64_t sampleOffset = Position - LPCMHeaderSize;
            const int64_t chunkOffset = sampleOffset / OutChunkBytes * OutChunkBytes;
            if (chunkOffset != CachedChunkOffset)
                LoadChunk(chunkOffset / OutChunkBytes);
            const int64_t within = sampleOffset - chunkOffset;
            n = std::min({int64_t{count - done}, OutChunkBytes - within, Size - Position});
            std::memcpy(out + done, OutBuffer.data() + within, static_cast<size_t>(n));
        }
        done += static_cast<int32_t>(n);
        Position += n;
    }
    return done;
}

int64_t TWaveFileToLinearPCMStreamConvertor::Seek(int64_t offset, uint16_t origin) {
    Position = ClampPosition(SeekTarget(offset, origin, Position, Size), Size);
    return Position;
}

// ---- TLinearPCMStreamToWaveFileConvertor -----------------------------------------------------

TLinearPCMStreamToWaveFileConvertor::TLinearPCMStreamToWaveFileConvertor(TLargeStream& output)
    : Output(output), InBuffer(kFirstInputSize), InCapacity(kFirstInputSize) {}

TLinearPCMStreamToWaveFileConvertor::~TLinearPCMStreamToWaveFileConvertor() {
    try {
        Finish();
    } catch (...) {
        // A destructor cannot report; callers that need the outcome call Finish themselves.
    }
}

void TLinearPCMStreamToWaveFileConvertor::GetPositionAndSize(int64_t& position, int64_t& size) {
    Output.GetPositionAndSize(position, size);
}

void TLinearPCMStreamToWaveFileConvertor::Fail() {
    Failed = true;
    throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
}

int32_t TLinearPCMStreamToWaveFileConvertor::Write(const void* buffer, int32_t count) {
    if (count <= 0 || Finished)
        return 0;
    if (Failed)
        Fail();
    const auto* in = static_cast<const uint8_t*>(buffer);
    int32_t left = count;
    while (left > 0) {
        if (!HeaderPending && HeaderSkip > 0) {
            const auto skip = static_cast<int32_t>(std::min<int64_t>(HeaderSkip, left));
            HeaderSkip -= skip;
            in += skip;
            left -= skip;
            continue;
        }
        const int32_t n = std::min(InCapacity - InFill, left);
        std::memcpy(InBuffer.data() + InFill, in, static_cast<size_t>(n));
        InFill += n;
        in += n;
        left -= n;
        if (InFill == InCapacity)
            Process();
    }
    BytesWritten += count;
    return count;
}

void TLinearPCMStreamToWaveFileConvertor::Process() {
    if (HeaderPending) {
        ProcessHeader();
        if (!Finishing)
            return;
    }
    ConvertSamples();
}

void TLinearPCMStreamToWaveFileConvertor::ProcessHeader() {
    HeaderPending = false;
    if (!IsValidLPCMHeader(InBuffer.data(), InFill))
        Fail();
    const TLinearPCMHeaderInfo info = ReadLPCMHeader(InBuffer.data());
    if (info.BitsPerSample != 16 || info.Channels > 2)
        Fail();
    // A header larger than what has arrived is dropped as the rest of it comes in.
    const int32_t drop = std::min(info.HeaderSize, InFill);
    std::memmove(InBuffer.data(), InBuffer.data() + drop, static_cast<size_t>(InFill - drop));
    InFill -= drop;
    HeaderSkip = info.HeaderSize - drop;
    SamplingFrequency = info.SamplingFrequency;
    Channels = info.Channels;
    BitsPerSample = info.BitsPerSample;
    SamplesPerFrame = SamplingFrequency / LPCMFramesPerSecond;
    Writer = std::make_unique<TWaveFileWriter>(Output);
    Writer->SetFormatSize(PCMFormatSize);
    FillPCMFormat(Writer->GetFormat(), SamplingFrequency, BitsPerSample, Channels);
    Writer->WriteHeader();
    InCapacity = SamplesPerFrame * kFramesPerChunk * Channels * 2;
    InBuffer.resize(static_cast<size_t>(InCapacity));
    OutBuffer.resize(static_cast<size_t>(InCapacity));
}

void TLinearPCMStreamToWaveFileConvertor::ConvertSamples() {
    const int32_t sampleTimeBytes = Channels * 2;
    int32_t sampleTimes = InFill / sampleTimeBytes;
    // Sample times go in pairs while the stream runs; at its end a last odd one is kept too.
    if (!Finishing)
        sampleTimes &= ~1;
    const int32_t bytes = sampleTimes * sampleTimeBytes;
    for (int32_t i = 0; i < bytes; i += 2)
        lpcm::WriteSampleLE(OutBuffer.data() + i, lpcm::ReadSampleBE(InBuffer.data() + i));
    std::memmove(InBuffer.data(), InBuffer.data() + bytes, static_cast<size_t>(InFill - bytes));
    InFill -= bytes;
    Writer->WriteData(OutBuffer.data(), bytes);
}

void TLinearPCMStreamToWaveFileConvertor::Finish() {
    if (Finished)
        return;
    Finished = true;
    Finishing = true;
    // Nothing at all was written: there is no stream to turn into a file.
    if (!Failed && !(HeaderPending && InFill == 0))
        Process();
    if (Writer != nullptr) {
        Writer->Finish();
        Writer.reset();
    }
}

} // namespace quillset
