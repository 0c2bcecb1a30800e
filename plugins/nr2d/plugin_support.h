// Pieces both noise reduction libraries build on: the choice of code path, grow-only working
// memory, argument clamping and the progress report.
//
// Include only from files compiled for the baseline processor (not from instruction-set files).
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "plugins/nr2d/noise_reduction_interface.h"

namespace quillset::noise_reduction {

// Which kernels a filter object runs. All paths give identical bytes on one machine.
enum class TFilterPath { Portable, Sse2, Avx2 };

// The richest path this processor runs. QUILLSET_CPU_MASK, as the program reads it (a number
// whose clear bits switch instruction sets off: 0x08 SSE2, 0x80 AVX2, each also needing the bits
// below SSE2), can switch paths off when hunting a fault. Read once, when a library is attached.
inline TFilterPath SelectFilterPath() {
    unsigned long mask = 0xFF;
    if (const char* text = std::getenv("QUILLSET_CPU_MASK"); text != nullptr && *text != '\0') {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(text, &end, 0);
        if (errno == 0 && end != text && *end == '\0' && value <= 0xFF)
            mask = value;
    }
#if defined(__x86_64__) && defined(QS_NR_X86_KERNELS)
    __builtin_cpu_init(); // runs from the library's constructor, possibly before libgcc's own
    if ((mask & 0x8F) == 0x8F && __builtin_cpu_supports("avx2"))
        return TFilterPath::Avx2;
    if ((mask & 0x0F) == 0x0F)
        return TFilterPath::Sse2;
#else
    (void)mask;
#endif
    return TFilterPath::Portable;
}

// A block of working memory, aligned to 64 bytes, that only grows. Allocation failure leaves it
// empty and is answered by `Reserve` returning false (the entries report nothing).
class TWorkBlock {
public:
    TWorkBlock() = default;
    ~TWorkBlock() { std::free(data_); }
    TWorkBlock(const TWorkBlock&) = delete;
    TWorkBlock& operator=(const TWorkBlock&) = delete;

    bool Reserve(size_t bytes) {
        if (bytes <= capacity_ && data_ != nullptr)
            return true;
        std::free(data_);
        data_ = nullptr;
        capacity_ = 0;
        void* block = nullptr;
        if (posix_memalign(&block, 64, bytes == 0 ? 64 : bytes) != 0)
            return false;
        data_ = block;
        capacity_ = bytes;
        return true;
    }
    float* Floats() const { return static_cast<float*>(data_); }
    size_t Capacity() const { return capacity_; }

private:
    void* data_ = nullptr;
    size_t capacity_ = 0;
};

inline int32_t ClampArgument(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

// Floats per row plane: the width rounded up to whole 32-byte vectors. Zero when the width is
// too large to address.
inline size_t PlaneStride(int32_t width) {
    const size_t w = static_cast<size_t>(width);
    return (w + 7) / 8 * 8;
}

// Bytes of `rows` rows of `planes` planes each, or SIZE_MAX on overflow.
inline size_t PlaneBytes(size_t stride, size_t planes, size_t rows) {
    const size_t perRow = stride * planes * sizeof(float);
    if (perRow / planes / sizeof(float) != stride || (rows != 0 && perRow > SIZE_MAX / rows))
        return SIZE_MAX;
    return perRow * rows;
}

struct TProgressReport {
    TNoiseReductionProgress Entry = nullptr;
    void* Context = nullptr;
    void RowDone(int32_t row) const {
        if (Entry != nullptr && Context != nullptr)
            Entry(row, Context);
    }
};

// The byte offset of picture row `row` (24-bit pixels, no gap between rows).
inline size_t RowOffset(int32_t width, int32_t row) {
    return static_cast<size_t>(width) * 3 * static_cast<size_t>(row);
}

// Copies a whole picture (the ranges may overlap) and reports every row; the answer of both
// filters to strength 0, where every weight and the divisor would be 0.
inline void CopyPicture(uint8_t* destination, const uint8_t* source, int32_t width, int32_t height,
                        const TProgressReport& progress) {
    if (destination != source)
        std::memmove(destination, source, RowOffset(width, height));
    for (int32_t row = 0; row < height; ++row)
        progress.RowDone(row);
}

} // namespace quillset::noise_reduction
