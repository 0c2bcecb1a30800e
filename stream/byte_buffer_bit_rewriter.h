// Reads and overwrites bit fields in place inside a byte buffer, most significant bit first:
// used to patch header fields of packets and pictures that are already assembled.
#pragma once

#include <cstdint>

namespace quillset {

// The buffer is not owned and has no known size: the caller keeps every field it reads or
// writes inside it. PeekBits and GetBits read at most 32 bits at a time.
//
// With ClearAhead each byte is zeroed when the position enters it, before any of its bits is
// read or written. The byte the position merely arrives at is zeroed on its first use, never
// by the arrival itself, so a field that ends on the last byte of the buffer does not touch
// the byte after it.
class TByteBufferBitRewriter {
public:
    TByteBufferBitRewriter() = default;
    TByteBufferBitRewriter(uint8_t* buffer, bool clearAhead) { Attach(buffer, clearAhead); }

    // Positions at the most significant bit of byte 0.
    void Attach(uint8_t* buffer, bool clearAhead);

    // Bytes passed, counting the current byte when some of its bits are passed.
    int32_t GetByteCount() const { return ByteIndex + (BitIndex != 7 ? 1 : 0); }
    int32_t GetByteIndex() const { return ByteIndex; }
    // The next bit of the current byte, 7 (most significant) down to 0.
    int32_t GetBitIndex() const { return BitIndex; }

    // The next `count` bits (0 .. 32) without moving.
    uint32_t PeekBits(int32_t count);
    // Moves `count` bits (any non-negative count) ahead.
    void SkipBits(int32_t count);
    // PeekBits, then SkipBits.
    uint32_t GetBits(int32_t count);
    // Overwrites the next `count` bits (0 .. 32) with the low `count` bits of value, keeping the
    // other bits of each byte, and moves past them.
    void PutBits(uint32_t value, int32_t count);
    // Moves to the next byte boundary when not on one.
    void ByteAlign();

private:
    // Zeroes the current byte when ClearAhead entered it and it was not used yet.
    void ClearCurrent() {
        if (ClearPending) {
            Buffer[ByteIndex] = 0;
            ClearPending = false;
        }
    }
    // Moves n bits (1 .. BitIndex + 1) within the current byte, into the next one at its end.
    void Advance(int32_t n);

    uint8_t* Buffer = nullptr;
    int32_t ByteIndex = 0;
    int32_t BitIndex = 7;
    bool ClearAhead = false;
    bool ClearPending = false; // the current byte still has to be zeroed
};

} // namespace quillset
