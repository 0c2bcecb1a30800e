// One random sequence of writes, seeks, reads and size changes run against each random-access
// stream and a plain std::string, comparing every read, the size and the position, and at the
// end what the stream left behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <random>

#include "stream/cache_filter_stream.h"
#include "stream/cache_random_access_stream.h"
#include "stream/memory_stream.h"
#include "stream/no_buffering_file_stream.h"
#include "stream/safe_disk_capacity_stream.h"
#include "stream/separated_file_stream.h"
#include "stream/tests/stream_test_util.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::RandomBytes;
using testing::RecordingStream;
using testing::ReadFileBytes;
using testing::TempDir;

// A stream under test with whatever it is built on. Finish() destroys the stream and returns
// the bytes it left in its backing store, when there is one to look at.
class Subject {
public:
    virtual ~Subject() = default;
    virtual TLargeStream& Stream() = 0;
    virtual std::optional<std::string> Finish() = 0;
};

class UnbufferedFile : public Subject {
public:
    UnbufferedFile() : stream(std::make_unique<TLargeNoBufferingFileStream_NonOverlaped>(Name(), 0, fmCreate)) {}
    TLargeStream& Stream() override { return *stream; }
    std::optional<std::string> Finish() override {
        stream.reset();
        return ReadFileBytes(Name());
    }

private:
    std::string Name() const { return dir.File("model.bin"); }
    TempDir dir;
    std::unique_ptr<TLargeStream> stream;
};

class CacheOverMemory : public Subject {
public:
    explicit CacheOverMemory(int32_t blockSize) : cache(TLargeCacheRandomAccessStream::Create(memory, blockSize)) {}
    TLargeStream& Stream() override { return *cache; }
    std::optional<std::string> Finish() override {
        cache.reset();
        return std::string(reinterpret_cast<const char*>(memory.GetMemory()), static_cast<size_t>(memory.GetSize()));
    }

private:
    TLargeMemoryStream memory;
    std::unique_ptr<TLargeStream> cache;
};

class CacheOverFile : public Subject {
public:
    explicit CacheOverFile(int32_t blockSize)
        : file(TLargeFileStream::New(dir.File("model.bin"), 0, fmCreate)),
          cache(TLargeCacheRandomAccessStream::Create(*file, blockSize)) {}
    TLargeStream& Stream() override { return *cache; }
    std::optional<std::string> Finish() override {
        cache.reset();
        file.reset();
        return ReadFileBytes(dir.File("model.bin"));
    }

private:
    TempDir dir;
    std::unique_ptr<TLargeStream> file;
    std::unique_ptr<TLargeStream> cache;
};

class FilterOverMemory : public Subject {
public:
    FilterOverMemory() : filter(std::make_unique<TLargeCasheFilterStream>(memory)) {}
    TLargeStream& Stream() override { return *filter; }
    std::optional<std::string> Finish() override {
        filter.reset();
        return std::string(reinterpret_cast<const char*>(memory.GetMemory()), static_cast<size_t>(memory.GetSize()));
    }

private:
    TLargeMemoryStream memory;
    std::unique_ptr<TLargeStream> filter;
};

// The stream owns its target; a forwarding target lets the memory behind it outlive the stream.
class ReservingOverMemory : public Subject {
public:
    ReservingOverMemory()
        : stream(std::make_unique<TLargeSafeDiskCapacitySizeStream>(std::make_unique<RecordingStream>(memory),
                                                                    50000)) {}
    TLargeStream& Stream() override { return *stream; }
    std::optional<std::string> Finish() override {
        stream.reset();
        return std::string(reinterpret_cast<const char*>(memory.GetMemory()), static_cast<size_t>(memory.GetSize()));
    }

private:
    TLargeMemoryStream memory;
    std::unique_ptr<TLargeStream> stream;
};

class SeparatedPieces : public Subject {
public:
    SeparatedPieces() : stream(dir.Path(), "model", "tmp", 3000) {}
    TLargeStream& Stream() override { return stream; }
    std::optional<std::string> Finish() override { return std::nullopt; }

private:
    TempDir dir;
    TLargeSeparatedFileStream stream;
};

struct ModelCase {
    const char* name;
    std::function<std::unique_ptr<Subject>()> make;
    bool resizable;
    int64_t span;     // positions of interest lie below about this
    int32_t maxChunk; // longest single transfer
    int operations;
};

