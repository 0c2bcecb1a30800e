#include "stream/bit_stream_writer.h"

namespace quillset {

TLargeBitStreamWriter::TLargeBitStreamWriter(TLargeStream* stream) : Stream(stream) {}

void TLargeBitStreamWriter::PutZeroBits(int64_t count) {
    while (count >= 32) {
        PutBits(0, 32);
        count -= 32;
    }
    if (count > 0)
        PutBits(0, static_cast<int32_t>(count));
}

void TLargeBitStreamWriter::PutBytes(const void* data, int32_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (int32_t i = 0; i < count; ++i)
        PutBits(bytes[i], 8);
}

void TLargeBitStreamWriter::FlushWords() {
    if (Stream != nullptr && WordCount > 0)
        Stream->WriteBuffer(Words, WordCount * 4);
    WordCount = 0;

    const int32_t pending = 31 - BitIndex; // bits in the accumulator, 0 .. 31
    const int32_t wholeBytes = pending / 8;
    if (wholeBytes == 0)
        return;
    if (Stream != nullptr) {
        const uint32_t word = detail::ToBigEndianWord(Accumulator);
        Stream->WriteBuffer(&word, wholeBytes);
    }
    // wholeBytes is at most 3, so the shift stays below 32.
    FinishedBits += 8 * wholeBytes;
    BitIndex += 8 * wholeBytes;
    Accumulator <<= 8 * wholeBytes;
}

} // namespace quillset
