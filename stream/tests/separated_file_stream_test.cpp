// The stream spread over temporary piece files.
#include <gtest/gtest.h>

#include <climits>
#include <dirent.h>
#include <random>
#include <sys/stat.h>

#include "stream/no_buffering_file_stream.h"
#include "stream/separated_file_stream.h"
#include "stream/temp_file.h"
#include "stream/tests/stream_test_util.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::FileExists;
using testing::RandomBytes;
using testing::TempDir;

size_t FilesIn(const std::string& folder) {
    size_t count = 0;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            count += entry->d_name[0] != '.' ? 1 : 0;
        ::closedir(dir);
    }
    return count;
}

// Runs with pieces of either file class and puts the class switch and name counter back.
class SeparatedFileStream : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        savedSwitch = GetUseNoBufferingFileStream();
        savedCounter = GetTempFileCounter();
        SetUseNoBufferingFileStream(GetParam());
    }
    void TearDown() override {
        SetUseNoBufferingFileStream(savedSwitch);
        SetTempFileCounter(savedCounter);
    }

    TempDir dir;
    bool savedSwitch = false;
    int32_t savedCounter = 0;
};

INSTANTIATE_TEST_SUITE_P(PieceClass, SeparatedFileStream, ::testing::Bool(),
                         [](const auto& testInfo) { return testInfo.param ? "NoBuffering" : "Plain"; });

TEST_P(SeparatedFileStream, SpreadsDataOverPiecesAndRemovesThem) {
    const std::string data = RandomBytes(25, 8);
    std::vector<std::string> names;
    {
        TLargeSeparatedFileStream stream(dir.Path(), "vbr", "tmp", 10);
        stream.WriteBuffer(data.data(), 25);
        ASSERT_EQ(stream.GetFiles().size(), 3u);
        const int64_t sizes[] = {10, 10, 5};
        for (size_t i = 0; i < 3; ++i) {
            const TLargeSeparatedFileStream_FileEntry& piece = stream.GetFiles()[i];
            EXPECT_EQ(piece.Size, sizes[i]);
            EXPECT_EQ(piece.Offset, int64_t(10 * i));
            EXPECT_EQ(piece.Growing, i == 2);
            EXPECT_EQ(piece.Stream->GetSize(), sizes[i]);
            EXPECT_EQ(piece.FileName.rfind(dir.Path() + "/vbr_", 0), 0u) << piece.FileName;
            EXPECT_TRUE(FileExists(piece.FileName));
            names.push_back(piece.FileName);
        }
        EXPECT_EQ(stream.GetSize(), 25);
        EXPECT_EQ(stream.Seek(8, soFromBeginning), 8);
        char back[32];
        EXPECT_EQ(stream.Read(back, 32), 17);
        EXPECT_EQ(std::string(back, 17), data.substr(8));
    }
    for (const std::string& name : names)
        EXPECT_FALSE(FileExists(name)) << name;
    EXPECT_EQ(FilesIn(dir.Path()), 0u);
}

TEST_P(SeparatedFileStream, RandomTransfersMatchAPlainCopy) {
    std::mt19937 random(9);
    std::string model;
    TLargeSeparatedFileStream stream(dir.Path(), "mc", "tmp", 4000);
    int64_t position = 0;
    for (int op = 0; op < 300; ++op) {
        SCOPED_TRACE("operation " + std::to_string(op));
        const int kind = static_cast<int>(random() % 3);
        const auto length = static_cast<int32_t>(random() % 6000);
        if (kind == 0) {
            const std::string data = RandomBytes(static_cast<size_t>(length), random());
            ASSERT_EQ(stream.Write(data.data(), length), length);
            if (position + length > static_cast<int64_t>(model.size()))
                model.resize(static_cast<size_t>(position + length));
            model.replace(static_cast<size_t>(position), static_cast<size_t>(length), data);
            position += length;
        } else if (kind == 1) {
            position = std::min<int64_t>(random() % (model.size() + 200), model.size());
            ASSERT_EQ(stream.Seek(position, soFromBeginning), position);
        } else {
            std::string back(static_cast<size_t>(length), '\0');
            const int32_t got = stream.Read(back.data(), length);
            const int32_t expected = static_cast<int32_t>(std::min<int64_t>(length, model.size() - position));
            ASSERT_EQ(got, expected);
            ASSERT_EQ(back.substr(0, static_cast<size_t>(got)), model.substr(static_cast<size_t>(position), got));
            position += got;
        }
        ASSERT_EQ(stream.GetSize(), static_cast<int64_t>(model.size()));
    }
    for (const TLargeSeparatedFileStream_FileEntry& piece : stream.GetFiles())
        EXPECT_LE(piece.Size, 4000);
}

TEST_P(SeparatedFileStream, StopsWhenNoMorePieceCanBeNamed) {
    TLargeSeparatedFileStream stream(dir.Path(), "vbr", "tmp", 10);
    const std::string data = RandomBytes(25, 10);
    stream.WriteBuffer(data.data(), 10);
    SetTempFileCounter(-1);
    EXPECT_EQ(stream.Write(data.data() + 10, 15), 0);
    EXPECT_EQ(stream.GetSize(), 10);
    EXPECT_THROW(stream.SetSize(5), ELargeStreamError);
}

TEST_P(SeparatedFileStream, WriteAtTheEndOfAFullPieceStartsTheNext) {
    TLargeSeparatedFileStream stream(dir.Path(), "vbr", "tmp", 10);
    stream.WriteBuffer("0123456789", 10);
    stream.SetPosition(3);
    stream.SetPosition(10);
    stream.WriteBuffer("abc", 3);
    ASSERT_EQ(stream.GetFiles().size(), 2u);
    stream.SetPosition(8);
    stream.WriteBuffer("XYZ", 3); // across the boundary, overwriting
    stream.SetPosition(0);
    char back[13];
    stream.ReadBuffer(back, 13);
    EXPECT_EQ(std::string(back, 13), "01234567XYZbc");
    EXPECT_EQ(stream.GetFiles().size(), 2u);
}

} // namespace
} // namespace quillset
