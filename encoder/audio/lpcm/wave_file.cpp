#include "encoder/audio/lpcm/wave_file.h"

#include <algorithm>
#include <cstring>

#include "encoder/audio/lpcm/byte_order.h"

namespace quillset {

using lpcm::ReadLE16;
using lpcm::ReadLE32;
using lpcm::WriteLE16;
using lpcm::WriteLE32;

const char* const SIllegalWaveFile = "Illegal WAVE file";

namespace {

constexpr int32_t kRiffHeaderSize = 12;
constexpr int32_t kChunkHeaderSize = 8;
// WAVEFORMATEX with the largest extra size its 16-bit cbSize field allows.
constexpr uint32_t kMaxFormatSize = PCMFormatSize + 0xFFFF;
// The RIFF size field is 32 bits wide.
constexpr int64_t kMaxRiffBytes = 0xFFFFFFFFLL;
// Largest single transfer handed to the stream.
constexpr int64_t kWritePiece = 1 << 30;

bool HasId(const uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

} // namespace

void FillPCMFormat(uint8_t* format, int32_t samplesPerSecond, int32_t bitsPerSample, int32_t channels) {
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * static_cast<uint32_t>(bitsPerSample / 8);
    WriteLE16(format, WaveFormatTag_PCM);
    WriteLE16(format + 2, static_cast<uint32_t>(channels));
    WriteLE32(format + 4, static_cast<uint32_t>(samplesPerSecond));
    WriteLE32(format + 8, blockAlign * static_cast<uint32_t>(samplesPerSecond));
    WriteLE16(format + 12, blockAlign);
    WriteLE16(format + 14, static_cast<uint32_t>(bitsPerSample));
    WriteLE16(format + 16, 0);
}

// ---- TWaveFileReader -------------------------------------------------------------------------

TWaveFileReader::TWaveFileReader(TLargeStream& stream) : Stream(stream) {
    const int64_t start = Stream.GetPosition();
    const int64_t streamSize = Stream.GetSize(); // < 0 when the stream cannot tell
    Stream.Seek(start, soFromBeginning);
    uint8_t riff[kRiffHeaderSize] = {};
    if (Stream.Read(riff, kRiffHeaderSize) != kRiffHeaderSize || !HasId(riff, "RIFF") || !HasId(riff + 8, "WAVE"))
        throw EWaveFileError(SIllegalWaveFile);
    ReadChunks(start + kRiffHeaderSize, streamSize);
    if (FormatSize <= 0 || DataSize <= 0)
        throw EWaveFileError(SIllegalWaveFile);
}

void TWaveFileReader::ReadChunks(int64_t position, int64_t streamSize) {
    // Every chunk moves the position on by at least its 8-byte header, so the walk ends.
    while (streamSize < 0 || position < streamSize) {
        uint8_t header[kChunkHeaderSize] = {};
        if (Stream.Seek(position, soFromBeginning) != position)
            break;
        Stream.Read(header, kChunkHeaderSize); // a short read at the end leaves zeros
        if (ReadLE32(header) == 0)
            break;
        const uint32_t size = ReadLE32(header + 4);
        const int64_t bodyStart = position + kChunkHeaderSize;
        if (HasId(header, "fmt ")) {
            ReadFormatChunk(bodyStart, size, streamSize);
        } else if (HasId(header, "data")) {
            DataStart = bodyStart;
            DataSize = size;
            if (streamSize >= 0)
                DataSize = std::clamp<int64_t>(streamSize - bodyStart, 0, DataSize);
        }
        position = bodyStart + size + (size & 1);
    }
    StreamPosition = -1;
}

void TWaveFileReader::ReadFormatChunk(int64_t bodyStart, uint32_t size, int64_t streamSize) {
    int64_t keep = std::min(size, kMaxFormatSize);
    if (streamSize >= 0)
        keep = std::clamp<int64_t>(streamSize - bodyStart, 0, keep);
    Format.assign(static_cast<size_t>(keep), 0);
    const int32_t got = keep > 0 ? Stream.Read(Format.data(), static_cast<int32_t>(keep)) : 0;
    FormatSize = std::max(got, 0);
    Format.resize(static_cast<size_t>(FormatSize));
}

int32_t TWaveFileReader::ReadData(void* buffer, int32_t count, int64_t offset) {
    if (offset < 0 || offset >= DataSize || count <= 0)
        return 0;
    const auto n = static_cast<int32_t>(std::min<int64_t>(DataSize - offset, count));
    const int64_t target = DataStart + offset;
    if (StreamPosition != target && Stream.Seek(target, soFromBeginning) != target) {
        StreamPosition = -1;
        return 0;
    }
    const int32_t got = std::max(Stream.Read(buffer, n), 0);
    StreamPosition = target + got;
    return got;
}

bool TWaveFileReader::GetPCMFormat(TWavePCMFormat& format) const {
    if (FormatSize < PCMFormatFieldsSize)
        return false;
    const uint8_t* p = Format.data();
    format.FormatTag = static_cast<uint16_t>(ReadLE16(p));
    format.Channels = static_cast<uint16_t>(ReadLE16(p + 2));
    format.SamplesPerSec = ReadLE32(p + 4);
    format.AvgBytesPerSec = ReadLE32(p + 8);
    format.BlockAlign = static_cast<uint16_t>(ReadLE16(p + 12));
    format.BitsPerSample = static_cast<uint16_t>(ReadLE16(p + 14));
    return true;
}

// ---- TWaveFileWriter -------------------------------------------------------------------------

TWaveFileWriter::TWaveFileWriter(TLargeStream& stream) : Stream(stream) {}

TWaveFileWriter::~TWaveFileWriter() {
    if (!HeaderWritten)
        return;
    try {
        Finish();
    } catch (...) {
        // A destructor cannot report; callers that need the outcome call Finish themselves.
    }
}

void TWaveFileWriter::SetFormatSize(int32_t n) {
    FormatSize = std::max(n, 0);
    Format.assign(static_cast<size_t>(FormatSize), 0);
}

void TWaveFileWriter::WriteHeader() {
    if (HeaderWritten)
        return;
    RiffStart = Stream.GetPosition();
    const uint8_t placeholder[kRiffHeaderSize] = {};
    Stream.WriteBuffer(placeholder, kRiffHeaderSize);
    uint8_t chunk[kChunkHeaderSize];
    std::memcpy(chunk, "fmt ", 4);
    WriteLE32(chunk + 4, static_cast<uint32_t>(FormatSize));
    Stream.WriteBuffer(chunk, kChunkHeaderSize);
    Stream.WriteBuffer(Format.data(), FormatSize);
    if (FormatSize % 2 != 0) {
        const uint8_t pad = 0;
        Stream.WriteBuffer(&pad, 1);
    }
    DataHeaderPos = Stream.GetPosition();
    std::memcpy(chunk, "data", 4);
    WriteLE32(chunk + 4, 0);
    Stream.WriteBuffer(chunk, kChunkHeaderSize);
    DataStart = Stream.GetPosition();
    HeaderSize = DataStart - RiffStart;
    DataSize = 0;
    HeaderWritten = true;
}

int64_t TWaveFileWriter::WritePieces(const uint8_t* data, int64_t count) {
    if (Stream.Seek(DataStart + DataSize, soFromBeginning) != DataStart + DataSize)
        return 0;
    int64_t written = 0;
    while (written < count) {
        const auto piece = static_cast<int32_t>(std::min(count - written, kWritePiece));
        const int32_t put = Stream.Write(data + written, piece);
        if (put > 0)
            written += put;
        if (put != piece)
            break;
    }
    return written;
}

void TWaveFileWriter::WriteData(const void* data, int64_t count) {
    if (count <= 0)
        return;
    int64_t written = 0;
    if (HeaderWritten && HeaderSize + DataSize + DataSize % 2 + count <= kMaxRiffBytes) {
        written = WritePieces(static_cast<const uint8_t*>(data), count);
        DataSize += written;
    }
    if (written == count)
        return;
    if (HeaderWritten) {
        try {
            Finish();
        } catch (...) {
            // The write error below is the one to report.
        }
    }
    throw EWaveFileError(SStreamWriteError);
}

void TWaveFileWriter::Finish() {
    if (!HeaderWritten)
        return;
    uint8_t chunk[kChunkHeaderSize];
    std::memcpy(chunk, "data", 4);
    WriteLE32(chunk + 4, static_cast<uint32_t>(DataSize));
    Stream.Seek(DataHeaderPos, soFromBeginning);
    Stream.WriteBuffer(chunk, kChunkHeaderSize);
    if (DataSize % 2 != 0) {
        // On a full disk the pad byte may not fit; the sizes below still describe the file, and
        // readers do without a last pad byte.
        const uint8_t pad = 0;
        Stream.Seek(DataStart + DataSize, soFromBeginning);
        Stream.Write(&pad, 1);
    }
    const int64_t riffSize = Stream.GetSize() - RiffStart - 8;
    uint8_t riff[kRiffHeaderSize];
    std::memcpy(riff, "RIFF", 4);
    WriteLE32(riff + 4, static_cast<uint32_t>(std::clamp<int64_t>(riffSize, 0, kMaxRiffBytes)));
    std::memcpy(riff + 8, "WAVE", 4);
    Stream.Seek(RiffStart, soFromBeginning);
    Stream.WriteBuffer(riff, kRiffHeaderSize);
    Stream.Seek(0, soFromEnd);
}

} // namespace quillset
