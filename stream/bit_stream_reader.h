// Bit-level input for MPEG syntax, most significant bit first. The stream is read in batches of
// up to 8196 words (32784 bytes); the last word of a full batch is kept back and becomes the
// first word of the next one, so a read that crosses the end of a batch finds its continuation.
#pragma once

#include <cassert>
#include <cstdint>

#include "stream/bit_stream_writer.h"
#include "stream/large_stream.h"

namespace quillset {

// Reads bits from a TLargeStream (not owned) from its current position. After the last byte of
// the stream come zero bits up to the end of that word; after those, AtEnd is set and every
// peek returns 0.
class TLargeBitStreamReader {
public:
    static constexpr int32_t kBufferWords = 8196;

    // Reads the first batch at once. A null stream reads as an empty one.
    explicit TLargeBitStreamReader(TLargeStream* stream);
    TLargeBitStreamReader(const TLargeBitStreamReader&) = delete;
    TLargeBitStreamReader& operator=(const TLargeBitStreamReader&) = delete;
    ~TLargeBitStreamReader() = default;

    // The next `count` bits (0 .. 32) without moving; 0 once AtEnd is set.
    uint32_t PeekBits(int32_t count) const {
        assert(count >= 0 && count <= 32);
        if (AtEnd)
            return 0;
        const int32_t left = BitIndex + 1; // 1 .. 32 bits left in the current word
        const uint32_t word = Words[WordIndex];
        if (count <= left) // the shift may be 32 when count is 0: done in 64 bits
            return static_cast<uint32_t>(uint64_t{word} >> (left - count)) & detail::LowBitMask(count);
        const int32_t more = count - left; // 1 .. 31 bits from the next word
        return ((word & detail::LowBitMask(left)) << more) | (Words[WordIndex + 1] >> (32 - more));
    }

    // Moves `count` bits (any non-negative count) ahead.
    void SkipBits(int32_t count) {
        while (count > 32) {
            SkipWithinWord(32);
            count -= 32;
        }
        SkipWithinWord(count);
    }

    uint32_t GetBits(int32_t count) {
        const uint32_t value = PeekBits(count);
        SkipWithinWord(count);
        return value;
    }

    // Skips to the next byte boundary of the stream.
    void ByteAlign() { SkipWithinWord((BitIndex + 1) & 7); }

    bool IsAtEnd() const { return AtEnd; }
    // Bits moved over since creation (including those skipped after the end).
    int64_t GetBitsRead() const { return BitsRead; }

private:
    // count 0 .. 32: passes at most into the next word.
    void SkipWithinWord(int32_t count) {
        assert(count >= 0 && count <= 32);
        BitsRead += count;
        BitIndex -= count;
        if (BitIndex < 0) {
            BitIndex += 32;
            if (!AtEnd && ++WordIndex == ValidWords)
                Fill();
        }
    }

    // Reads the next batch behind the kept-back word.
    void Fill();

    TLargeStream* Stream;
    // Words in reading order: bit 31 of a word is its first bit. The entry after the last valid
    // word is zero whenever the batch is short, so a peek across the end sees zero bits.
    uint32_t Words[kBufferWords] = {};
    int32_t WordIndex = 0;
    int32_t ValidWords = 0;
    int32_t Carry = 0; // 1 when word 0 holds the word kept back from the previous batch
    int32_t BitIndex = 31;
    bool AtEnd = false;
    int64_t BitsRead = 0;
};

} // namespace quillset
