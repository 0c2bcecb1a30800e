// The memory stream and the operations every stream inherits from the root class.
#include <gtest/gtest.h>

#include <cstring>

#include "stream/cdxa_stream.h"
#include "stream/memory_stream.h"
#include "stream/tests/stream_test_util.h"

namespace quillset {
namespace {

using testing::RandomBytes;
using testing::ReadAll;

TEST(MemoryStream, CapacityFollowsSizeInSteps) {
    struct Step {
        int64_t size;
        int64_t capacity;
    };
    const Step steps[] = {{5000, 8192}, {4096, 4096}, {4097, 8192}, {1, 4096}, {0, 0}, {12289, 16384}};
    TLargeMemoryStream stream;
    for (const Step& step : steps) {
        stream.SetSize(step.size);
        EXPECT_EQ(stream.GetSize(), step.size);
        EXPECT_EQ(stream.GetCapacity(), step.capacity) << "size " << step.size;
    }
}

TEST(MemoryStream, SeekClampsToTheData) {
    TLargeMemoryStream stream;
    stream.SetSize(4096);
    struct Case {
        int64_t offset;
        uint16_t origin;
        int64_t expected;
    };
    const Case cases[] = {{-10, soFromBeginning, 0}, {10000, soFromBeginning, 4096}, {100, soFromBeginning, 100},
                          {-50, soFromCurrent, 50},  {-96, soFromEnd, 4000},         {1, soFromEnd, 4096},
                          {-5000, soFromEnd, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(stream.Seek(c.offset, c.origin), c.expected) << c.offset << " from " << c.origin;
    EXPECT_THROW(stream.Seek(0, 3), EAbstractError);
}

TEST(MemoryStream, RefusesImpossibleSizes) {
    TLargeMemoryStream stream;
    for (const int64_t size : {int64_t{-1}, int64_t{1} << 31, int64_t{1} << 40}) {
        try {
            stream.SetSize(size);
            ADD_FAILURE() << "size " << size << " accepted";
        } catch (const ELargeStreamError& error) {
            EXPECT_STREQ(error.what(), "New size of the stream is not correct.");
        }
    }
    EXPECT_EQ(stream.GetSize(), 0);
}

TEST(MemoryStream, ShrinkClampsThePositionAndGrowthReadsZeros) {
    TLargeMemoryStream stream;
    const std::string data = RandomBytes(6000, 1);
    stream.WriteBuffer(data.data(), 6000);
    stream.SetSize(100);
    EXPECT_EQ(stream.GetPosition(), 100);
    stream.SetSize(9000);
    const std::string all = ReadAll(stream);
    EXPECT_EQ(all.substr(0, 100), data.substr(0, 100));
    EXPECT_EQ(all.substr(100), std::string(8900, '\0'));
}

TEST(MemoryStream, WritesOverwriteAndAppend) {
    TLargeMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    stream.SetPosition(4);
    stream.WriteBuffer("XYZ", 3);
    EXPECT_EQ(ReadAll(stream), "abcdXYZ");
    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1), 0);
    EXPECT_EQ(stream.Write(&byte, 0), 0);
    EXPECT_EQ(stream.Write(&byte, -5), 0);
}

TEST(LargeStream, WholeTransfersReportShortCounts) {
    TLargeMemoryStream source;
    source.WriteBuffer("0123456789", 10);
    source.SetPosition(0);
    char buffer[16];
    try {
        source.ReadBuffer(buffer, 11);
        ADD_FAILURE() << "short read accepted";
    } catch (const EReadError& error) {
        EXPECT_STREQ(error.what(), "Stream reading error");
    }
    source.ReadBuffer(buffer, 0); // nothing to read is no error, even at the end

    // A stream that refuses writes (the CD-XA reader) makes WriteBuffer fail.
    TLargeCDXAExtractDataStream readOnly(source);
    try {
        readOnly.WriteBuffer(buffer, 1);
        ADD_FAILURE() << "refused write accepted";
    } catch (const EWriteError& error) {
        EXPECT_STREQ(error.what(), "Stream writing error");
    }
    readOnly.WriteBuffer(buffer, 0);
}

TEST(LargeStream, CopyFromCopiesExactlyOrUntilExhausted) {
    const std::string data = RandomBytes(10000, 2); // more than two 4096-byte pieces
    TLargeMemoryStream source;
    source.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));

    TLargeMemoryStream all;
    source.SetPosition(0);
    all.CopyFrom(source, -1);
    EXPECT_EQ(ReadAll(all), data);

    TLargeMemoryStream part;
    source.SetPosition(1000);
    part.CopyFrom(source, 5000);
    EXPECT_EQ(ReadAll(part), data.substr(1000, 5000));
    EXPECT_EQ(source.GetPosition(), 6000);

    TLargeMemoryStream none;
    none.CopyFrom(source, 0);
    EXPECT_EQ(none.GetSize(), 0);

    source.SetPosition(9000);
    EXPECT_THROW(none.CopyFrom(source, 2000), EReadError);
}

} // namespace
} // namespace quillset
