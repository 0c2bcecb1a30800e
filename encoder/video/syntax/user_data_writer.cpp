#include "encoder/video/syntax/user_data_writer.h"

#include <cassert>

namespace quillset {

void TMPEGVideoEncoder_UserDataStreamWriter::WriteHex(uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char text[8];
    for (int32_t i = 7; i >= 0; --i) {
        text[i] = kDigits[value & 0xF];
        value >>= 4;
    }
    Stream.Write(text, 8);
}

void TMPEGVideoEncoder_UserDataStreamWriter::BeginChunk(std::string_view tag) {
    char head[kTagLength + 1];
    for (int32_t i = 0; i < kTagLength; ++i)
        head[i] = i < static_cast<int32_t>(tag.size()) ? tag[static_cast<size_t>(i)] : ' ';
    head[kTagLength] = '\0';
    const int64_t position = Stream.Seek(0, soFromCurrent);
    Stream.Write(head, kTagLength + 1);
    WriteHex(0);
    assert(OpenHeads.size() < kMaxOpenChunks);
    if (OpenHeads.size() < kMaxOpenChunks)
        OpenHeads.push_back(position);
    else
        ++UntrackedChunks;
}

void TMPEGVideoEncoder_UserDataStreamWriter::EndChunk() {
    if (UntrackedChunks > 0) {
        --UntrackedChunks;
        return;
    }
    if (OpenHeads.empty())
        return;
    const int64_t head = OpenHeads.back();
    OpenHeads.pop_back();
    const int64_t end = Stream.Seek(0, soFromCurrent);
    Stream.Seek(head + kTagLength + 1, soFromBeginning);
    WriteHex(static_cast<uint32_t>(end - head - kHeadLength));
    Stream.Seek(end, soFromBeginning);
}

void TMPEGVideoEncoder_UserDataStreamWriter::WriteChunk(std::string_view tag, const void* data, int32_t count) {
    BeginChunk(tag);
    if (count > 0)
        Stream.Write(data, count);
    EndChunk();
}

void TMPEGVideoEncoder_UserDataStreamWriter::WriteEmptyChunk(std::string_view tag) {
    WriteChunk(tag, nullptr, 0);
}

void TMPEGVideoEncoder_UserDataStreamWriter::WriteIntChunk(std::string_view tag, uint32_t value) {
    BeginChunk(tag);
    WriteHex(value);
    EndChunk();
}

} // namespace quillset
