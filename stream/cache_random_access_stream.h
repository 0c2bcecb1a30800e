// A four-block write-back cache in front of another stream, for small reads and writes anywhere
// in a large temporary file (the analysis data of multipass encoding).
#pragma once

#include <memory>

#include "stream/block_cache.h"
#include "stream/large_stream.h"

namespace quillset {

// Source is not owned and must outlive the cache. The cache remembers where it left the
// source's position, so nobody else may move the source while the cache lives. A short transfer
// of the source raises EReadError / EWriteError, also when a Read has to write a block back.
class TLargeCacheRandomAccessStream : public TLargeRandomStream, private TLargeBlockCacheDevice {
public:
    // A writable cache of blockSize-byte blocks (blockSize > 0).
    static std::unique_ptr<TLargeCacheRandomAccessStream> Create(TLargeStream& source, int32_t blockSize);
    // A cache whose Write always returns 0.
    static std::unique_ptr<TLargeCacheRandomAccessStream> CreateReadOnly(TLargeStream& source, int32_t blockSize);

    TLargeCacheRandomAccessStream(TLargeStream& source, int32_t blockSize, bool writable);
    // Writes the dirty blocks out; the source stays open. A failure here cannot be reported.
    ~TLargeCacheRandomAccessStream() override;

    int64_t GetSize() override { return Cache.GetSize(); }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, uint16_t origin) override;
    // Writes the dirty blocks out, resizes the source and takes its size again.
    void SetSize(int64_t newSize) override;

    int32_t GetBlockSize() const { return BlockSize; }
    const TLargeBlockCache& GetCache() const { return Cache; }

private:
    int32_t LoadBlock(TLargeCacheBlock& block, int32_t wanted) override;
    bool StoreBlock(const TLargeCacheBlock& block) override;
    bool AddBlocks(int64_t) override { return true; }
    void MoveSourceTo(int64_t offset, bool reading);
    void TakeSourceState();

    TLargeStream& Source;
    int32_t BlockSize;
    bool Writable;
    int64_t Position = 0;
    int64_t SourcePosition = -1; // -1 when unknown
    TLargeBlockCache Cache;      // holds Size and BlockCount
};

} // namespace quillset
