// Sequential 64 MiB writes through the file stream classes an encode can use for its outputs:
// the plain file stream (page cache; with and without a final fsync), the unbuffered stream
// (O_DIRECT, 64 KiB blocks) and the 64 KiB filter stream over a plain file stream.
// Argument: bytes per Write call. Wall-clock time, as the point is the I/O.
#include <benchmark/benchmark.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "stream/cache_filter_stream.h"
#include "stream/no_buffering_file_stream.h"
#include "stream/temp_file.h"

namespace quillset {
namespace {

constexpr int64_t kTotal = int64_t{64} << 20;

template <typename WriteAll>
void RunWrites(benchmark::State& state, WriteAll writeAll) {
    const auto chunk = static_cast<int32_t>(state.range(0));
    std::vector<char> data(static_cast<size_t>(chunk));
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 131 + 7);
    for (auto _ : state) {
        const std::string name = MakeTempFileName("", "bench", "tmp");
        writeAll(name, data.data(), chunk);
        ::unlink(name.c_str());
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}

void WriteThrough(TLargeStream& stream, const char* data, int32_t chunk) {
    for (int64_t done = 0; done < kTotal; done += chunk)
        stream.WriteBuffer(data, chunk);
}

void BM_FileStream(benchmark::State& state) {
    RunWrites(state, [](const std::string& name, const char* data, int32_t chunk) {
        TLargeFileStream stream(name, 0, fmCreate);
        WriteThrough(stream, data, chunk);
    });
}

void BM_FileStreamSynced(benchmark::State& state) {
    RunWrites(state, [](const std::string& name, const char* data, int32_t chunk) {
        TLargeFileStream stream(name, 0, fmCreate);
        WriteThrough(stream, data, chunk);
        ::fsync(stream.GetHandle());
    });
}

void BM_NoBufferingFileStream(benchmark::State& state) {
    RunWrites(state, [](const std::string& name, const char* data, int32_t chunk) {
        TLargeNoBufferingFileStream_NonOverlaped stream(name, 0, fmCreate);
        WriteThrough(stream, data, chunk);
    });
}

void BM_CasheFilterOverFileStream(benchmark::State& state) {
    RunWrites(state, [](const std::string& name, const char* data, int32_t chunk) {
        TLargeFileStream file(name, 0, fmCreate);
        {
            TLargeCasheFilterStream filter(file);
            WriteThrough(filter, data, chunk);
        }
    });
}

BENCHMARK(BM_FileStream)->Arg(4096)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileStreamSynced)->Arg(4096)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NoBufferingFileStream)->Arg(4096)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CasheFilterOverFileStream)->Arg(4096)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace quillset
