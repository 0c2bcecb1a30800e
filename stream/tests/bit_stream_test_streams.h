// Small streams for the bit-stream tests: one that hands out data in short pieces, one that
// refuses to write, and a counter of the calls a writer makes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "stream/large_stream.h"

namespace quillset::testing {

// A read-only stream over bytes that returns at most `piece` bytes per Read, as pipes and
// some filter streams do before their end.
class PieceReadStream : public TLargeStream {
public:
    PieceReadStream(std::vector<uint8_t> bytes, int32_t piece) : Bytes(std::move(bytes)), Piece(piece) {}

    int32_t Read(void* buffer, int32_t count) override {
        const auto n = static_cast<int32_t>(
            std::min<int64_t>({count, Piece, static_cast<int64_t>(Bytes.size()) - Position}));
        if (n <= 0)
            return 0;
        std::memcpy(buffer, Bytes.data() + Position, static_cast<size_t>(n));
        Position += n;
        ++ReadCalls;
        return n;
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t offset, uint16_t origin) override {
        Position = ClampPosition(SeekTarget(offset, origin, Position, static_cast<int64_t>(Bytes.size())),
                                 static_cast<int64_t>(Bytes.size()));
        return Position;
    }

    int ReadCalls = 0;

private:
    std::vector<uint8_t> Bytes;
    int64_t Piece;
    int64_t Position = 0;
};

// Collects what is written and how many Write calls delivered it; accepts at most `limit`
// bytes in all, after which writes come up short.
class RecordingWriteStream : public TLargeStream {
public:
    explicit RecordingWriteStream(int64_t limit = INT64_MAX) : Limit(limit) {}

    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* buffer, int32_t count) override {
        ++WriteCalls;
        const auto n = static_cast<int32_t>(
            std::max<int64_t>(0, std::min<int64_t>(count, Limit - static_cast<int64_t>(Bytes.size()))));
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        Bytes.insert(Bytes.end(), bytes, bytes + n);
        return n;
    }
    int64_t Seek(int64_t, uint16_t) override { return static_cast<int64_t>(Bytes.size()); }

    std::vector<uint8_t> Bytes;
    int WriteCalls = 0;

private:
    int64_t Limit;
};

} // namespace quillset::testing
