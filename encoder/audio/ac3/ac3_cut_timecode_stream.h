// A reading filter for AC-3 files that carry 16-byte SMPTE time-code blocks between their
// syncframes: it delivers the syncframes only.
#pragma once

#include <cstdint>

#include "stream/large_stream.h"

namespace quillset {

// Reads Source (not owned, must outlive the filter) from the position it has at creation, frame
// by frame: 16 bytes are read; when they begin with the AC-3 syncword, the frame's length comes
// from its header (ATSC A/52 frame size table) and the rest of the frame is read behind them;
// otherwise the 16 bytes are dropped as a time-code block and the next 16 bytes are tested the
// same way. A frame length of 0, a second failed test or a short read ends the filtered stream.
// Positions count filtered bytes; seeking backwards reads the source again from its start.
// GetSize reads the whole source once. Write returns 0.
class TDolbyAC3CutSMPTETimeCodeStream : public TLargeRandomStream {
public:
    static constexpr int32_t TimeCodeBlockSize = 16;
    static constexpr int32_t FrameBufferSize = 4112;

    explicit TDolbyAC3CutSMPTETimeCodeStream(TLargeStream& source);

    int64_t GetSize() override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void*, int32_t) override { return 0; }
    // The target is clamped to 0 .. the end of the filtered stream.
    int64_t Seek(int64_t offset, uint16_t origin) override;

private:
    // Reads the next syncframe into buffer; its length, or 0 at the end of the frames.
    int32_t ReadFrame(uint8_t* buffer);
    // Makes the frame holding filtered position `target` current (or the last one, at the end).
    void Advance(int64_t target);
    void Rewind();

    TLargeStream& Source;
    int64_t SourceStart;
    int64_t Position = 0;
    int64_t Size = -1;
    uint8_t Frame[FrameBufferSize];
    int64_t FrameStart = 0; // filtered position of Frame[0]
    int32_t FrameLength = 0;
    bool AtEnd = false;
};

} // namespace quillset
