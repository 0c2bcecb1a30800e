// The four-block write-back cache shared by the unbuffered file stream and the cached
// random-access stream. It keeps the data size of the stream it serves and moves whole blocks
// between its buffers and a device (the file or the source stream) through three hooks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace quillset {

// One cached block. Contract kept by TLargeBlockCache: Buffer[Valid .. BlockSize) is always zero,
// so a block written out whole never carries stale bytes, and bytes beyond the data end read as
// zeros once the stream grows.
struct TLargeCacheBlock {
    std::unique_ptr<uint8_t[]> RawMemory; // 2 x BlockSize when aligned, else BlockSize
    uint8_t* Buffer = nullptr;            // the working buffer inside RawMemory
    int64_t Index = -1;                   // block number, -1 when empty
    int64_t FileOffset = 0;               // Index x BlockSize
    bool Dirty = false;
    bool Fresh = false;                   // created beyond the old end and never read
    int32_t Valid = 0;                    // bytes at the start of the block that hold data
};

// What the cache needs from the stream that owns it. A hook may also raise an exception; the
// cache leaves itself consistent (a block that could not be loaded is emptied, one that could not
// be written out stays dirty).
class TLargeBlockCacheDevice {
public:
    virtual ~TLargeBlockCacheDevice() = default;
    // Fills block.Buffer (BlockSize bytes) with the block at block.FileOffset, of which `wanted`
    // bytes are data; returns the number of bytes obtained (fewer than `wanted` is a failure).
    virtual int32_t LoadBlock(TLargeCacheBlock& block, int32_t wanted) = 0;
    // Writes the block at block.FileOffset; false when it could not.
    virtual bool StoreBlock(const TLargeCacheBlock& block) = 0;
    // The stream is about to hold blockCount blocks because a block beyond its end is created;
    // false refuses the block.
    virtual bool AddBlocks(int64_t blockCount) = 0;
};

class TLargeBlockCache {
public:
    static constexpr int kBlocks = 4;

    // alignBuffers: each buffer starts at a multiple of blockSize (for O_DIRECT transfers).
    TLargeBlockCache(TLargeBlockCacheDevice& device, int32_t blockSize, bool alignBuffers, bool writable,
                     int64_t size);

    int32_t GetBlockSize() const { return BlockSize; }
    int64_t GetSize() const { return Size; }
    int64_t GetBlockCount() const { return BlockCount; }

    // Transfers at a position 0 .. GetSize(); short counts when a block cannot be had.
    int32_t ReadAt(int64_t position, void* buffer, int32_t count);
    int32_t WriteAt(int64_t position, const void* buffer, int32_t count);

    // Writes out every dirty block in ascending index order; false when one of them failed
    // (it stays dirty). Exceptions of the device pass through.
    bool WriteOutAll();

    // The stream now holds newSize bytes (the device has been resized already and the dirty
    // blocks written out). Blocks beyond the end are dropped, clean blocks at the old or new end
    // are dropped to be read again, and a block that is still dirty is clamped to the new end.
    void Resize(int64_t newSize);

    // The block of Index: cached, loaded, or (with create, beyond the end) new and zeroed.
    // None when it cannot be had.
    TLargeCacheBlock* GetBlock(bool create, int64_t index);

    // For inspection by tests: the blocks, most recently used first / by ascending index.
    const std::array<TLargeCacheBlock*, kBlocks>& GetRecentBlocks() const { return RecentBlocks; }
    const std::array<TLargeCacheBlock*, kBlocks>& GetSortedBlocks() const { return SortedBlocks; }

private:
    TLargeCacheBlock* FindCached(int64_t index);
    TLargeCacheBlock* TakeLeastRecent();
    void MoveToFront(int slot);
    void SortBlocks();
    bool WriteOut(TLargeCacheBlock& block);
    void WriteOutBelow(int64_t index);
    static void Empty(TLargeCacheBlock& block);
    void ZeroFrom(TLargeCacheBlock& block, int32_t from) const;

    TLargeBlockCacheDevice& Device;
    int32_t BlockSize;
    bool Writable;
    int64_t Size;
    int64_t BlockCount;
    std::array<TLargeCacheBlock, kBlocks> Blocks;
    std::array<TLargeCacheBlock*, kBlocks> RecentBlocks{};
    std::array<TLargeCacheBlock*, kBlocks> SortedBlocks{};
};

} // namespace quillset
