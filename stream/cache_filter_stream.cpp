#include "stream/cache_filter_stream.h"

#include <algorithm>
#include <cstring>

namespace quillset {

TLargeCasheFilterStream::TLargeCasheFilterStream(TLargeStream& source)
    : Source(source), Buffer(std::make_unique<uint8_t[]>(kBufferSize)), SourceSize(source.GetSize()) {}

TLargeCasheFilterStream::~TLargeCasheFilterStream() {
    try {
        Flush();
    } catch (...) {
        // Destructors cannot raise; callers that must know call Flush first.
    }
}

void TLargeCasheFilterStream::Flush() {
    if (Dirty) {
        if (Source.Seek(BufferStart, soFromBeginning) != BufferStart)
            throw EWriteError(SStreamWriteError);
        Source.WriteBuffer(Buffer.get(), BufferLen);
        // The window may have been appended to before a seek inside it ended the appending
        // state, so the source size follows the end of what was written in either state.
        SourceSize = std::max(SourceSize, BufferStart + BufferLen);
        BufferStart += BufferLen;
    }
    Dirty = false;
    BufferPos = 0;
    BufferLen = 0;
}

void TLargeCasheFilterStream::Refill() {
    if (Dirty)
        Flush();
    if (Appending)
        return;
    BufferStart += BufferLen;
    BufferPos = 0;
    BufferLen = 0;
    if (Source.Seek(BufferStart, soFromBeginning) == BufferStart)
        BufferLen = std::max(0, Source.Read(Buffer.get(), kBufferSize));
    if (BufferLen == 0)
        Appending = true;
}

int32_t TLargeCasheFilterStream::Read(void* buffer, int32_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        if (BufferPos == BufferLen)
            Refill();
        if (Appending)
            break;
        const int32_t n = std::min(count - done, BufferLen - BufferPos);
        std::memcpy(bytes + done, Buffer.get() + BufferPos, static_cast<size_t>(n));
        BufferPos += n;
        done += n;
    }
    return done;
}

int32_t TLargeCasheFilterStream::Write(const void* buffer, int32_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        if (Appending && BufferLen == kBufferSize)
            Flush();
        else if (BufferPos == BufferLen && !Appending)
            Refill();
        // Outside the appending state a write stays inside the bytes read into the window: only
        // those are written back, and the next window is read (or appending begins) after them.
        const int32_t room = Appending ? kBufferSize - BufferPos : BufferLen - BufferPos;
        const int32_t n = std::min(count - done, room);
        std::memcpy(Buffer.get() + BufferPos, bytes + done, static_cast<size_t>(n));
        Dirty = true;
        BufferPos += n;
        if (Appending)
            BufferLen = std::max(BufferLen, BufferPos);
        done += n;
    }
    return done;
}

int64_t TLargeCasheFilterStream::GetSize() {
    return std::max(BufferStart + BufferLen, SourceSize);
}

int64_t TLargeCasheFilterStream::Seek(int64_t offset, uint16_t origin) {
    const int64_t current = BufferStart + BufferPos;
    const int64_t size = GetSize();
    const int64_t target = ClampPosition(SeekTarget(offset, origin, current, size), size);
    // Asking for the position (progress displays do it often) leaves the window as it is.
    if (target == current)
        return current;
    if (target >= BufferStart && target < BufferStart + BufferLen) {
        BufferPos = static_cast<int32_t>(target - BufferStart);
    } else {
        Flush();
        BufferStart = target;
    }
    Appending = false;
    return target;
}

} // namespace quillset
