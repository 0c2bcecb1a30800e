// Most-significant-bit-first output into a byte buffer, as A/52 lays out every element. Without
// a buffer the writer only counts, so that the size of side information can be measured with
// the same code that writes it.
#pragma once

#include <cassert>
#include <cstdint>

namespace quillset::ac3sube {

class TAC3BitWriter {
public:
    // buffer: capacity bytes (zeroed by the caller), or null to count only.
    TAC3BitWriter(uint8_t* buffer, int32_t capacity) : Buffer(buffer), Capacity(capacity) {}

    // Appends the low count bits of value (count 0 .. 24), most significant first.
    void Put(uint32_t value, int32_t count) {
        assert(count >= 0 && count <= 24);
        Position += count;
        if (Buffer == nullptr)
            return;
        Accumulator = Accumulator << count | (value & ((1u << count) - 1));
        Pending += count;
        while (Pending >= 8) {
            Pending -= 8;
            assert(Out < Capacity);
            Buffer[Out++] = static_cast<uint8_t>(Accumulator >> Pending);
        }
    }

    // Writes the bits of an unfinished byte (the rest of that byte stays 0).
    void Flush() {
        if (Buffer != nullptr && Pending > 0) {
            assert(Out < Capacity);
            Buffer[Out++] = static_cast<uint8_t>(Accumulator << (8 - Pending));
            Pending = 0;
        }
    }

    int64_t BitPosition() const { return Position; }

private:
    uint8_t* Buffer;
    int32_t Capacity;
    int32_t Out = 0;        // bytes written
    uint64_t Accumulator = 0;
    int32_t Pending = 0;    // bits in the accumulator not yet written (0 .. 7 between calls)
    int64_t Position = 0;
};

} // namespace quillset::ac3sube
