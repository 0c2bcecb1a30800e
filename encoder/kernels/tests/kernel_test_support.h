// Helpers for the kernel tests: guarded byte buffers, random fills and table walking.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "encoder/kernels/kernel_table.h"

namespace quillset::testing {

// A byte buffer with a margin of guard bytes on both sides. Kernels get pointers into the body,
// possibly misaligned; after a call, comparing two copies byte for byte (margins included) shows
// both the results and any write outside the intended area.
class TGuardedBuffer {
public:
    static constexpr size_t kMargin = 96;

    // `bytes` usable bytes starting `misalign` bytes after a 64-byte boundary; body and margins
    // are filled with a guard pattern.
    explicit TGuardedBuffer(size_t bytes, size_t misalign = 0)
        : storage_(bytes + 2 * kMargin + 128, 0xA5), size_(bytes), misalign_(misalign) {
        const auto start = reinterpret_cast<uintptr_t>(storage_.data()) + kMargin;
        offset_ = static_cast<size_t>(((start + 63) & ~uintptr_t{63}) - reinterpret_cast<uintptr_t>(storage_.data())) +
                  misalign;
    }

    // An independent copy with the same alignment of its body and the same content.
    TGuardedBuffer(const TGuardedBuffer& other) : TGuardedBuffer(other.size_, other.misalign_) {
        std::memcpy(Window(), other.Window(), WindowSize());
    }
    TGuardedBuffer& operator=(const TGuardedBuffer&) = delete;

    uint8_t* Data() { return storage_.data() + offset_; }
    const uint8_t* Data() const { return storage_.data() + offset_; }
    size_t Size() const { return size_; }

    template <typename T>
    T* As() { return reinterpret_cast<T*>(Data()); }

    // Body and both margins are equal.
    bool operator==(const TGuardedBuffer& other) const {
        return WindowSize() == other.WindowSize() && std::memcmp(Window(), other.Window(), WindowSize()) == 0;
    }

    // The first differing byte relative to Data() (negative inside the front margin), for messages.
    std::string FirstDifference(const TGuardedBuffer& expected) const {
        for (size_t i = 0; i < WindowSize(); ++i)
            if (Window()[i] != expected.Window()[i])
                return "byte " + std::to_string(static_cast<long long>(i) - static_cast<long long>(kMargin)) +
                       ": expected " + std::to_string(expected.Window()[i]) + ", got " + std::to_string(Window()[i]);
        return "none";
    }

private:
    const uint8_t* Window() const { return Data() - kMargin; }
    uint8_t* Window() { return Data() - kMargin; }
    size_t WindowSize() const { return size_ + 2 * kMargin; }

    std::vector<uint8_t> storage_;
    size_t size_ = 0;
    size_t misalign_ = 0;
    size_t offset_ = 0;
};

// The raw pointer-sized content of a slot.
inline uintptr_t SlotWord(const TKernelTable& table, int index) {
    uintptr_t word;
    std::memcpy(&word, KernelSlotAddress(table, index), sizeof(word));
    return word;
}

} // namespace quillset::testing
