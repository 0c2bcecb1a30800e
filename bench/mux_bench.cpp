// Throughput of the multiplexer and the demultiplexer on hand-made streams held in memory: bytes of
// elementary stream multiplexed per second into an MPEG-2 program stream and a Video CD stream, and
// bytes of one stream read back per second through the demultiplexer's stream face.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "encoder/demux/mpeg_demultiplexor_stream.h"
#include "encoder/mux/system_encoder.h"
#include "encoder/tests/mux/video_stream_builder.h"
#include "stream/memory_stream.h"

namespace {

using namespace quillset;

// About 10 s of video at 8 Mbit/s (MPEG-2) and its MPEG audio.
const std::string& Video() {
    static const std::string video = [] {
        muxtest::TVideoLayout layout;
        layout.MPEG2 = true;
        layout.BitRateValue = 20000;
        return muxtest::BuildVideoStream(layout, muxtest::GroupOfPictures(300, 90000, 28000));
    }();
    return video;
}

const std::string& Audio() {
    static const std::string audio = muxtest::BuildLayer2Frames(420, 1);
    return audio;
}

void Multiplex(uint8_t type, const std::string& video, const std::string& audio, TLargeMemoryStream& output) {
    TMPEGSystemEncoder_EncodeConfig config;
    config.StreamType = type;
    TMPEGSystemEncoder encoder(&output, config);
    TMPEGSystemEncoder_ElementaryStream* v = encoder.AddStream({0, 0, 0});
    TMPEGSystemEncoder_ElementaryStream* a = encoder.AddStream({1, 0, 0});
    constexpr size_t kPiece = 32768;
    size_t doneV = 0;
    size_t doneA = 0;
    while (doneV < video.size() || doneA < audio.size()) {
        const size_t n = std::min(kPiece, video.size() - doneV);
        if (n > 0)
            v->WriteBuffer(video.data() + doneV, static_cast<int32_t>(n));
        doneV += n;
        const size_t m = std::min(kPiece * audio.size() / video.size() + 1, audio.size() - doneA);
        if (m > 0)
            a->WriteBuffer(audio.data() + doneA, static_cast<int32_t>(m));
        doneA += m;
    }
    encoder.EndEncode();
}

void BM_Multiplex(benchmark::State& state) {
    const uint8_t type = static_cast<uint8_t>(state.range(0));
    int64_t written = 0;
    for (auto _ : state) {
        TLargeMemoryStream output;
        Multiplex(type, Video(), Audio(), output);
        written = output.GetSize();
        benchmark::DoNotOptimize(written);
    }
    state.counters["output_bytes"] = static_cast<double>(written);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Video().size() + Audio().size()));
}
BENCHMARK(BM_Multiplex)
    ->Arg(MPEGSystemEncoder_StreamType_MPEG2_Program)
    ->Arg(MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB)
    ->Unit(benchmark::kMillisecond);

void BM_DemultiplexVideo(benchmark::State& state) {
    TLargeMemoryStream file;
    Multiplex(MPEGSystemEncoder_StreamType_MPEG2_Program, Video(), Audio(), file);
    std::vector<uint8_t> buffer(65536);
    for (auto _ : state) {
        file.SetPosition(0);
        TMPEGDemultiplexorStream stream(file, false, 0, 0);
        int64_t total = 0;
        for (int32_t got; (got = stream.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
            total += got;
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Video().size()));
}
BENCHMARK(BM_DemultiplexVideo)->Unit(benchmark::kMillisecond);

} // namespace
