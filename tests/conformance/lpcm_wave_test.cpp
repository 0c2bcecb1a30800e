// WAVE files made by independent tools go through the Linear PCM path and back, and ffmpeg judges
// the result: a 1 s, 48 kHz stereo 16-bit source becomes a private LPCM stream of 20 + 192000
// bytes, and the WAVE file made from that stream decodes to the source's samples.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "encoder/audio/lpcm/lpcm_encoder.h"
#include "encoder/audio/lpcm/lpcm_stream_convertors.h"
#include "encoder/audio/lpcm/wave_file.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "tests/support/stream_oracles.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::Quote;
using testing::ReadFileBytes;
using testing::RunCommand;
using testing::TempDir;

constexpr int64_t kSecondOfStereo = 48000 * 2 * 2;

// The command that writes a 1 s, 48 kHz stereo 16-bit WAVE file of a sine and noise to `path`.
struct SourceTool {
    const char* name;
    std::string (*command)(const std::string& path);
};

std::string FfmpegSource(const std::string& path) {
    // Left a sine, right noise; ffmpeg puts a LIST chunk between "fmt " and "data".
    return "ffmpeg -v error -nostdin -f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 "
           "-f lavfi -i anoisesrc=r=48000:d=1:a=0.3:seed=7 -filter_complex '[0][1]amerge=inputs=2' "
           "-c:a pcm_s16le -y " +
           Quote(path);
}

std::string SoxSource(const std::string& path) {
    return "sox -R -n -r 48000 -c 2 -b 16 -e signed-integer " + Quote(path) + " synth 1 sine 440 whitenoise vol 0.7";
}

// Swaps the bytes of every 16-bit word: little-endian samples to big-endian ones and back.
std::string SwapWords(const std::string& bytes) {
    std::string out = bytes;
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        std::swap(out[i], out[i + 1]);
    return out;
}

std::string ReadAll(TLargeStream& stream) {
    std::string out;
    std::string buffer(65536, '\0');
    for (int32_t got; (got = stream.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
        out.append(buffer, 0, static_cast<size_t>(got));
    return out;
}

// The private stream of the WAVE file, made by the encoder from sample blocks the reader delivers.
std::string EncodeThroughReader(const std::string& wavePath) {
    TLargeFileStream source(wavePath, FILE_ATTRIBUTE_NORMAL, fmOpenRead);
    TWaveFileReader reader(source);
    TWavePCMFormat format;
    EXPECT_TRUE(reader.GetPCMFormat(format));
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = MPEGAudioEncoder_StreamType_LinearPCM;
    config.SamplingFrequency = 48000;
    config.ChannelMode = MPEGAudio_ChannelMode_Stereo;
    config.BitRate = 48000 * 2 * 16;
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "conformance", config);
    encoder.BeginEncode();
    std::string block(4 * 1001, '\0'); // blocks that do not line up with frames
    for (int64_t offset = 0;;) {
        const int32_t got = reader.ReadData(block.data(), static_cast<int32_t>(block.size()), offset);
        if (got <= 0)
            break;
        offset += got;
        TMPEGAudioEncoder_Samples samples;
        samples.SampleFormat = AudioSampleFormat_16Bit;
        samples.SamplingFrequency = static_cast<int32_t>(format.SamplesPerSec);
        samples.Channels = format.Channels;
        samples.Data = block.data();
        samples.Count = got / (format.Channels * 2);
        encoder.PutSamples(samples);
    }
    encoder.EndEncode();
    return std::string(reinterpret_cast<const char*>(out.GetMemory()), static_cast<size_t>(out.GetSize()));
}

// Writes a private stream through the convertor into a WAVE file at `path`.
void WriteWave(const std::string& stream, const std::string& path) {
    TLargeFileStream out(path, FILE_ATTRIBUTE_NORMAL, fmCreate);
    TLinearPCMStreamToWaveFileConvertor convertor(out);
    for (size_t at = 0; at < stream.size(); at += 5000) {
        const auto n = static_cast<int32_t>(std::min<size_t>(5000, stream.size() - at));
        ASSERT_EQ(convertor.Write(stream.data() + at, n), n);
    }
    convertor.Finish();
}

class LPCMWaveConformanceTest : public ::testing::TestWithParam<SourceTool> {};

TEST_P(LPCMWaveConformanceTest, OneSecondOfStereoGoesToLPCMAndBack) {
    const SourceTool& tool = GetParam();
    QS_REQUIRE_TOOLS("ffmpeg", tool.name);
    TempDir dir;
    const std::string source = dir.File("source.wav");
    ASSERT_EQ(RunCommand(tool.command(source)), 0);
    ASSERT_EQ(
        RunCommand("ffmpeg -v error -nostdin -i " + Quote(source) + " -f s16le -y " + Quote(dir.File("source.raw"))),
        0);
    const std::string sourceSamples = ReadFileBytes(dir.File("source.raw"));
    ASSERT_EQ(static_cast<int64_t>(sourceSamples.size()), kSecondOfStereo);

    // WAVE to private LPCM through the converting stream.
    std::string stream;
    {
        TLargeFileStream file(source, FILE_ATTRIBUTE_NORMAL, fmOpenRead);
        TWaveFileToLinearPCMStreamConvertor convertor(file);
        EXPECT_EQ(convertor.GetSize(), 20 + kSecondOfStereo);
        stream = ReadAll(convertor);
    }
    ASSERT_EQ(static_cast<int64_t>(stream.size()), 20 + kSecondOfStereo);
    EXPECT_EQ(stream.substr(0, 20), std::string("VDMSLPCM\x02\x00\x14\x00\x10\x80\xBB\x00\x00\x02\x00\x80", 20));
    EXPECT_TRUE(stream.substr(20) == SwapWords(sourceSamples)) << "LPCM samples differ from ffmpeg's decoding";

    // The same stream from the encoder, fed by the WAVE reader.
    const std::string encoded = EncodeThroughReader(source);
    ASSERT_EQ(static_cast<int64_t>(encoded.size()), 20 + kSecondOfStereo);
    EXPECT_TRUE(encoded == stream) << "the encoder and the converting stream disagree";

    // Back to WAVE; ffmpeg decodes it to the original samples.
    const std::string result = dir.File("result.wav");
    WriteWave(stream, result);
    ASSERT_EQ(
        RunCommand("ffmpeg -v error -nostdin -i " + Quote(result) + " -f s16le -y " + Quote(dir.File("result.raw"))),
        0);
    const std::string resultSamples = ReadFileBytes(dir.File("result.raw"));
    ASSERT_EQ(resultSamples.size(), sourceSamples.size());
    EXPECT_TRUE(resultSamples == sourceSamples) << "the WAVE file made from the stream decodes to other samples";
    EXPECT_EQ(static_cast<int64_t>(ReadFileBytes(result).size()), 46 + kSecondOfStereo);
}

INSTANTIATE_TEST_SUITE_P(Tools, LPCMWaveConformanceTest,
                         ::testing::Values(SourceTool{"ffmpeg", FfmpegSource}, SourceTool{"sox", SoxSource}),
                         [](const ::testing::TestParamInfo<SourceTool>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
} // namespace quillset
