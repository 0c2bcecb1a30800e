// The private chunk block: heads, sizes of nested chunks, integer payloads.
#include <gtest/gtest.h>

#include <string>

#include "encoder/video/syntax/user_data_writer.h"

namespace quillset {
namespace {

std::string Contents(TMPEGVideoEncoder_UserDataStreamWriter& writer) {
    TLargeMemoryStream& stream = writer.GetStream();
    return std::string(reinterpret_cast<const char*>(stream.GetMemory()), static_cast<size_t>(stream.GetSize()));
}

TEST(UserDataStreamWriter, DCPrecisionBlockIs56Bytes) {
    TMPEGVideoEncoder_UserDataStreamWriter writer;
    writer.BeginChunk("VDMREXS");
    writer.WriteIntChunk("IDCPREC", 3);
    writer.WriteEmptyChunk("VDMREXE");
    writer.EndChunk();
    const std::string expected = std::string("VDMREXS") + '\0' + "00000028" + "IDCPREC" + '\0' + "00000008" +
                                 "00000003" + "VDMREXE" + '\0' + "00000000";
    EXPECT_EQ(expected.size(), 56u);
    EXPECT_EQ(Contents(writer), expected);
    EXPECT_EQ(writer.GetOpenChunkCount(), 0);
}

TEST(UserDataStreamWriter, SizesCountNestedChunksAndRawPayloads) {
    TMPEGVideoEncoder_UserDataStreamWriter writer;
    writer.BeginChunk("OUTER");       // padded to 7 characters
    writer.BeginChunk("INNERTAGX");   // cut to 7 characters
    writer.WriteChunk("RAWDATA", "abc", 3);
    writer.EndChunk();
    writer.WriteIntChunk("INTVALU", 0xDEADBEEF);
    writer.EndChunk();
    const std::string raw = std::string("RAWDATA") + '\0' + "00000003" + "abc";
    const std::string inner = std::string("INNERTA") + '\0' + "00000013" + raw;
    const std::string value = std::string("INTVALU") + '\0' + "00000008" + "DEADBEEF";
    const std::string outer = std::string("OUTER  ") + '\0' + "0000003B" + inner + value;
    EXPECT_EQ(inner.size() - 16, 0x13u);
    EXPECT_EQ(inner.size() + value.size(), 0x3Bu);
    EXPECT_EQ(Contents(writer), outer);
}

TEST(UserDataStreamWriter, AnUnbalancedEndIsHarmlessAndNestingReachesTheLimit) {
    TMPEGVideoEncoder_UserDataStreamWriter writer;
    writer.EndChunk(); // nothing open
    EXPECT_EQ(writer.GetStream().GetSize(), 0);
    for (int32_t i = 0; i < TMPEGVideoEncoder_UserDataStreamWriter::kMaxOpenChunks; ++i)
        writer.BeginChunk("NESTING");
    EXPECT_EQ(writer.GetOpenChunkCount(), TMPEGVideoEncoder_UserDataStreamWriter::kMaxOpenChunks);
    for (int32_t i = 0; i < TMPEGVideoEncoder_UserDataStreamWriter::kMaxOpenChunks; ++i)
        writer.EndChunk();
    // The outermost chunk holds 255 empty nested heads.
    const std::string all = Contents(writer);
    EXPECT_EQ(all.substr(8, 8), "00000FF0");
    EXPECT_EQ(all.substr(all.size() - 8), "00000000");
}

} // namespace
} // namespace quillset
