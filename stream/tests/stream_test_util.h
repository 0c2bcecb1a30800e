// Helpers shared by the stream tests: random bytes, and a stream wrapper that records how it is
// used so that tests can see which transfers a cache makes.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "stream/large_stream.h"

namespace quillset::testing {

inline std::string RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; i += 4) {
        const uint32_t word = random();
        for (size_t k = 0; k < 4 && i + k < count; ++k)
            bytes[i + k] = static_cast<char>(word >> (8 * k));
    }
    return bytes;
}

// Passes everything to Inner and logs the transfers (kind, position, count).
class RecordingStream : public TLargeRandomStream {
public:
    struct Call {
        char Kind; // 'R'ead, 'W'rite, 'S'eek
        int64_t Position;
        int64_t Count;
    };

    explicit RecordingStream(TLargeStream& inner) : Inner(inner) {}

    int64_t GetSize() override { return Inner.GetSize(); }
    int32_t Read(void* buffer, int32_t count) override {
        const int64_t at = Inner.GetPosition();
        const int32_t done = Inner.Read(buffer, count);
        Calls.push_back({'R', at, done});
        return done;
    }
    int32_t Write(const void* buffer, int32_t count) override {
        const int64_t at = Inner.GetPosition();
        const int32_t done = Inner.Write(buffer, count);
        Calls.push_back({'W', at, done});
        return done;
    }
    int64_t Seek(int64_t offset, uint16_t origin) override {
        const int64_t result = Inner.Seek(offset, origin);
        if (!(offset == 0 && origin == soFromCurrent))
            Calls.push_back({'S', result, 0});
        return result;
    }
    void SetSize(int64_t newSize) override { Inner.SetSize(newSize); }

    size_t Count(char kind) const {
        size_t n = 0;
        for (const Call& call : Calls)
            n += call.Kind == kind ? 1 : 0;
        return n;
    }
    std::vector<int64_t> Positions(char kind) const {
        std::vector<int64_t> positions;
        for (const Call& call : Calls)
            if (call.Kind == kind)
                positions.push_back(call.Position);
        return positions;
    }

    std::vector<Call> Calls;

private:
    TLargeStream& Inner;
};

inline std::string ReadAll(TLargeStream& stream) {
    stream.SetPosition(0);
    std::string bytes(static_cast<size_t>(stream.GetSize()), '\0');
    stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    return bytes;
}

} // namespace quillset::testing
