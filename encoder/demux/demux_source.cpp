#include "encoder/demux/demux_source.h"

#include <cstring>

#include "encoder/audio/lpcm/lpcm_header.h"
#include "encoder/audio/lpcm/lpcm_stream_convertors.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/elementary_headers.h"
#include "stream/cache_filter_stream.h"
#include "stream/cdxa_stream.h"
#include "stream/range_stream.h"

namespace quillset {

namespace {

uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Reads exactly count bytes at the current position; false on a short read.
bool ReadExactly(TLargeStream& stream, uint8_t* data, int32_t count) {
    int32_t got = 0;
    while (got < count) {
        const int32_t n = stream.Read(data + got, count - got);
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

} // namespace

int32_t ReadStreamStart(TLargeStream& stream, uint8_t* data, int32_t count) {
    stream.Seek(0, soFromBeginning);
    int32_t got = 0;
    while (got < count) {
        const int32_t n = stream.Read(data + got, count - got);
        if (n <= 0)
            break;
        got += n;
    }
    stream.Seek(0, soFromBeginning);
    return got;
}

TMPEGUnwrappedSource::TMPEGUnwrappedSource(TLargeStream& source) : Current(&source) {
    Unwrap();
}

TMPEGUnwrappedSource::~TMPEGUnwrappedSource() {
    // Each wrapping stream reads the one before it: release them from the last.
    while (!Owned.empty())
        Owned.pop_back();
}

TLargeStream& TMPEGUnwrappedSource::Wrap(std::unique_ptr<TLargeStream> stream) {
    Current = stream.get();
    Owned.push_back(std::move(stream));
    return *Current;
}

bool TMPEGUnwrappedSource::FindRiffChunk(const char* id, int64_t& offset, int64_t& size) {
    TLargeStream& stream = *Current;
    const int64_t end = stream.GetSize();
    int64_t at = 12;
    while (at + 8 <= end) {
        stream.Seek(at, soFromBeginning);
        uint8_t header[8];
        if (!ReadExactly(stream, header, 8))
            return false;
        const int64_t chunkSize = ReadLE32(header + 4);
        if (std::memcmp(header, id, 4) == 0) {
            offset = at + 8;
            size = std::min(chunkSize, end - offset);
            return true;
        }
        at += 8 + chunkSize + (chunkSize & 1);
    }
    return false;
}

void TMPEGUnwrappedSource::SkipToFirstStartCode() {
    TLargeStream& source = *Current;
    source.Seek(0, soFromBeginning);
    int64_t start = -1;
    {
        TLargeCasheFilterStream cache(source);
        uint32_t window = 0xFFFFFFFF;
        int64_t position = 0;
        uint8_t byte = 0;
        while (cache.Read(&byte, 1) == 1) {
            ++position;
            window = window << 8 | byte;
            if ((window & 0xFFFFFF) == 0x000001 && position >= 3) {
                start = position - 3;
                break;
            }
        }
    }
    if (start < 0) {
        source.Seek(0, soFromBeginning);
        return;
    }
    const int64_t size = source.GetSize();
    Wrap(std::make_unique<TLargeRangeStream>(source, start, size - start));
    Wrapper = MPEGFileWrapper_LeadingZeros;
}

void TMPEGUnwrappedSource::Unwrap() {
    uint8_t head[12] = {};
    const int32_t got = ReadStreamStart(*Current, head, 12);
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0) {
        int64_t offset = 0;
        int64_t size = 0;
        if (std::memcmp(head + 8, "CDXA", 4) == 0 && FindRiffChunk("data", offset, size)) {
            TLargeStream& range = Wrap(std::make_unique<TLargeRangeStream>(*Current, offset, size));
            TLargeStream& cache = Wrap(std::make_unique<TLargeCasheFilterStream>(range));
            Wrap(std::make_unique<TLargeCDXAExtractDataStream>(cache));
            Wrapper = MPEGFileWrapper_CDXA;
        } else if (std::memcmp(head + 8, "RMP3", 4) == 0 && FindRiffChunk("data", offset, size)) {
            Wrap(std::make_unique<TLargeRangeStream>(*Current, offset, size));
            Wrapper = MPEGFileWrapper_RMP3;
        } else if (std::memcmp(head + 8, "WAVE", 4) == 0) {
            Current->Seek(0, soFromBeginning);
            Wrap(std::make_unique<TWaveFileToLinearPCMStreamConvertor>(*Current));
            Wrapper = MPEGFileWrapper_Wave;
        }
        Current->Seek(0, soFromBeginning);
        return;
    }
    // Zero bytes in front of the first start code.
    if (got >= 4 && head[0] == 0 && !(head[1] == 0 && head[2] == 1))
        SkipToFirstStartCode();
    Current->Seek(0, soFromBeginning);
}

TMPEGFileForm DetectMPEGFileForm(TLargeStream& stream) {
    uint8_t head[LPCMHeaderSize] = {};
    const int32_t got = ReadStreamStart(stream, head, LPCMHeaderSize);
    if (got >= 4) {
        const uint32_t word = uint32_t{head[0]} << 24 | uint32_t{head[1]} << 16 | uint32_t{head[2]} << 8 | head[3];
        if (word == 0x000001BA)
            return MPEGFileForm_Packets;
        if (word == 0x000001B3)
            return MPEGFileForm_Video;
    }
    if (got >= 2 && head[0] == 0xFF && (head[1] & 0xF0) == 0xF0)
        return MPEGFileForm_Audio;
    if (got >= 2 && head[0] == 0x0B && head[1] == 0x77)
        return MPEGFileForm_AC3;
    if (IsValidLPCMHeader(head, got))
        return MPEGFileForm_LinearPCM;
    throw EMPEGSystemEncoderError(MPEGError_IllegalSystemStream);
}

} // namespace quillset
