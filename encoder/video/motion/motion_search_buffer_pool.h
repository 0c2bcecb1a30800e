// Recycled memory for the motion-search buffers: the sum and RGB pictures of each source
// picture have the same sizes for a whole encode, so blocks are kept and handed out again
// instead of being allocated for every picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace quillset {

class TMotionSearchBufferPool {
public:
    // maximumCount: how many free blocks are kept; 0 keeps every block.
    explicit TMotionSearchBufferPool(int32_t maximumCount = 0);
    // Frees the free blocks. Blocks handed out and not returned are the holders' to free.
    ~TMotionSearchBufferPool();
    TMotionSearchBufferPool(const TMotionSearchBufferPool&) = delete;
    TMotionSearchBufferPool& operator=(const TMotionSearchBufferPool&) = delete;

    // A block of at least `size` usable bytes (AllocAligned: 32-byte aligned, with slack after
    // it): the most recently returned free block of exactly that size, or a new one. Its content
    // is whatever the last holder left. Thread-safe.
    void* Acquire(size_t size);
    // Returns a block of `size` bytes: kept for reuse when the maximum is 0 or fewer blocks than
    // the maximum are kept, freed otherwise. A null block is ignored. Thread-safe.
    void Release(void* block, size_t size);

    int32_t GetMaximumCount() const { return MaximumCount; }
    // The number of free blocks kept (for tests and diagnostics).
    size_t GetFreeCount() const;

private:
    struct TFreeBlock {
        void* Block;
        size_t Size;
    };
    mutable std::mutex Lock;
    std::vector<TFreeBlock> FreeBlocks; // most recently returned last
    int32_t MaximumCount;
};

} // namespace quillset
