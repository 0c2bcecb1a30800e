// Throughput of the Linear PCM paths: the encoder (at the output rate and resampling 44.1 kHz),
// the WAVE-to-LPCM converting stream and the LPCM-to-WAVE converting stream. One second of 48 kHz
// stereo is 192,000 bytes; real time needs well under a millisecond per second of audio.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/audio_bench_support.h"
#include "encoder/audio/lpcm/lpcm_encoder.h"
#include "encoder/audio/lpcm/lpcm_stream_convertors.h"
#include "encoder/audio/lpcm/wave_file.h"
#include "stream/memory_stream.h"

namespace {

using namespace quillset;
using namespace quillset::bench;

std::vector<int16_t> TestSignal(size_t values) {
    std::vector<int16_t> out(values);
    uint32_t state = 12345;
    for (auto& v : out) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<int16_t>(state >> 16);
    }
    return out;
}

TMPEGAudioEncoder_EncodeConfig StereoConfig() {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = MPEGAudioEncoder_StreamType_LinearPCM;
    config.SamplingFrequency = 48000;
    config.ChannelMode = MPEGAudio_ChannelMode_Stereo;
    config.BitRate = 48000 * 2 * 16;
    return config;
}

// One second of stereo input at the given rate, pushed in blocks of 4096 sample times.
void BM_LPCMEncoder_PutSamples(benchmark::State& state) {
    const auto frequency = static_cast<int32_t>(state.range(0));
    const std::vector<int16_t> second = TestSignal(static_cast<size_t>(frequency) * 2);
    TDiscardStream out;
    TLinearPCMAudioEncoder encoder(out, "bench", StereoConfig());
    for (auto _ : state) {
        for (int32_t at = 0; at < frequency; at += 4096) {
            TMPEGAudioEncoder_Samples samples;
            samples.SampleFormat = AudioSampleFormat_16Bit;
            samples.SamplingFrequency = frequency;
            samples.Channels = 2;
            samples.Data = second.data() + 2 * at;
            samples.Count = std::min(4096, frequency - at);
            encoder.PutSamples(samples);
        }
    }
    state.SetBytesProcessed(state.iterations() * int64_t{frequency} * 4);
}
BENCHMARK(BM_LPCMEncoder_PutSamples)->Arg(48000)->Arg(44100);

std::string WaveOfSeconds(int seconds) {
    const std::vector<int16_t> samples = TestSignal(static_cast<size_t>(seconds) * 48000 * 2);
    TLargeMemoryStream stream;
    {
        TWaveFileWriter writer(stream);
        writer.SetFormatSize(PCMFormatSize);
        FillPCMFormat(writer.GetFormat(), 48000, 16, 2);
        writer.WriteHeader();
        writer.WriteData(samples.data(), static_cast<int64_t>(samples.size()) * 2);
    }
    return std::string(reinterpret_cast<const char*>(stream.GetMemory()), static_cast<size_t>(stream.GetSize()));
}

// Reads a 10 s WAVE file as a private LPCM stream in 64 KiB pieces.
void BM_WaveToLPCM_Read(benchmark::State& state) {
    const std::string wave = WaveOfSeconds(10);
    TLargeMemoryStream source;
    source.WriteBuffer(wave.data(), static_cast<int32_t>(wave.size()));
    source.SetPosition(0);
    std::vector<uint8_t> buffer(65536);
    int64_t bytes = 0;
    for (auto _ : state) {
        TWaveFileToLinearPCMStreamConvertor convertor(source);
        for (int32_t got; (got = convertor.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
            bytes += got;
        source.SetPosition(0);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_WaveToLPCM_Read)->Unit(benchmark::kMillisecond);

// Writes a 10 s private LPCM stream into a WAVE file in memory, in pieces of 2 KiB.
void BM_LPCMToWave_Write(benchmark::State& state) {
    const std::string wave = WaveOfSeconds(10);
    TLargeMemoryStream source;
    source.WriteBuffer(wave.data(), static_cast<int32_t>(wave.size()));
    source.SetPosition(0);
    std::string stream;
    {
        TWaveFileToLinearPCMStreamConvertor convertor(source);
        stream.resize(static_cast<size_t>(convertor.GetSize()));
        convertor.Read(stream.data(), static_cast<int32_t>(stream.size()));
    }
    for (auto _ : state) {
        TLargeMemoryStream out;
        TLinearPCMStreamToWaveFileConvertor convertor(out);
        for (size_t at = 0; at < stream.size(); at += 2048)
            convertor.Write(stream.data() + at, static_cast<int32_t>(std::min<size_t>(2048, stream.size() - at)));
        convertor.Finish();
        benchmark::DoNotOptimize(out.GetMemory());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_LPCMToWave_Write)->Unit(benchmark::kMillisecond);

} // namespace
