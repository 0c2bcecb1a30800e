#include "stream/large_stream.h"

#include <algorithm>

namespace quillset {

const char* const SStreamSizeCannotChange = "This stream size can not be changed.";
const char* const SStreamSizeNotCorrect = "New size of the stream is not correct.";
const char* const SStreamReadError = "Stream reading error";
const char* const SStreamWriteError = "Stream writing error";

int64_t TLargeStream::GetSize() {
    const int64_t position = Seek(0, soFromCurrent);
    const int64_t size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TLargeStream::GetPositionAndSize(int64_t& position, int64_t& size) {
    position = GetPosition();
    size = GetSize();
}

void TLargeStream::SetSize(int64_t) {
    throw ELargeStreamError(SStreamSizeCannotChange);
}

void TLargeStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(SStreamReadError);
}

void TLargeStream::WriteBuffer(const void* buffer, int32_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(SStreamWriteError);
}

void TLargeStream::CopyFrom(TLargeStream& source, int64_t count) {
    constexpr int32_t kPiece = 4096;
    char piece[kPiece];
    if (count < 0) {
        for (;;) {
            const int32_t got = source.Read(piece, kPiece);
            if (got <= 0)
                return;
            WriteBuffer(piece, got);
        }
    }
    while (count > 0) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(count, kPiece));
        source.ReadBuffer(piece, n);
        WriteBuffer(piece, n);
        count -= n;
    }
}

int64_t SeekTarget(int64_t offset, uint16_t origin, int64_t position, int64_t size) {
    switch (origin) {
    case soFromBeginning:
        return offset;
    case soFromCurrent:
        return position + offset;
    case soFromEnd:
        return size + offset;
    default:
        throw EAbstractError("Abstract Error: unknown seek origin");
    }
}

} // namespace quillset