const ModelCase kModelCases[] = {
    {"Unbuffered", [] { return std::make_unique<UnbufferedFile>(); }, true, 600000, 150000, 1200},
    {"CacheOverMemory64", [] { return std::make_unique<CacheOverMemory>(64); }, true, 1200, 300, 4000},
    {"CacheOverMemory4096", [] { return std::make_unique<CacheOverMemory>(4096); }, true, 40000, 10000, 3000},
    {"CacheOverFile512", [] { return std::make_unique<CacheOverFile>(512); }, true, 8000, 2000, 3000},
    {"FilterOverMemory", [] { return std::make_unique<FilterOverMemory>(); }, false, 300000, 70000, 1000},
    {"ReservingOverMemory", [] { return std::make_unique<ReservingOverMemory>(); }, true, 80000, 20000, 3000},
    {"Separated", [] { return std::make_unique<SeparatedPieces>(); }, false, 20000, 5000, 2000},
};

void PrintTo(const ModelCase& value, std::ostream* out) {
    *out << value.name;
}

class StreamModel : public ::testing::TestWithParam<ModelCase> {};

INSTANTIATE_TEST_SUITE_P(Streams, StreamModel, ::testing::ValuesIn(kModelCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Random offsets favour the edges where caches go wrong: block and window ends, the data end.
int64_t PickPosition(std::mt19937& random, int64_t span, int64_t size) {
    switch (random() % 4) {
    case 0:
        return size;
    case 1:
        return size - static_cast<int64_t>(random() % 600);
    default:
        return static_cast<int64_t>(random() % static_cast<uint32_t>(span));
    }
}

TEST_P(StreamModel, MatchesAPlainString) {
    const ModelCase& c = GetParam();
    uint32_t seed = 20240611;
    if (const char* text = std::getenv("QUILLSET_MODEL_SEED"))
        seed = static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
    std::mt19937 random(seed);
    auto subject = c.make();
    TLargeStream& stream = subject->Stream();
    std::string model;
    int64_t position = 0;
    for (int op = 0; op < c.operations; ++op) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << ", operation " << op);
        const auto size = static_cast<int64_t>(model.size());
        const auto length = static_cast<int32_t>(random() % static_cast<uint32_t>(c.maxChunk) + 1);
        const uint32_t kind = random() % (c.resizable ? 10 : 9);
        if (kind < 4) {
            const std::string data = RandomBytes(static_cast<size_t>(length), random());
            ASSERT_EQ(stream.Write(data.data(), length), length);
            if (position + length > size)
                model.resize(static_cast<size_t>(position + length));
            model.replace(static_cast<size_t>(position), static_cast<size_t>(length), data);
            position += length;
        } else if (kind < 7) {
            const uint16_t origin = static_cast<uint16_t>(random() % 3);
            const int64_t target = PickPosition(random, c.span, size);
            const int64_t offset = target - (origin == soFromCurrent ? position : origin == soFromEnd ? size : 0);
            position = ClampPosition(target, size);
            ASSERT_EQ(stream.Seek(offset, origin), position);
        } else if (kind < 9) {
            std::string back(static_cast<size_t>(length), '\0');
            const auto expected = static_cast<int32_t>(std::min<int64_t>(length, size - position));
            ASSERT_EQ(stream.Read(back.data(), length), expected);
            ASSERT_TRUE(back.compare(0, static_cast<size_t>(expected), model, static_cast<size_t>(position),
                                     static_cast<size_t>(expected)) == 0)
                << "read of " << length << " at " << position << " of " << size;
            position += expected;
        } else {
            const int64_t newSize = std::max<int64_t>(0, PickPosition(random, c.span, size) + (random() % 2 ? 0 : 700));
            stream.SetSize(newSize);
            model.resize(static_cast<size_t>(newSize), '\0');
            position = std::min(position, newSize);
        }
        ASSERT_EQ(stream.GetSize(), static_cast<int64_t>(model.size()));
        ASSERT_EQ(stream.GetPosition(), position);
    }
    const std::optional<std::string> left = subject->Finish();
    if (left.has_value()) {
        EXPECT_TRUE(*left == model) << "final contents differ (" << left->size() << " vs " << model.size() << " bytes)";
    }
}

} // namespace
} // namespace quillset
