#include "encoder/kernels/aligned_memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quillset {

namespace {
// The heap address is kept in the pointer-sized word just before the block.
constexpr size_t kHeader = sizeof(void*);
constexpr size_t kSlack = 128; // covers the alignment step and at least 96 bytes after the block
} // namespace

void* AllocAligned(size_t size) {
    const size_t rounded = (size + 31) & ~size_t{31};
    void* heap = std::malloc(rounded + kHeader + kSlack);
    if (heap == nullptr)
        throw std::bad_alloc();
    const auto address = reinterpret_cast<uintptr_t>(heap) + kHeader;
    auto* block = reinterpret_cast<void*>((address + 31) & ~uintptr_t{31});
    std::memcpy(static_cast<char*>(block) - kHeader, &heap, kHeader);
    return block;
}

void FreeAligned(void* block) {
    if (block == nullptr)
        return;
    void* heap;
    std::memcpy(&heap, static_cast<char*>(block) - kHeader, kHeader);
    std::free(heap);
}

} // namespace quillset
