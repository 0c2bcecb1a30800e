// Aligned memory for pictures and kernel buffers: 32-byte aligned blocks with slack after them,
// so that kernels may read a little beyond the last row.
#pragma once

#include <cstddef>

namespace quillset {

// A block of at least `size` usable bytes whose address is a multiple of 32, followed by at
// least 96 bytes of slack. Never returns null (raises std::bad_alloc).
void* AllocAligned(size_t size);

// Frees a block of AllocAligned; null does nothing.
void FreeAligned(void* block);

} // namespace quillset
