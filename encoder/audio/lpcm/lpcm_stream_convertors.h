// Streams that convert between WAVE files and the private Linear PCM stream: a read-only view of a
// WAVE source as a private stream, and a write-only stream that turns a private stream into a
// WAVE file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "encoder/audio/lpcm/lpcm_header.h"
#include "encoder/audio/lpcm/wave_file.h"
#include "stream/large_stream.h"

namespace quillset {

// The private LPCM stream of a PCM WAVE file (8 or 16 bits, 1 or 2 channels, 48 kHz), computed
// chunk by chunk as it is read: the header, then the samples as 16-bit big-endian words, padded
// with silence to a whole number of frames. Seeking is free; writing is refused (returns 0).
//
// Raises, on construction, EWaveFileError for a file that is not a WAVE file, and
// ELinearPCMAudioEncoderError with MPEGError_IllegalLinearPCMStream (not PCM, not 8 or 16 bits),
// MPEGError_IllegalSampleFormat (frequency) or MPEGError_InvalidChannelMode (no channels or more
// than 2). Source is not owned and must outlive the convertor.
class TWaveFileToLinearPCMStreamConvertor : public TLargeRandomStream {
public:
    explicit TWaveFileToLinearPCMStreamConvertor(TLargeStream& source);

    int64_t GetSize() override { return Size; }
    // Reports the wrapped stream's position and size, so that progress follows the source file.
    void GetPositionAndSize(int64_t& position, int64_t& size) override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void*, int32_t) override { return 0; }
    // Clamps to 0 .. Size.
    int64_t Seek(int64_t offset, uint16_t origin) override;

    int32_t GetSamplingFrequency() const { return SamplingFrequency; }
    int32_t GetChannels() const { return Channels; }

private:
    void CheckFormat();
    void LoadChunk(int64_t chunk);

    TLargeStream& Source;
    std::unique_ptr<TWaveFileReader> Reader;
    int32_t SamplingFrequency = 0;
    int32_t Channels = 0;
    int32_t InputBits = 0;
    int32_t BitsPerSample = 16;
    int32_t SamplesPerFrame = 0;
    int32_t FrameBytes = 0;
    int32_t ChunkSamples = 0;
    int32_t InChunkBytes = 0;
    int32_t OutChunkBytes = 0;
    TLinearPCMHeader Header{};
    std::vector<uint8_t> InBuffer;
    std::vector<uint8_t> OutBuffer;
    int64_t CachedChunkOffset = -1;
    int64_t Position = 0;
    int64_t Size = 0;
};

// Accepts a private LPCM stream (16 bits, 1 or 2 channels) and writes it as a WAVE file on Output.
// A sequential, write-only stream: Read returns 0, Seek returns -1, GetSize is the number of bytes
// accepted. The WAVE file is complete after Finish, at the latest when the convertor is destroyed.
//
// A header that is not a valid private header, or that announces other than 16 bits or more
// than 2 channels, raises EMPEGSystemEncoderError with MPEGError_IllegalLinearPCMStream, on that
// write and on every later one. Header bytes beyond the first 20 (a larger header size) are
// skipped as they arrive. Output is not owned and must outlive the convertor.
class TLinearPCMStreamToWaveFileConvertor : public TLargeStream {
public:
    explicit TLinearPCMStreamToWaveFileConvertor(TLargeStream& output);
    // Finishes the file unless Finish did; errors are ignored here.
    ~TLinearPCMStreamToWaveFileConvertor() override;

    int64_t GetSize() override { return BytesWritten; }
    // Reports the output stream's position and size.
    void GetPositionAndSize(int64_t& position, int64_t& size) override;
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t, uint16_t) override { return -1; }

    // Converts what is left and completes the WAVE file; errors are raised. Later writes are
    // refused (return 0).
    void Finish();

private:
    void Process();
    void ProcessHeader();
    void ConvertSamples();
    [[noreturn]] void Fail();

    TLargeStream& Output;
    std::unique_ptr<TWaveFileWriter> Writer;
    int32_t SamplingFrequency = 0;
    int32_t Channels = 0;
    int32_t BitsPerSample = 0;
    int32_t SamplesPerFrame = 0;
    std::vector<uint8_t> InBuffer;
    int32_t InFill = 0;
    int32_t InCapacity = 0;
    int64_t HeaderSkip = 0; // header bytes still to drop from the input
    bool HeaderPending = true;
    bool Finishing = false;
    bool Failed = false;
    bool Finished = false;
    std::vector<uint8_t> OutBuffer;
    int64_t BytesWritten = 0;
};

} // namespace quillset
