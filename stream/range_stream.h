// A window of Size bytes starting at Offset of another stream, seen as a stream of its own
// (one chunk of a container file, one file inside a disc image).
#pragma once

#include "stream/large_stream.h"

namespace quillset {

// Source is not owned and must outlive the window. Transfers never reach outside the window.
class TLargeRangeStream : public TLargeRandomStream {
public:
    TLargeRangeStream(TLargeStream& source, int64_t offset, int64_t size);

    int64_t GetSize() override { return Size; }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, uint16_t origin) override;

private:
    // The count that fits before the window's end, with the source moved to the position;
    // 0 when nothing fits or the source cannot be moved there.
    int32_t Prepare(int32_t count);

    TLargeStream& Source;
    int64_t Offset;
    int64_t Size;
    int64_t Position = 0;
};

} // namespace quillset
