#include "source/wave_audio_source.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

void Put16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<int>(v & 0xFFFF));
    Put16(s, static_cast<int>(v >> 16));
}

// A WAVE file with the given format fields (and, for tag 0xFFFE, an extensible record whose
// sub-format is subTag) and data bytes.
std::string WaveBytes(int tag, int channels, uint32_t rate, int bits, const std::string& data, int subTag = 1) {
    std::string fmt;
    Put16(fmt, tag);
    Put16(fmt, channels);
    Put32(fmt, rate);
    Put32(fmt, rate * channels * bits / 8);
    Put16(fmt, channels * bits / 8);
    Put16(fmt, bits);
    if (tag == 0xFFFE) {
        Put16(fmt, 22);
        Put16(fmt, bits);
        Put32(fmt, 3);
        Put16(fmt, subTag);
        fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string s = "RIFF";
    Put32(s, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
    s += "WAVEfmt ";
    Put32(s, static_cast<uint32_t>(fmt.size()));
    s += fmt + "data";
    Put32(s, static_cast<uint32_t>(data.size()));
    return s + data;
}

TEST(WaveAudioSource, ReadsBlocksAndPadsWithSilence) {
    testing::TempDir dir;
    std::string data;
    for (int i = 0; i < 6; ++i)
        Put16(data, 1000 * (i + 1)); // three stereo sample times
    testing::WriteFileBytes(dir.File("a.wav"), WaveBytes(1, 2, 44100, 16, data));
    TWaveAudioSource source(dir.File("a.wav"));
    EXPECT_EQ(source.GetSampleCount(), 3);
    EXPECT_EQ(source.GetChannels(), 2);
    EXPECT_EQ(source.GetSamplingFrequency(), 44100);
    const TMPEGAudioEncoder_Samples block = source.ReadBlock(1, 4);
    ASSERT_EQ(block.Count, 4);
    EXPECT_EQ(block.SampleFormat, AudioSampleFormat_16Bit);
    const auto* samples = static_cast<const int16_t*>(block.Data);
    EXPECT_EQ(samples[0], 3000);
    EXPECT_EQ(samples[3], 6000);
    EXPECT_EQ(samples[4], 0); // past the end
    EXPECT_EQ(samples[7], 0);

    std::string bytes8 = "\x10\x20\x30";
    testing::WriteFileBytes(dir.File("b.wav"), WaveBytes(1, 1, 8000, 8, bytes8));
    TWaveAudioSource mono(dir.File("b.wav"));
    const TMPEGAudioEncoder_Samples b8 = mono.ReadBlock(2, 3);
    EXPECT_EQ(static_cast<const uint8_t*>(b8.Data)[0], 0x30);
    EXPECT_EQ(static_cast<const uint8_t*>(b8.Data)[1], 128);
}

TEST(WaveAudioSource, RefusesFormatsTheEncodersCannotTake) {
    testing::TempDir dir;
    const std::string data(96, '\0');
    struct Case {
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {WaveBytes(1, 2, 48000, 24, data), "24-bit samples cannot be encoded"},
        {WaveBytes(1, 6, 48000, 16, data), "6 channels cannot be encoded"},
        {WaveBytes(3, 2, 48000, 32, data), "not PCM"},
        {WaveBytes(0xFFFE, 2, 48000, 16, data, 3), "not PCM"},
        {WaveBytes(0xFFFE, 6, 48000, 16, data), "6 channels"},
        {WaveBytes(1, 2, 10, 16, data), "sampling frequency of 10 Hz"},
        {"RIFF\x04\0\0\0WAVE", "Illegal WAVE file"},
        {"", "Illegal WAVE file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        testing::WriteFileBytes(dir.File("x.wav"), c.bytes);
        try {
            TWaveAudioSource source(dir.File("x.wav"));
            ADD_FAILURE() << "accepted";
        } catch (const EAudioSourceError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(TWaveAudioSource(dir.File("missing.wav")), EAudioSourceError);
    // An extensible record of plain PCM is fine.
    testing::WriteFileBytes(dir.File("ext.wav"), WaveBytes(0xFFFE, 2, 48000, 16, data));
    EXPECT_EQ(TWaveAudioSource(dir.File("ext.wav")).GetSampleCount(), 24);
}

} // namespace
} // namespace quillset
