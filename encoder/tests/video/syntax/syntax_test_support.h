// Helpers of the syntax tests: a bit writer over memory whose output can be read back as bytes
// or as a string of '0'/'1', and sequence values for small test pictures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoder/video/syntax/syntax_state.h"
#include "stream/bit_stream_reader.h"
#include "stream/bit_stream_writer.h"
#include "stream/memory_stream.h"

namespace quillset::syntax_test {

class TBitCapture {
public:
    TBitCapture() : Writer(std::make_unique<TLargeBitStreamWriter>(&Stream)) {}

    TLargeBitStreamWriter& W() { return *Writer; }
    int64_t Position() const { return Writer->GetBitPosition(); }

    // Flushes (byte-aligning with zero bits, so later writes start on a byte boundary) and
    // returns every byte written.
    std::vector<uint8_t> Bytes() {
        Writer->Flush();
        const uint8_t* memory = Stream.GetMemory();
        return std::vector<uint8_t>(memory, memory + Stream.GetSize());
    }

    // Bits [from, to) of the output as '0'/'1' characters.
    std::string Bits(int64_t from, int64_t to) {
        const std::vector<uint8_t> bytes = Bytes();
        std::string out;
        for (int64_t i = from; i < to; ++i)
            out += ((bytes[static_cast<size_t>(i / 8)] >> (7 - i % 8)) & 1) ? '1' : '0';
        return out;
    }

    // A reader over what was written (flushes first).
    std::unique_ptr<TLargeBitStreamReader> Reader() {
        Writer->Flush();
        Stream.Seek(0, soFromBeginning);
        return std::make_unique<TLargeBitStreamReader>(&Stream);
    }

    TLargeMemoryStream& GetStream() { return Stream; }

private:
    TLargeMemoryStream Stream;
    std::unique_ptr<TLargeBitStreamWriter> Writer;
};

// "0000 0001 000" -> "00000001000".
inline std::string B(const std::string& spaced) {
    std::string out;
    for (char c : spaced)
        if (c == '0' || c == '1')
            out += c;
    return out;
}

inline TMPEGVideoSequenceSyntax TestSequence(bool mpeg2, int32_t mbWidth, int32_t mbHeight, int32_t chromaFormat = 1,
                                             bool interlaced = false) {
    TMPEGVideoSequenceSyntax s;
    s.IsMPEG2 = mpeg2;
    s.Width = 16 * mbWidth;
    s.Height = 16 * mbHeight;
    s.MBWidth = mbWidth;
    s.MBHeight = mbHeight;
    s.ChromaFormat = chromaFormat;
    s.BlocksPerMacroblock = chromaFormat == 2 ? 8 : 6;
    s.AspectRatio = mpeg2 ? 2 : 1;
    s.FrameRateCode = 3;
    s.MaxBitRate = 4000000;
    s.AvgBitRate = 4000000;
    s.VBVBufferSize = 40960;
    s.ProgressiveSequence = !interlaced;
    s.InterlacedCoding = interlaced;
    s.DisplayWidth = s.Width;
    s.DisplayHeight = s.Height;
    return s;
}

} // namespace quillset::syntax_test
