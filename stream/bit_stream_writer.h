// Bit-level output for MPEG syntax: every element is written most significant bit first
// (ISO/IEC 11172-1/-2, 13818-1/-2: "bslbf"/"uimsbf" fields). Bits are gathered in a 32-bit
// accumulator and handed to the stream in batches of 8196 words (32784 bytes).
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>

#include "stream/large_stream.h"

namespace quillset {

namespace detail {

// The low `count` bits set, for count 0 .. 32 (no shift by 32 happens in 32-bit arithmetic).
inline constexpr uint32_t LowBitMask(int32_t count) {
    return static_cast<uint32_t>((uint64_t{1} << count) - 1);
}

// A word as it lies in a file, most significant byte first, and back (the swap is its own
// inverse).
inline constexpr uint32_t ToBigEndianWord(uint32_t word) {
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap32(word);
    else
        return word;
}

} // namespace detail

// Writes bits into a TLargeStream (not owned). The writer does not flush when it is destroyed:
// its owner calls Flush first. With no stream (see TLargeNullBitStreamWriter) the writer does
// all the same work, but finished words are dropped, so a dry run counts exact sizes.
class TLargeBitStreamWriter {
public:
    static constexpr int32_t kBufferWords = 8196;

    explicit TLargeBitStreamWriter(TLargeStream* stream);
    TLargeBitStreamWriter(const TLargeBitStreamWriter&) = delete;
    TLargeBitStreamWriter& operator=(const TLargeBitStreamWriter&) = delete;
    ~TLargeBitStreamWriter() = default;

    // Appends the low `count` bits of value (count 0 .. 32), most significant first.
    void PutBits(uint32_t value, int32_t count) {
        assert(count >= 0 && count <= 32);
        const uint32_t bits = value & detail::LowBitMask(count);
        const int32_t free = BitIndex + 1; // 1 .. 32 bits left in the accumulator
        if (count < free) {
            // The shift is 1 .. 32; done in 64 bits so that 32 is defined.
            Accumulator |= static_cast<uint32_t>(uint64_t{bits} << (free - count));
            BitIndex -= count;
            return;
        }
        const int32_t rest = count - free; // 0 .. 31 bits that go into the next word
        Accumulator |= bits >> rest;
        StoreWord();
        Accumulator = static_cast<uint32_t>(uint64_t{bits} << (32 - rest));
        BitIndex = 31 - rest;
    }

    // `count` zero bits, any non-negative count.
    void PutZeroBits(int64_t count);
    // Each byte as PutBits(byte, 8).
    void PutBytes(const void* data, int32_t count);
    // Zero bits up to the next byte boundary; nothing when already on one.
    void ByteAlign() { PutBits(0, (BitIndex + 1) & 7); }

    // Writes the finished words and the whole bytes of the accumulator to the stream; at most
    // 7 bits stay pending.
    void FlushWords();
    // ByteAlign, then FlushWords: afterwards every bit written is in the stream.
    void Flush() {
        ByteAlign();
        FlushWords();
    }

    // The number of bits written, counted from the base (0 unless SetBitPosition moved it).
    int64_t GetBitPosition() const { return BitBase + GetBitCount(); }
    // Moves the bits counted so far into the base; the position is unchanged.
    void FoldBitCount() {
        BitBase += GetBitCount();
        CountStart = GetTotalBits();
    }

    // Bits written since the base was last set or folded.
    int64_t GetBitCount() const { return GetTotalBits() - CountStart; }
    TLargeStream* GetStream() const { return Stream; }

protected:
    // Sets the base; counting continues from it.
    void SetBase(int64_t position) {
        BitBase = position;
        CountStart = GetTotalBits();
    }

private:
    // Bits written since creation: those that left the accumulator and those still in it.
    int64_t GetTotalBits() const { return FinishedBits + (31 - BitIndex); }

    // The full accumulator becomes the next word; a full buffer goes to the stream.
    void StoreWord() {
        Words[WordCount++] = detail::ToBigEndianWord(Accumulator);
        FinishedBits += 32;
        Accumulator = 0;
        BitIndex = 31;
        if (WordCount == kBufferWords)
            FlushWords();
    }

    // The bit count since the base is derived from the bits written rather than counted by
    // every PutBits: the common path then touches only the accumulator and its index. It is
    // 64 bits wide, so the position stays exact on streams longer than 2^31 bits even when
    // nobody folds.
    int64_t BitBase = 0;
    int64_t CountStart = 0;   // GetTotalBits() when the base was last set or folded
    int64_t FinishedBits = 0; // bits moved from the accumulator into words or the stream
    TLargeStream* Stream;
    uint32_t Words[kBufferWords]; // finished words, big-endian in memory
    int32_t WordCount = 0;
    uint32_t Accumulator = 0;     // the word being filled, bit 31 first
    int32_t BitIndex = 31;        // next free bit of Accumulator; 31 when empty
};

// The writer without a stream: counts the bits a picture or a header would take.
class TLargeNullBitStreamWriter : public TLargeBitStreamWriter {
public:
    TLargeNullBitStreamWriter() : TLargeBitStreamWriter(nullptr) {}

    // Counting continues from `position`.
    void SetBitPosition(int64_t position) { SetBase(position); }
};

} // namespace quillset
