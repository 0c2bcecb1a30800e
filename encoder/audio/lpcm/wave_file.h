// RIFF WAVE files: a reader that finds the "fmt " and "data" chunks of a file from outside, and a
// writer that produces a plain PCM WAVE file and fills in its sizes when it is finished.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/large_stream.h"

namespace quillset {

// "Illegal WAVE file" and "Stream writing error".
class EWaveFileError : public Exception {
public:
    using Exception::Exception;
};

extern const char* const SIllegalWaveFile; // "Illegal WAVE file"

// WAVE_FORMAT_PCM.
constexpr uint16_t WaveFormatTag_PCM = 1;
// The PCM format the writer stores: WAVEFORMATEX with no extra bytes.
constexpr int32_t PCMFormatSize = 18;
// The fields of a PCM format record that readers rely on (WAVEFORMAT plus the bit depth).
constexpr int32_t PCMFormatFieldsSize = 16;

// The fields of a PCM "fmt " chunk.
struct TWavePCMFormat {
    uint16_t FormatTag = 0;
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
};

// Fills an 18-byte PCM format: tag 1, channels, samples per second, average bytes per second
// (block align × samples per second), block align (channels × (bits div 8)), bits per sample,
// no extra bytes.
void FillPCMFormat(uint8_t* format, int32_t samplesPerSecond, int32_t bitsPerSample, int32_t channels);

// Parses a WAVE file on construction and reads its sample data on demand.
//
// The file starts at the stream's current position. Chunks are walked one after another (an odd
// size is followed by a pad byte); "fmt " and "data" are kept, every other chunk is skipped, and
// the walk ends at a chunk identifier of 0 or at the end of the stream. A data chunk that runs
// past the end of the stream (a truncated file) is taken as far as the bytes go. A format body
// longer than a WAVEFORMATEX can be (18 + 65535 bytes) is cut to that length.
// Raises EWaveFileError "Illegal WAVE file" when the stream does not start with "RIFF" .. "WAVE"
// or holds no format or no sample data.
//
// The stream is not owned and must outlive the reader; the reader expects to be the only one
// moving the stream's position between its calls.
class TWaveFileReader {
public:
    explicit TWaveFileReader(TLargeStream& stream);

    // Reads up to count bytes of the data chunk from offset on; returns the bytes read, 0 for
    // offset < 0, offset >= DataSize or count <= 0.
    int32_t ReadData(void* buffer, int32_t count, int64_t offset);

    const uint8_t* GetFormat() const { return Format.data(); }
    int32_t GetFormatSize() const { return FormatSize; }
    int64_t GetDataStart() const { return DataStart; }
    int64_t GetDataSize() const { return DataSize; }

    // The PCM fields of the format; false (and format untouched) when the format chunk is too
    // short to hold them.
    bool GetPCMFormat(TWavePCMFormat& format) const;

private:
    void ReadChunks(int64_t position, int64_t streamSize);
    void ReadFormatChunk(int64_t bodyStart, uint32_t size, int64_t streamSize);

    TLargeStream& Stream;
    std::vector<uint8_t> Format;
    int32_t FormatSize = 0;
    int64_t DataStart = 0;
    int64_t DataSize = 0;
    int64_t StreamPosition = -1; // where the stream stands after the last ReadData, -1: unknown
};

// Writes a RIFF WAVE file: header, one "fmt " chunk, one "data" chunk.
//
// Usage: SetFormatSize, fill GetFormat (FillPCMFormat for PCM), WriteHeader, WriteData as often as
// needed, Finish. Until Finish the RIFF and data sizes in the file are 0. Destroying a writer whose
// header was written finishes the file (errors ignored there). The stream is not owned; it must
// allow seeking back to the header.
class TWaveFileWriter {
public:
    explicit TWaveFileWriter(TLargeStream& stream);
    ~TWaveFileWriter();
    TWaveFileWriter(const TWaveFileWriter&) = delete;
    TWaveFileWriter& operator=(const TWaveFileWriter&) = delete;

    // Sizes the format buffer (zero-filled) to n bytes, which the caller then fills.
    void SetFormatSize(int32_t n);
    uint8_t* GetFormat() { return Format.data(); }
    int32_t GetFormatSize() const { return FormatSize; }

    // Writes the RIFF header placeholder, the "fmt " chunk and the "data" chunk header; once.
    void WriteHeader();
    // Appends count bytes of sample data. All of them are written, or none when the header is not
    // written yet or the RIFF size would no longer fit in 32 bits. When fewer than count bytes
    // are written the file is finished and EWaveFileError "Stream writing error" is raised.
    void WriteData(const void* data, int64_t count);
    // Writes the data and RIFF sizes and the pad byte of an odd data size, then moves to the end.
    void Finish();

    bool GetHeaderWritten() const { return HeaderWritten; }
    int64_t GetDataSize() const { return DataSize; }
    int64_t GetHeaderSize() const { return HeaderSize; }

private:
    int64_t WritePieces(const uint8_t* data, int64_t count);

    TLargeStream& Stream;
    std::vector<uint8_t> Format;
    int32_t FormatSize = 0;
    int64_t RiffStart = 0;
    int64_t DataHeaderPos = 0;
    int64_t HeaderSize = 0; // bytes from RiffStart to the first sample
    int64_t DataStart = 0;
    int64_t DataSize = 0;
    bool HeaderWritten = false;
};

} // namespace quillset
