// What the demultiplexer does before it reads packets: it takes wrapped files apart (Video CD
// ".dat" files in RIFF CD-XA, MPEG audio in RIFF RMP3, WAVE files as private Linear PCM streams,
// leading zero bytes) and tells which kind of MPEG file remains.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "stream/large_stream.h"

namespace quillset {

// The forms of file the demultiplexer reads.
enum TMPEGFileForm : uint8_t {
    MPEGFileForm_Packets = 0,        // ISO/IEC 11172-1 system or ISO/IEC 13818-1 program stream
    MPEGFileForm_Video = 1,          // video elementary stream
    MPEGFileForm_Audio = 2,          // MPEG audio elementary stream
    MPEGFileForm_AC3 = 3,            // AC-3 elementary stream
    MPEGFileForm_LinearPCM = 4,      // the private Linear PCM stream
};

// The wrapper a file came in.
enum TMPEGFileWrapper : uint8_t {
    MPEGFileWrapper_None = 0,
    MPEGFileWrapper_CDXA = 1,        // RIFF "CDXA": raw 2352-byte CD sectors
    MPEGFileWrapper_RMP3 = 2,        // RIFF "RMP3": MPEG audio in a "data" chunk
    MPEGFileWrapper_Wave = 3,        // RIFF "WAVE": converted to the private Linear PCM stream
    MPEGFileWrapper_LeadingZeros = 4,
};

// The unwrapped view of a source: Stream() is the source itself or the last of the wrapping
// streams, which are owned here (each over the one before; the source is not owned).
class TMPEGUnwrappedSource {
public:
    // Reads the source from its start. WAVE files that cannot be converted raise the errors of the
    // WAVE-to-LPCM conversion.
    explicit TMPEGUnwrappedSource(TLargeStream& source);
    TMPEGUnwrappedSource(const TMPEGUnwrappedSource&) = delete;
    TMPEGUnwrappedSource& operator=(const TMPEGUnwrappedSource&) = delete;
    ~TMPEGUnwrappedSource();

    TLargeStream& Stream() { return *Current; }
    TMPEGFileWrapper GetWrapper() const { return Wrapper; }
    // Adds a wrapping stream over the current one; it becomes the current stream.
    TLargeStream& Wrap(std::unique_ptr<TLargeStream> stream);

private:
    void Unwrap();
    // The offset and size of the RIFF chunk `id` among the chunks after the 12-byte RIFF header;
    // false when there is none.
    bool FindRiffChunk(const char* id, int64_t& offset, int64_t& size);
    void SkipToFirstStartCode();

    TLargeStream* Current;
    std::vector<std::unique_ptr<TLargeStream>> Owned;
    TMPEGFileWrapper Wrapper = MPEGFileWrapper_None;
};

// The form of an unwrapped stream by its first bytes (read from position 0; the position is left at
// 0). Raises EMPEGSystemEncoderError 0xD061300D when it is none of the forms.
TMPEGFileForm DetectMPEGFileForm(TLargeStream& stream);

// Reads up to count bytes from position 0 of the stream into data; returns the count read. The
// position is left at 0.
int32_t ReadStreamStart(TLargeStream& stream, uint8_t* data, int32_t count);

} // namespace quillset
