#include "encoder/video/motion/motion_search_buffer_pool.h"

#include "encoder/kernels/aligned_memory.h"

namespace quillset {

TMotionSearchBufferPool::TMotionSearchBufferPool(int32_t maximumCount) : MaximumCount(maximumCount) {}

TMotionSearchBufferPool::~TMotionSearchBufferPool() {
    for (const TFreeBlock& free : FreeBlocks)
        FreeAligned(free.Block);
}

void* TMotionSearchBufferPool::Acquire(size_t size) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        for (size_t i = FreeBlocks.size(); i-- > 0;) {
            if (FreeBlocks[i].Size == size) {
                void* block = FreeBlocks[i].Block;
                FreeBlocks.erase(FreeBlocks.begin() + static_cast<ptrdiff_t>(i));
                return block;
            }
        }
    }
    return AllocAligned(size);
}

void TMotionSearchBufferPool::Release(void* block, size_t size) {
    if (block == nullptr)
        return;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (MaximumCount <= 0 || FreeBlocks.size() < static_cast<size_t>(MaximumCount)) {
            FreeBlocks.push_back({block, size});
            return;
        }
    }
    FreeAligned(block);
}

size_t TMotionSearchBufferPool::GetFreeCount() const {
    std::lock_guard<std::mutex> guard(Lock);
    return FreeBlocks.size();
}

} // namespace quillset
