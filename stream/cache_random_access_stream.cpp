#include "stream/cache_random_access_stream.h"

namespace quillset {

std::unique_ptr<TLargeCacheRandomAccessStream> TLargeCacheRandomAccessStream::Create(TLargeStream& source,
                                                                                     int32_t blockSize) {
    return std::make_unique<TLargeCacheRandomAccessStream>(source, blockSize, true);
}

std::unique_ptr<TLargeCacheRandomAccessStream> TLargeCacheRandomAccessStream::CreateReadOnly(TLargeStream& source,
                                                                                             int32_t blockSize) {
    return std::make_unique<TLargeCacheRandomAccessStream>(source, blockSize, false);
}

TLargeCacheRandomAccessStream::TLargeCacheRandomAccessStream(TLargeStream& source, int32_t blockSize, bool writable)
    : Source(source), BlockSize(blockSize), Writable(writable),
      Cache(*this, blockSize, false, writable, source.GetSize()) {
    SourcePosition = Source.GetPosition();
}

TLargeCacheRandomAccessStream::~TLargeCacheRandomAccessStream() {
    try {
        Cache.WriteOutAll();
    } catch (...) {
        // Destructors cannot raise; the caller that needs certainty calls SetSize or reads back.
    }
}

void TLargeCacheRandomAccessStream::TakeSourceState() {
    Cache.Resize(Source.GetSize());
    SourcePosition = Source.GetPosition();
    Position = ClampPosition(Position, Cache.GetSize());
}

void TLargeCacheRandomAccessStream::MoveSourceTo(int64_t offset, bool reading) {
    if (SourcePosition == offset)
        return;
    SourcePosition = -1;
    // A source that clamps its seeks must not receive the transfer at another place.
    if (Source.Seek(offset, soFromBeginning) != offset) {
        if (reading)
            throw EReadError(SStreamReadError);
        throw EWriteError(SStreamWriteError);
    }
    SourcePosition = offset;
}

int32_t TLargeCacheRandomAccessStream::LoadBlock(TLargeCacheBlock& block, int32_t wanted) {
    if (wanted == 0)
        return 0;
    MoveSourceTo(block.FileOffset, true);
    SourcePosition = -1;
    Source.ReadBuffer(block.Buffer, wanted);
    SourcePosition = block.FileOffset + wanted;
    return wanted;
}

bool TLargeCacheRandomAccessStream::StoreBlock(const TLargeCacheBlock& block) {
    if (block.Valid == 0)
        return true;
    MoveSourceTo(block.FileOffset, false);
    SourcePosition = -1;
    Source.WriteBuffer(block.Buffer, block.Valid);
    SourcePosition = block.FileOffset + block.Valid;
    return true;
}

int32_t TLargeCacheRandomAccessStream::Read(void* buffer, int32_t count) {
    if (count <= 0)
        return 0;
    const int32_t done = Cache.ReadAt(Position, buffer, count);
    Position += done;
    return done;
}

int32_t TLargeCacheRandomAccessStream::Write(const void* buffer, int32_t count) {
    if (!Writable || count <= 0)
        return 0;
    const int32_t done = Cache.WriteAt(Position, buffer, count);
    Position += done;
    return done;
}

int64_t TLargeCacheRandomAccessStream::Seek(int64_t offset, uint16_t origin) {
    Position = ClampPosition(SeekTarget(offset, origin, Position, Cache.GetSize()), Cache.GetSize());
    return Position;
}

void TLargeCacheRandomAccessStream::SetSize(int64_t newSize) {
    Cache.WriteOutAll();
    SourcePosition = -1;
    Source.SetSize(newSize);
    TakeSourceState();
}

} // namespace quillset
