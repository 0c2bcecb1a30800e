#include "encoder/audio/lpcm/wave_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "encoder/tests/audio/lpcm/wave_test_util.h"

namespace quillset {
namespace {

using namespace quillset::testing;

const std::string kSamples = SamplesLE({1, -2, 300, -400, 32767, -32768});

struct ReadCase {
    const char* name;
    std::string file;
    int64_t dataStart;
    std::string data; // the bytes ReadData must give back
    int32_t formatSize;
};

class WaveReaderLayoutTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(WaveReaderLayoutTest, FindsFormatAndData) {
    const ReadCase& c = GetParam();
    auto stream = MemoryStreamOf(c.file);
    TWaveFileReader reader(*stream);
    EXPECT_EQ(reader.GetFormatSize(), c.formatSize);
    EXPECT_EQ(reader.GetDataStart(), c.dataStart);
    ASSERT_EQ(reader.GetDataSize(), static_cast<int64_t>(c.data.size()));
    std::string got(c.data.size() + 8, '\xAA');
    ASSERT_EQ(reader.ReadData(got.data(), static_cast<int32_t>(got.size()), 0), static_cast<int32_t>(c.data.size()));
    got.resize(c.data.size());
    EXPECT_EQ(got, c.data);
    TWavePCMFormat format;
    ASSERT_TRUE(reader.GetPCMFormat(format));
    EXPECT_EQ(format.FormatTag, 1);
    EXPECT_EQ(format.Channels, 2);
    EXPECT_EQ(format.SamplesPerSec, 48000u);
    EXPECT_EQ(format.BlockAlign, 4);
    EXPECT_EQ(format.BitsPerSample, 16);
}

const std::string kFmt16 = Chunk("fmt ", PCMFormatBody(2, 48000, 16));
const std::string kFmt18 = Chunk("fmt ", PCMFormatBody(2, 48000, 16, 1, true));
const std::string kList = Chunk("LIST", "INFOISFT" + LE32(5) + std::string("abcd\0", 5) + '\0');

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveReaderLayoutTest,
    ::testing::Values(
        ReadCase{"plain", Riff(kFmt16 + Chunk("data", kSamples)), 44, kSamples, 16},
        ReadCase{"format with extra size", Riff(kFmt18 + Chunk("data", kSamples)), 46, kSamples, 18},
        ReadCase{"LIST before fmt", Riff(kList + kFmt16 + Chunk("data", kSamples)), 44 + 26, kSamples, 16},
        // An odd chunk is followed by a pad byte its size does not count.
        ReadCase{"odd chunk before data", Riff(kFmt16 + Chunk("junk", "abc") + Chunk("data", kSamples)), 56, kSamples,
                 16},
        ReadCase{"odd data, then a chunk", Riff(kFmt16 + Chunk("data", kSamples + "x") + Chunk("cue ", "1234")), 44,
                 kSamples + "x", 16},
        ReadCase{"data before fmt", Riff(Chunk("data", kSamples) + kFmt16), 20, kSamples, 16},
        ReadCase{"wrong RIFF size is ignored", "RIFF" + LE32(4) + "WAVE" + kFmt16 + Chunk("data", kSamples), 44,
                 kSamples, 16},
        ReadCase{"zero chunk id ends the walk",
                 Riff(kFmt16 + Chunk("data", kSamples) + std::string(8, '\0') + Chunk("data", "zz")), 44, kSamples, 16},
        // A truncated file: the data chunk is taken as far as the bytes go.
        ReadCase{"truncated data", Riff(kFmt16 + Chunk("data", kSamples, 100000)), 44, kSamples, 16},
        ReadCase{"data size 0xFFFFFFFF", Riff(kFmt16 + Chunk("data", kSamples, 0xFFFFFFFF)), 44, kSamples, 16}),
    [](const ::testing::TestParamInfo<ReadCase>& param) {
        std::string name = param.param.name;
        std::replace_if(
            name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
        return name;
    });

TEST(WaveReaderTest, StartsAtTheStreamPosition) {
    const std::string file = Riff(kFmt16 + Chunk("data", kSamples));
    auto stream = MemoryStreamOf("prefix" + file);
    stream->SetPosition(6);
    TWaveFileReader reader(*stream);
    EXPECT_EQ(reader.GetDataStart(), 6 + 44);
    std::string got(4, '\0');
    EXPECT_EQ(reader.ReadData(got.data(), 4, 2), 4);
    EXPECT_EQ(got, kSamples.substr(2, 4));
}

TEST(WaveReaderTest, CutsAFormatLongerThanAWaveFormatExCanBe) {
    const std::string body = PCMFormatBody(2, 48000, 16) + std::string(70000, 'f');
    auto stream = MemoryStreamOf(Riff(Chunk("fmt ", body) + Chunk("data", kSamples)));
    TWaveFileReader reader(*stream);
    EXPECT_EQ(reader.GetFormatSize(), 18 + 65535);
    EXPECT_EQ(reader.GetDataSize(), static_cast<int64_t>(kSamples.size()));
}

TEST(WaveReaderTest, ReadDataHonoursOffsetsAndCounts) {
    auto stream = MemoryStreamOf(Riff(kFmt16 + Chunk("data", kSamples)));
    TWaveFileReader reader(*stream);
    const int32_t size = static_cast<int32_t>(kSamples.size());
    struct {
        int32_t count;
        int64_t offset;
        int32_t expected;
    } cases[] = {{4, -1, 0}, {4, size, 0}, {4, size + 100, 0}, {0, 0, 0}, {-5, 0, 0}, {4, size - 2, 2}, {3, 1, 3}};
    for (const auto& c : cases) {
        std::string got(16, '\0');
        EXPECT_EQ(reader.ReadData(got.data(), c.count, c.offset), c.expected) << c.count << " at " << c.offset;
        if (c.expected > 0) {
            EXPECT_EQ(got.substr(0, c.expected), kSamples.substr(static_cast<size_t>(c.offset), c.expected));
        }
    }
    // Reading out of order still gives the right bytes.
    std::string a(2, '\0'), b(2, '\0');
    reader.ReadData(a.data(), 2, 10);
    reader.ReadData(b.data(), 2, 0);
    EXPECT_EQ(a, kSamples.substr(10, 2));
    EXPECT_EQ(b, kSamples.substr(0, 2));
}

struct BadCase {
    const char* name;
    std::string file;
};

class WaveReaderRejectTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(WaveReaderRejectTest, RaisesIllegalWaveFile) {
    auto stream = MemoryStreamOf(GetParam().file);
    try {
        TWaveFileReader reader(*stream);
        FAIL() << "accepted " << GetParam().name;
    } catch (const EWaveFileError& e) {
        EXPECT_STREQ(e.what(), "Illegal WAVE file");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, WaveReaderRejectTest,
    ::testing::Values(BadCase{"empty", ""}, BadCase{"short", "RIFF"},
                      BadCase{"not RIFF", "RIFX" + LE32(4) + "WAVE" + kFmt16},
                      BadCase{"not WAVE", "RIFF" + LE32(4) + "AVI " + kFmt16 + Chunk("data", kSamples)},
                      BadCase{"no format", Riff(Chunk("data", kSamples))}, BadCase{"no data", Riff(kFmt16)},
                      BadCase{"empty data", Riff(kFmt16 + Chunk("data", ""))},
                      BadCase{"data chunk without bytes", Riff(kFmt16) + "data" + LE32(100)},
                      BadCase{"format chunk without bytes", Riff(Chunk("data", kSamples)) + "fmt " + LE32(16)},
                      BadCase{"huge chunk hides the rest",
                              Riff(Chunk("LIST", "ab", 0xFFFFFFF0) + kFmt16 + Chunk("data", kSamples))},
                      BadCase{"zero id before format", Riff(std::string(8, '\0') + kFmt16 + Chunk("data", kSamples))}));

// Every prefix of a valid file is either read (as far as it goes) or refused; never more.
TEST(WaveReaderTest, EveryTruncationIsReadOrRefused) {
    const std::string file = Riff(kList + Chunk("junk", "abc") + kFmt18 + Chunk("data", kSamples));
    const size_t dataStart = file.size() - kSamples.size();
    for (size_t length = 0; length <= file.size(); ++length) {
        auto stream = MemoryStreamOf(file.substr(0, length));
        try {
            TWaveFileReader reader(*stream);
            ASSERT_GT(length, dataStart) << length;
            EXPECT_EQ(reader.GetDataSize(), static_cast<int64_t>(length - dataStart)) << length;
        } catch (const EWaveFileError&) {
            EXPECT_LE(length, dataStart) << length;
        }
    }
}

// ---- writer ----------------------------------------------------------------------------------

std::string WriteWave(const std::string& data, int32_t pieces = 1) {
    TLargeMemoryStream stream;
    {
        TWaveFileWriter writer(stream);
        writer.SetFormatSize(PCMFormatSize);
        FillPCMFormat(writer.GetFormat(), 48000, 16, 2);
        writer.WriteHeader();
        const size_t step = data.size() / pieces + 1;
        for (size_t at = 0; at < data.size(); at += step)
            writer.WriteData(data.data() + at, static_cast<int64_t>(std::min(step, data.size() - at)));
        writer.Finish();
    }
    return ContentsOf(stream);
}

TEST(WaveWriterTest, WritesTheExactFileLayout) {
    const std::string data = SamplesLE({1, 2, 3, 4});
    const std::string expected =
        "RIFF" + LE32(46) + "WAVE" + "fmt " + LE32(18) + PCMFormatBody(2, 48000, 16, 1, true) + "data" + LE32(8) + data;
    EXPECT_EQ(WriteWave(data), expected);
    EXPECT_EQ(WriteWave(data, 3), expected);
}

TEST(WaveWriterTest, OddDataGetsAPadByteAndTheRiffSizeCountsIt) {
    const std::string file = WriteWave("abc");
    ASSERT_EQ(file.size(), 46u + 3 + 1);
    EXPECT_EQ(file.substr(38, 8), "data" + LE32(3));
    EXPECT_EQ(file.substr(46), std::string("abc\0", 4));
    EXPECT_EQ(file.substr(4, 4), LE32(file.size() - 8));
}

TEST(WaveWriterTest, AnOddFormatIsPaddedToo) {
    TLargeMemoryStream stream;
    {
        TWaveFileWriter writer(stream);
        writer.SetFormatSize(19);
        FillPCMFormat(writer.GetFormat(), 48000, 16, 1);
        writer.WriteHeader();
        EXPECT_EQ(writer.GetHeaderSize(), 12 + 8 + 20 + 8);
        writer.WriteData("ab", 2);
    }
    auto in = MemoryStreamOf(ContentsOf(stream));
    TWaveFileReader reader(*in);
    EXPECT_EQ(reader.GetFormatSize(), 19);
    EXPECT_EQ(reader.GetDataStart(), 48);
}

TEST(WaveWriterTest, SizesStayZeroUntilFinishedAndTheDestructorFinishes) {
    TLargeMemoryStream stream;
    {
        TWaveFileWriter writer(stream);
        writer.SetFormatSize(PCMFormatSize);
        FillPCMFormat(writer.GetFormat(), 48000, 16, 2);
        writer.WriteHeader();
        writer.WriteData("abcd", 4);
        const std::string partial = ContentsOf(stream);
        EXPECT_EQ(partial.substr(0, 4), std::string(4, '\0'));
        EXPECT_EQ(partial.substr(38, 8), "data" + LE32(0));
    }
    const std::string file = ContentsOf(stream);
    EXPECT_EQ(file.substr(0, 12), "RIFF" + LE32(42) + "WAVE");
    EXPECT_EQ(file.substr(38, 8), "data" + LE32(4));
}

TEST(WaveWriterTest, FillPCMFormatComputesAlignAndRate) {
    struct {
        int32_t frequency, bits, channels;
        uint32_t align;
    } cases[] = {{48000, 16, 2, 4}, {44100, 8, 1, 1}, {96000, 24, 6, 18}};
    for (const auto& c : cases) {
        uint8_t format[PCMFormatSize];
        std::memset(format, 0xEE, sizeof format);
        FillPCMFormat(format, c.frequency, c.bits, c.channels);
        const std::string expected = LE16(1) + LE16(c.channels) + LE32(c.frequency) + LE32(c.align * c.frequency) +
                                     LE16(c.align) + LE16(c.bits) + LE16(0);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(format), PCMFormatSize), expected);
    }
}

TEST(WaveWriterTest, DataBeforeTheHeaderIsAWriteError) {
    TLargeMemoryStream stream;
    TWaveFileWriter writer(stream);
    writer.SetFormatSize(PCMFormatSize);
    EXPECT_THROW(writer.WriteData("ab", 2), EWaveFileError);
    EXPECT_EQ(stream.GetSize(), 0);
}

TEST(WaveWriterTest, DataThatWouldOverflowTheRiffSizeIsRefusedAndTheFileFinished) {
    TLargeMemoryStream stream;
    TWaveFileWriter writer(stream);
    writer.SetFormatSize(PCMFormatSize);
    FillPCMFormat(writer.GetFormat(), 48000, 16, 2);
    writer.WriteHeader();
    writer.WriteData("abcd", 4);
    // The limit is checked before a byte is touched, so the count may exceed the buffer.
    const int64_t tooMany = 0xFFFFFFFFLL - writer.GetHeaderSize() - 4 + 1;
    try {
        writer.WriteData("x", tooMany);
        FAIL() << "accepted";
    } catch (const EWaveFileError& e) {
        EXPECT_STREQ(e.what(), "Stream writing error");
    }
    EXPECT_EQ(writer.GetDataSize(), 4);
    const std::string file = ContentsOf(stream);
    EXPECT_EQ(file.size(), 50u);
    EXPECT_EQ(file.substr(0, 12), "RIFF" + LE32(42) + "WAVE");
    EXPECT_EQ(file.substr(38, 8), "data" + LE32(4));
}

// A disk that fills up: bytes over existing ones are always written, growth only while `Room`
// lasts.
class FullDiskStream : public TLargeMemoryStream {
public:
    int32_t Write(const void* buffer, int32_t count) override {
        const int32_t inPlace = static_cast<int32_t>(std::clamp<int64_t>(GetSize() - GetPosition(), 0, count));
        const int32_t n = inPlace + std::min(Room, count - inPlace);
        Room -= n - inPlace;
        return n > 0 ? TLargeMemoryStream::Write(buffer, n) : 0;
    }
    int32_t Room = 1 << 30;
};

TEST(WaveWriterTest, AShortWriteFinishesTheFileWithWhatWasWritten) {
    FullDiskStream stream;
    TWaveFileWriter writer(stream);
    writer.SetFormatSize(PCMFormatSize);
    FillPCMFormat(writer.GetFormat(), 48000, 16, 2);
    writer.WriteHeader();
    stream.Room = 5; // five data bytes, and no room for the pad byte
    try {
        writer.WriteData("abcdefgh", 8);
        FAIL() << "accepted";
    } catch (const EWaveFileError& e) {
        EXPECT_STREQ(e.what(), "Stream writing error");
    }
    EXPECT_EQ(writer.GetDataSize(), 5);
    const std::string file = ContentsOf(stream);
    ASSERT_EQ(file.size(), 46u + 5);
    EXPECT_EQ(file.substr(0, 12), "RIFF" + LE32(43) + "WAVE");
    EXPECT_EQ(file.substr(38, 8), "data" + LE32(5));
    EXPECT_EQ(file.substr(46), "abcde");
    // The finished file reads back with the bytes that were written.
    auto in = MemoryStreamOf(file);
    EXPECT_EQ(TWaveFileReader(*in).GetDataSize(), 5);
}

TEST(WaveWriterTest, WhatTheWriterWritesTheReaderReads) {
    std::string data;
    for (int i = 0; i < 1001; ++i)
        data += static_cast<char>(i * 7);
    auto stream = MemoryStreamOf(WriteWave(data, 7));
    TWaveFileReader reader(*stream);
    std::string got(data.size(), '\0');
    ASSERT_EQ(reader.ReadData(got.data(), static_cast<int32_t>(got.size()), 0), static_cast<int32_t>(data.size()));
    EXPECT_EQ(got, data);
}

} // namespace
} // namespace quillset
