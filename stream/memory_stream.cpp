#include "stream/memory_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quillset {

TLargeMemoryStream::~TLargeMemoryStream() {
    std::free(Memory);
}

void TLargeMemoryStream::SetSize(int64_t newSize) {
    const int32_t oldSize = Size;
    Resize(newSize);
    // Bytes the stream grows by read as zeros, as they do in a file, never as old heap contents.
    if (Size > oldSize)
        std::memset(Memory + oldSize, 0, static_cast<size_t>(Size - oldSize));
}

void TLargeMemoryStream::Resize(int64_t newSize) {
    if (newSize < 0 || newSize >= (int64_t{1} << 31))
        throw ELargeStreamError(SStreamSizeNotCorrect);
    const int64_t capacity = (newSize + 4095) / 4096 * 4096;
    if (capacity != Capacity) {
        if (capacity == 0) {
            std::free(Memory);
            Memory = nullptr;
        } else {
            auto* memory = static_cast<uint8_t*>(std::realloc(Memory, static_cast<size_t>(capacity)));
            if (memory == nullptr)
                throw std::bad_alloc();
            Memory = memory;
        }
        Capacity = capacity;
    }
    Size = static_cast<int32_t>(newSize);
    Position = static_cast<int32_t>(ClampPosition(Position, Size));
}

int32_t TLargeMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0)
        return 0;
    const int32_t n = std::min(Size - Position, count);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, Memory + Position, static_cast<size_t>(n));
    Position += n;
    return n;
}

int32_t TLargeMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0)
        return 0;
    const int64_t end = int64_t{Position} + count;
    if (end > Size)
        Resize(end); // every new byte is written below: Position never lies beyond Size
    std::memcpy(Memory + Position, buffer, static_cast<size_t>(count));
    Position = static_cast<int32_t>(end);
    return count;
}

int64_t TLargeMemoryStream::Seek(int64_t offset, uint16_t origin) {
    Position = static_cast<int32_t>(ClampPosition(SeekTarget(offset, origin, Position, Size), Size));
    return Position;
}

} // namespace quillset
