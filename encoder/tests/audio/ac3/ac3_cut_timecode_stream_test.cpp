#include "encoder/audio/ac3/ac3_cut_timecode_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "encoder/audio/ac3/ac3_frame_size.h"
#include "stream/memory_stream.h"

namespace quillset {
namespace {

// A syncframe of the frame size code: syncword, crc1, fscod/frmsizecod, then a filler that tells
// the frames apart (as long as at 48 kHz when fscod is the reserved 3).
std::string Frame(int frmsizecod, char fill, int fscod = 0) {
    std::string frame(static_cast<size_t>(2 * AC3FrameWords(fscod == 3 ? 0 : fscod, frmsizecod)), fill);
    frame[0] = 0x0B;
    frame[1] = 0x77;
    frame[2] = frame[3] = 0;
    frame[4] = static_cast<char>(fscod << 6 | frmsizecod);
    return frame;
}

std::string TimeCode() { return std::string(16, '\x55'); }

std::string ReadAll(TLargeStream& stream, int chunk = 100) {
    std::string out;
    char buffer[4096];
    for (int n; (n = stream.Read(buffer, chunk)) > 0;)
        out.append(buffer, static_cast<size_t>(n));
    return out;
}

void Fill(TLargeMemoryStream& stream, const std::string& bytes) {
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
}

TEST(AC3CutTimeCodeStreamTest, FrameSizes) {
    struct Case {
        int fscod, frmsizecod, words;
    } cases[] = {{0, 0, 64}, {0, 30, 896}, {1, 0, 69}, {1, 1, 70}, {1, 37, 1394}, {2, 37, 1920},
                 {2, 38, 0}, {3, 4, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(AC3FrameWords(c.fscod, c.frmsizecod), c.words) << c.fscod << " " << c.frmsizecod;
    const uint8_t header[] = {0x0B, 0x77, 0, 0, 0x80 | 30, 0};
    EXPECT_EQ(AC3FrameBytes(header), 2 * 1344);
    const uint8_t notSync[] = {0x0B, 0x78, 0, 0, 30, 0};
    EXPECT_EQ(AC3FrameBytes(notSync), 0);
}

TEST(AC3CutTimeCodeStreamTest, DropsTimeCodeBlocks) {
    const std::string a = Frame(0, 'a'), b = Frame(2, 'b'), c = Frame(37, 'c', 2);
    TLargeMemoryStream source;
    Fill(source, TimeCode() + a + TimeCode() + b + c + TimeCode());
    TDolbyAC3CutSMPTETimeCodeStream stream(source);
    for (int chunk : {1, 100, 4096}) {
        stream.SetPosition(0);
        EXPECT_EQ(ReadAll(stream, chunk), a + b + c) << chunk;
    }
    EXPECT_EQ(stream.GetSize(), static_cast<int64_t>(a.size() + b.size() + c.size()));
    EXPECT_EQ(stream.Write("x", 1), 0);
}

TEST(AC3CutTimeCodeStreamTest, EndsWhereTheFramesEnd) {
    const std::string a = Frame(0, 'a'), b = Frame(4, 'b');
    struct Case {
        const char* name;
        std::string source;
        std::string delivered;
    } cases[] = {
        {"two foreign blocks in a row", a + TimeCode() + TimeCode() + b, a},
        {"reserved fscod", a + Frame(4, 'x', 3) + b, a},
        {"frame size code 38", a + Frame(0, 'x').replace(4, 1, 1, '\x26') + b, a},
        {"cut short", a + b.substr(0, b.size() - 1), a},
        {"short time-code tail", a + std::string(10, '\x55'), a},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        TLargeMemoryStream source;
        Fill(source, c.source);
        TDolbyAC3CutSMPTETimeCodeStream stream(source);
        EXPECT_EQ(ReadAll(stream), c.delivered) << c.name;
        EXPECT_EQ(stream.GetSize(), static_cast<int64_t>(c.delivered.size())) << c.name;
    }
}

// Positions count the filtered bytes; going back reads the source again.
TEST(AC3CutTimeCodeStreamTest, SeeksInFilteredBytes) {
    const std::string a = Frame(0, 'a'), b = Frame(2, 'b'), c = Frame(1, 'c');
    const std::string all = a + b + c;
    TLargeMemoryStream source;
    Fill(source, TimeCode() + a + TimeCode() + b + TimeCode() + c);
    TDolbyAC3CutSMPTETimeCodeStream stream(source);
    char buffer[64];
    // Each seek is followed by a read of 20 bytes, which moves the position on.
    struct Case {
        int64_t offset;
        uint16_t origin;
        int64_t position;
    } cases[] = {{200, soFromBeginning, 200}, {-150, soFromCurrent, 70}, {-20, soFromEnd, int64_t(all.size()) - 20},
                 {130, soFromBeginning, 130}, {5000, soFromBeginning, int64_t(all.size())},
                 {-7, soFromBeginning, 0}};
    for (const Case& k : cases) {
        ASSERT_EQ(stream.Seek(k.offset, k.origin), k.position) << k.offset;
        const int n = stream.Read(buffer, 20);
        const std::string expected = all.substr(static_cast<size_t>(k.position), 20);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), expected) << k.offset;
        EXPECT_EQ(stream.GetPosition(), k.position + n);
    }
}

// The filter starts where the source stands when it is created; the size is found without
// moving the reading on.
TEST(AC3CutTimeCodeStreamTest, StartsAtTheSourcePosition) {
    const std::string a = Frame(0, 'a'), b = Frame(0, 'b');
    TLargeMemoryStream source;
    Fill(source, std::string(7, 'z') + a + TimeCode() + b);
    source.SetPosition(7);
    TDolbyAC3CutSMPTETimeCodeStream stream(source);
    char buffer[10];
    ASSERT_EQ(stream.Read(buffer, 10), 10);
    EXPECT_EQ(stream.GetSize(), static_cast<int64_t>(a.size() + b.size()));
    EXPECT_EQ(ReadAll(stream), (a + b).substr(10));
    stream.SetPosition(0);
    EXPECT_EQ(ReadAll(stream), a + b);
}

} // namespace
} // namespace quillset
