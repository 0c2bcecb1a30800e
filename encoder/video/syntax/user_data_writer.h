// The private chunk block carried in the sequence user data: nested chunks built in memory.
// A chunk is a 7-byte ASCII tag, one 0x00 byte, its payload size as 8 upper-case hexadecimal
// ASCII digits, then the payload; the size counts the bytes after this 16-byte head (nested
// chunks included).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "stream/memory_stream.h"

namespace quillset {

class TMPEGVideoEncoder_UserDataStreamWriter {
public:
    static constexpr int32_t kTagLength = 7;
    static constexpr int32_t kHeadLength = 16;
    static constexpr int32_t kMaxOpenChunks = 256;

    TMPEGVideoEncoder_UserDataStreamWriter() = default;
    TMPEGVideoEncoder_UserDataStreamWriter(const TMPEGVideoEncoder_UserDataStreamWriter&) = delete;
    TMPEGVideoEncoder_UserDataStreamWriter& operator=(const TMPEGVideoEncoder_UserDataStreamWriter&) = delete;

    // Writes a head with size "00000000" and opens the chunk. Tags longer than 7 characters
    // are cut, shorter ones padded with spaces. Opening more than kMaxOpenChunks at once is a
    // caller error (asserted); such a chunk keeps the size 0 and its EndChunk closes nothing else.
    void BeginChunk(std::string_view tag);
    // Closes the innermost open chunk and writes its size; nothing when none is open.
    void EndChunk();
    void WriteChunk(std::string_view tag, const void* data, int32_t count);
    void WriteEmptyChunk(std::string_view tag);
    // The payload is the value as 8 upper-case hexadecimal digits.
    void WriteIntChunk(std::string_view tag, uint32_t value);

    TLargeMemoryStream& GetStream() { return Stream; }
    int32_t GetOpenChunkCount() const { return static_cast<int32_t>(OpenHeads.size()) + UntrackedChunks; }

private:
    void WriteHex(uint32_t value);

    TLargeMemoryStream Stream;
    std::vector<int64_t> OpenHeads; // stream positions of the open chunks' heads
    int32_t UntrackedChunks = 0;    // chunks opened beyond kMaxOpenChunks
};

} // namespace quillset
