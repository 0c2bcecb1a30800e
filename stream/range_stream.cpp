#include "stream/range_stream.h"

#include <algorithm>

namespace quillset {

TLargeRangeStream::TLargeRangeStream(TLargeStream& source, int64_t offset, int64_t size)
    : Source(source), Offset(offset), Size(std::max<int64_t>(size, 0)) {}

int32_t TLargeRangeStream::Prepare(int32_t count) {
    const auto n = static_cast<int32_t>(std::clamp<int64_t>(Size - Position, 0, std::max(count, 0)));
    if (n == 0)
        return 0;
    // A source shorter than the window clamps the seek; transferring there would hit other bytes.
    if (Source.Seek(Offset + Position, soFromBeginning) != Offset + Position)
        return 0;
    return n;
}

int32_t TLargeRangeStream::Read(void* buffer, int32_t count) {
    const int32_t n = Prepare(count);
    if (n == 0)
        return 0;
    const int32_t done = std::max(0, Source.Read(buffer, n));
    Position += done;
    return done;
}

int32_t TLargeRangeStream::Write(const void* buffer, int32_t count) {
    const int32_t n = Prepare(count);
    if (n == 0)
        return 0;
    const int32_t done = std::max(0, Source.Write(buffer, n));
    Position += done;
    return done;
}

int64_t TLargeRangeStream::Seek(int64_t offset, uint16_t origin) {
    Position = ClampPosition(SeekTarget(offset, origin, Position, Size), Size);
    return Position;
}

} // namespace quillset
