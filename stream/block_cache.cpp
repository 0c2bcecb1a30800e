#include "stream/block_cache.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace quillset {

TLargeBlockCache::TLargeBlockCache(TLargeBlockCacheDevice& device, int32_t blockSize, bool alignBuffers,
                                   bool writable, int64_t size)
    : Device(device), BlockSize(blockSize), Writable(writable), Size(size),
      BlockCount((size + blockSize - 1) / blockSize) {
    assert(blockSize > 0);
    const auto bytes = static_cast<size_t>(blockSize);
    for (int i = 0; i < kBlocks; ++i) {
        TLargeCacheBlock& block = Blocks[i];
        if (alignBuffers) {
            // Twice the block, so that a block-aligned working buffer always fits inside.
            block.RawMemory = std::make_unique<uint8_t[]>(2 * bytes);
            const auto address = reinterpret_cast<uintptr_t>(block.RawMemory.get());
            const uintptr_t aligned = (address + bytes - 1) / bytes * bytes;
            block.Buffer = block.RawMemory.get() + (aligned - address);
        } else {
            block.RawMemory = std::make_unique<uint8_t[]>(bytes);
            block.Buffer = block.RawMemory.get();
        }
        RecentBlocks[i] = &block;
        SortedBlocks[i] = &block;
    }
}

void TLargeBlockCache::Empty(TLargeCacheBlock& block) {
    block.Index = -1;
    block.Dirty = false;
    block.Fresh = false;
    block.Valid = 0;
}

void TLargeBlockCache::ZeroFrom(TLargeCacheBlock& block, int32_t from) const {
    if (from < BlockSize)
        std::memset(block.Buffer + from, 0, static_cast<size_t>(BlockSize - from));
}

void TLargeBlockCache::MoveToFront(int slot) {
    TLargeCacheBlock* block = RecentBlocks[slot];
    for (int i = slot; i > 0; --i)
        RecentBlocks[i] = RecentBlocks[i - 1];
    RecentBlocks[0] = block;
}

TLargeCacheBlock* TLargeBlockCache::FindCached(int64_t index) {
    for (int i = 0; i < kBlocks; ++i) {
        if (RecentBlocks[i]->Index == index) {
            MoveToFront(i);
            return RecentBlocks[0];
        }
    }
    return nullptr;
}

TLargeCacheBlock* TLargeBlockCache::TakeLeastRecent() {
    MoveToFront(kBlocks - 1);
    return RecentBlocks[0];
}

void TLargeBlockCache::SortBlocks() {
    std::sort(SortedBlocks.begin(), SortedBlocks.end(),
              [](const TLargeCacheBlock* a, const TLargeCacheBlock* b) { return a->Index < b->Index; });
}

bool TLargeBlockCache::WriteOut(TLargeCacheBlock& block) {
    if (!Device.StoreBlock(block))
        return false;
    block.Dirty = false;
    block.Fresh = false;
    return true;
}

void TLargeBlockCache::WriteOutBelow(int64_t index) {
    // Front to back, so that the file grows in order even when a low block is evicted late.
    for (TLargeCacheBlock* block : SortedBlocks) {
        if (block->Index >= 0 && block->Index < index && block->Dirty)
            WriteOut(*block);
    }
}

bool TLargeBlockCache::WriteOutAll() {
    SortBlocks();
    bool ok = true;
    for (TLargeCacheBlock* block : SortedBlocks) {
        if (block->Index >= 0 && block->Dirty && !WriteOut(*block))
            ok = false;
    }
    return ok;
}

TLargeCacheBlock* TLargeBlockCache::GetBlock(bool create, int64_t index) {
    bool isNew = false;
    if (index >= BlockCount) {
        if (!create || !Device.AddBlocks(index + 1))
            return nullptr;
        BlockCount = index + 1;
        isNew = true;
    }
    if (TLargeCacheBlock* cached = FindCached(index))
        return cached;

    TLargeCacheBlock* block = TakeLeastRecent();
    if (Writable) {
        WriteOutBelow(index);
        if (block->Dirty && !WriteOut(*block))
            return nullptr;
    }
    Empty(*block);
    block->FileOffset = index * BlockSize;
    if (isNew) {
        // Never read: zeroed so that no bytes of the block's previous use can reach the file.
        ZeroFrom(*block, 0);
        block->Fresh = true;
    } else {
        const int32_t wanted = static_cast<int32_t>(std::clamp<int64_t>(Size - block->FileOffset, 0, BlockSize));
        // A block that cannot be read whole is not cached: a later write into it would
        // otherwise replace the unread bytes with zeros.
        if (Device.LoadBlock(*block, wanted) < wanted) {
            SortBlocks();
            return nullptr;
        }
        block->Valid = wanted;
        ZeroFrom(*block, wanted);
    }
    block->Index = index;
    SortBlocks();
    return block;
}

int32_t TLargeBlockCache::ReadAt(int64_t position, void* buffer, int32_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        TLargeCacheBlock* block = GetBlock(false, position / BlockSize);
        if (block == nullptr)
            break;
        const auto offset = static_cast<int32_t>(position - block->FileOffset);
        const int32_t n = std::min(block->Valid - offset, count - done);
        if (n <= 0)
            break;
        std::memcpy(bytes + done, block->Buffer + offset, static_cast<size_t>(n));
        done += n;
        position += n;
    }
    return done;
}

int32_t TLargeBlockCache::WriteAt(int64_t position, const void* buffer, int32_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        TLargeCacheBlock* block = GetBlock(true, position / BlockSize);
        if (block == nullptr)
            break;
        const auto offset = static_cast<int32_t>(position - block->FileOffset);
        const int32_t n = std::min(BlockSize - offset, count - done);
        std::memcpy(block->Buffer + offset, bytes + done, static_cast<size_t>(n));
        block->Dirty = true;
        block->Valid = std::max(block->Valid, offset + n);
        Size = std::max(Size, block->FileOffset + block->Valid);
        done += n;
        position += n;
    }
    return done;
}

void TLargeBlockCache::Resize(int64_t newSize) {
    const int64_t oldSize = Size;
    Size = newSize;
    BlockCount = (newSize + BlockSize - 1) / BlockSize;
    const int64_t unchangedEnd = std::min(oldSize, newSize);
    for (TLargeCacheBlock& block : Blocks) {
        if (block.Index < 0 || block.FileOffset + BlockSize <= unchangedEnd)
            continue;
        if (block.Index >= BlockCount || !block.Dirty) {
            Empty(block);
            continue;
        }
        // A dirty block whose write-out failed: keep its data up to the new end. When growing,
        // the bytes past its old end are zero already.
        const auto valid = static_cast<int32_t>(std::min<int64_t>(BlockSize, newSize - block.FileOffset));
        if (valid < block.Valid)
            ZeroFrom(block, valid);
        block.Valid = valid;
    }
    SortBlocks();
}

} // namespace quillset
