#include "stream/bit_stream_reader.h"

#include <cstring>

namespace quillset {

TLargeBitStreamReader::TLargeBitStreamReader(TLargeStream* stream) : Stream(stream) {
    Fill();
}

void TLargeBitStreamReader::Fill() {
    Words[0] = Words[kBufferWords - 1];

    // Streams may hand out less than asked before their end; only a read of nothing is the end,
    // so that a short read never shifts the following data.
    auto* const start = reinterpret_cast<uint8_t*>(Words + Carry);
    const int32_t wanted = (kBufferWords - Carry) * 4;
    int32_t got = 0;
    while (Stream != nullptr && got < wanted) {
        const int32_t n = Stream->Read(start + got, wanted - got);
        if (n <= 0)
            break;
        got += n;
    }
    const int32_t newWords = (got + 3) / 4;
    std::memset(start + got, 0, static_cast<size_t>(newWords * 4 - got));
    for (int32_t i = Carry; i < Carry + newWords; ++i)
        Words[i] = detail::ToBigEndianWord(Words[i]);

    const int32_t total = Carry + newWords;
    WordIndex = 0;
    if (total < kBufferWords) {
        Carry = 0;
        ValidWords = total;
        AtEnd = total == 0;
        Words[total] = 0;
    } else {
        Carry = 1;
        ValidWords = kBufferWords - 1;
    }
}

} // namespace quillset
