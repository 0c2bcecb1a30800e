// The bit writer and reader on the mix of field widths a video stream has: mostly short
// variable-length codes, some longer fixed fields.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "stream/bit_stream_reader.h"
#include "stream/bit_stream_writer.h"
#include "stream/memory_stream.h"

namespace quillset {
namespace {

constexpr size_t kFields = 4096;

struct Fields {
    std::vector<uint32_t> Values;
    std::vector<int32_t> Widths;
    int64_t Bits = 0;
};

// Widths 1 .. 32, three in four of them 2 .. 12 as in the macroblock layer.
const Fields& MixedFields() {
    static const Fields fields = [] {
        Fields f;
        std::mt19937 random(12345);
        for (size_t i = 0; i < kFields; ++i) {
            const int32_t width = random() % 4 != 0 ? 2 + static_cast<int32_t>(random() % 11)
                                                    : 1 + static_cast<int32_t>(random() % 32);
            f.Values.push_back(static_cast<uint32_t>(random()));
            f.Widths.push_back(width);
            f.Bits += width;
        }
        return f;
    }();
    return fields;
}

template <typename Writer>
void PutMixedFields(Writer& writer, const Fields& f) {
    for (size_t i = 0; i < kFields; ++i)
        writer.PutBits(f.Values[i], f.Widths[i]);
}

void BM_BitWriterPutBitsMemory(benchmark::State& state) {
    const Fields& f = MixedFields();
    TLargeMemoryStream stream;
    auto writer = std::make_unique<TLargeBitStreamWriter>(&stream);
    for (auto _ : state) {
        PutMixedFields(*writer, f);
        if (stream.GetSize() > (int64_t{64} << 20)) {
            writer->Flush();
            stream.SetPosition(0); // overwrite instead of growing without end
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kFields));
    state.SetBytesProcessed(state.iterations() * f.Bits / 8);
}
BENCHMARK(BM_BitWriterPutBitsMemory);

void BM_BitWriterPutBitsNull(benchmark::State& state) {
    const Fields& f = MixedFields();
    auto writer = std::make_unique<TLargeNullBitStreamWriter>();
    for (auto _ : state)
        PutMixedFields(*writer, f);
    benchmark::DoNotOptimize(writer->GetBitPosition());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kFields));
    state.SetBytesProcessed(state.iterations() * f.Bits / 8);
}
BENCHMARK(BM_BitWriterPutBitsNull);

void BM_BitReaderGetBits(benchmark::State& state) {
    const Fields& f = MixedFields();
    // 32 rounds of the fields: about 1 MB, read again from the start whenever it ends.
    TLargeMemoryStream stream;
    {
        TLargeBitStreamWriter writer(&stream);
        for (int round = 0; round < 32; ++round)
            PutMixedFields(writer, f);
        writer.Flush();
    }
    stream.SetPosition(0);
    auto reader = std::make_unique<TLargeBitStreamReader>(&stream);
    int round = 0;
    uint32_t sum = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < kFields; ++i)
            sum += reader->GetBits(f.Widths[i]);
        if (++round == 32) {
            state.PauseTiming();
            stream.SetPosition(0);
            reader = std::make_unique<TLargeBitStreamReader>(&stream);
            round = 0;
            state.ResumeTiming();
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kFields));
    state.SetBytesProcessed(state.iterations() * f.Bits / 8);
}
BENCHMARK(BM_BitReaderGetBits);

} // namespace
} // namespace quillset
