#include "stream/byte_buffer_bit_rewriter.h"

#include <algorithm>
#include <cassert>

namespace quillset {

namespace {
inline uint32_t ByteMask(int32_t count) { return (1u << count) - 1; } // count 0 .. 8
} // namespace

void TByteBufferBitRewriter::Attach(uint8_t* buffer, bool clearAhead) {
    Buffer = buffer;
    ByteIndex = 0;
    BitIndex = 7;
    ClearAhead = clearAhead;
    ClearPending = clearAhead;
}

void TByteBufferBitRewriter::Advance(int32_t n) {
    BitIndex -= n;
    if (BitIndex < 0) {
        BitIndex = 7;
        ++ByteIndex;
        ClearPending = ClearAhead;
    }
}

uint32_t TByteBufferBitRewriter::PeekBits(int32_t count) {
    assert(count >= 0 && count <= 32);
    if (count <= 0)
        return 0;
    ClearCurrent();
    // Bytes beyond the current one are read as they are: the position has not entered them.
    uint64_t result = 0;
    int32_t byteIndex = ByteIndex;
    int32_t bitIndex = BitIndex;
    while (count > 0) {
        const int32_t n = std::min(count, bitIndex + 1);
        const uint32_t piece = (Buffer[byteIndex] >> (bitIndex - n + 1)) & ByteMask(n);
        result = (result << n) | piece;
        count -= n;
        bitIndex -= n;
        if (bitIndex < 0) {
            bitIndex = 7;
            ++byteIndex;
        }
    }
    return static_cast<uint32_t>(result);
}

void TByteBufferBitRewriter::SkipBits(int32_t count) {
    while (count > 0) {
        const int32_t n = std::min(count, BitIndex + 1);
        ClearCurrent();
        Advance(n);
        count -= n;
    }
}

uint32_t TByteBufferBitRewriter::GetBits(int32_t count) {
    const uint32_t value = PeekBits(count);
    SkipBits(count);
    return value;
}

void TByteBufferBitRewriter::PutBits(uint32_t value, int32_t count) {
    assert(count >= 0 && count <= 32);
    while (count > 0) {
        const int32_t n = std::min(count, BitIndex + 1);
        const int32_t shift = BitIndex - n + 1;
        // count - n is 0 .. 31 here, so the shift is defined.
        const uint32_t piece = (value >> (count - n)) & ByteMask(n);
        const uint32_t mask = ByteMask(n) << shift;
        ClearCurrent();
        uint8_t& byte = Buffer[ByteIndex];
        byte = static_cast<uint8_t>((byte & ~mask) | ((piece << shift) & mask));
        Advance(n);
        count -= n;
    }
}

void TByteBufferBitRewriter::ByteAlign() {
    if (BitIndex != 7)
        SkipBits(BitIndex + 1);
}

} // namespace quillset
