#include "plugins/ac3sube/ac3_frame_encoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "plugins/ac3sube/ac3_crc.h"
#include "plugins/ac3sube/ac3_frame_writer.h"
#include "plugins/ac3sube/ac3_mantissas.h"
#include "plugins/ac3sube/tests/ac3_test_signals.h"

namespace quillset::ac3sube {
namespace {

using testing::Noise;
using testing::Sine;

// The bits a frame uses: header, side information and mantissas, in total and up to the end of
// block 1.
struct UsedBits {
    int total = 0;
    int throughBlock1 = 0;
};

UsedBits Measure(const TAC3Frame& frame) {
    UsedBits used;
    used.total = FrameHeaderBits(frame.Setup);
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        TMantissaBitCounter counter;
        for (int ch = 0; ch < frame.Setup.Channels; ++ch)
            counter.Add(frame.Blocks[block].Channel[ch].Bap, frame.Setup.End);
        used.total += BlockSideBits(frame, block) + counter.Bits();
        if (block == 1)
            used.throughBlock1 = used.total;
    }
    return used;
}

struct Mode {
    int fscod, acmod, frmsizecod;
};

class AC3FrameFillTest : public ::testing::TestWithParam<Mode> {};

// The SNR offset search spends nearly the whole frame on noise (all but 1 %, also in the smallest
// frames, where one step of the common offset moves many bits at once), never more than fits,
// and keeps blocks 0 and 1 inside the first 5/8 of the frame (which crc1 protects).
TEST_P(AC3FrameFillTest, FillsTheFrameWithinItsLimits) {
    const Mode mode = GetParam();
    TAC3FrameEncoder encoder;
    ASSERT_TRUE(encoder.Configure(mode.fscod, mode.acmod, mode.frmsizecod));
    const int channels = encoder.Setup().Channels;
    std::vector<uint16_t> words(1920);
    for (int frame = 0; frame < 3; ++frame) {
        std::vector<double> left = Noise(kSamplesPerFrame, 100 + frame), right = Noise(kSamplesPerFrame, 200 + frame);
        const double* inputs[2] = {left.data(), right.data()};
        ASSERT_EQ(encoder.Encode(inputs, words.data()), FrameSizeWords(mode.fscod, mode.frmsizecod));
        const UsedBits used = Measure(encoder.LastFrame());
        const int capacity = encoder.Setup().FrameWords * 16 - kFrameTrailerBits;
        EXPECT_LE(used.total, capacity);
        EXPECT_GE(used.total, capacity * 99 / 100) << "frame " << frame;
        EXPECT_LE(used.throughBlock1, FirstPartWords(encoder.Setup().FrameWords) * 16);
        EXPECT_EQ(encoder.Setup().Channels, channels);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, AC3FrameFillTest,
                         ::testing::Values(Mode{0, 2, 30}, Mode{0, 2, 16}, Mode{0, 1, 8}, Mode{0, 1, 24},
                                           Mode{0, 0, 16}, Mode{2, 2, 30}, Mode{2, 1, 8}, Mode{1, 2, 21},
                                           Mode{0, 2, 37}, Mode{0, 2, 0}));

TEST(AC3FrameEncoderTest, RefusesModesItDoesNotWrite) {
    TAC3FrameEncoder encoder;
    EXPECT_FALSE(encoder.Configure(3, 2, 0));  // reserved fscod
    EXPECT_FALSE(encoder.Configure(0, 3, 0));  // 3/0 is not written
    EXPECT_FALSE(encoder.Configure(0, 2, 38)); // no such frame size
    EXPECT_TRUE(encoder.Configure(0, 2, 30));
}

// Two equal channels: every rematrixing band sends sum and difference, and the difference is
// silent (its bins get no bits once its exponents have climbed from the unrematrixed bins below
// bin 13, at most 2 per group of 4 bins).
TEST(AC3FrameEncoderTest, EqualChannelsAreRematrixed) {
    TAC3FrameEncoder encoder;
    ASSERT_TRUE(encoder.Configure(0, 2, 20));
    const std::vector<double> signal = Noise(kSamplesPerFrame, 9);
    const double* inputs[2] = {signal.data(), signal.data()};
    std::vector<uint16_t> words(1920);
    for (int frame = 0; frame < 2; ++frame)
        encoder.Encode(inputs, words.data());
    const TAC3Frame& f = encoder.LastFrame();
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        for (bool flag : f.Blocks[block].Rematrix)
            EXPECT_TRUE(flag) << "block " << block;
        EXPECT_EQ(f.Blocks[block].RematrixStrategy, block == 0);
        for (int bin = 13 + 11 * 4; bin < f.Setup.End; ++bin)
            ASSERT_EQ(f.Blocks[block].Channel[1].Bap[bin], 0) << "block " << block << " bin " << bin;
    }
}

// A click after silence switches the blocks whose windows hold it to short transforms; a steady
// tone never does.
TEST(AC3FrameEncoderTest, BlockSwitchingFollowsTransients) {
    TAC3FrameEncoder encoder;
    ASSERT_TRUE(encoder.Configure(0, 1, 20));
    std::vector<uint16_t> words(1920);
    std::vector<double> signal(kSamplesPerFrame, 0.0);
    for (int i = 3 * 256 + 100; i < 3 * 256 + 110; ++i)
        signal[i] = 0.8;
    const double* inputs[1] = {signal.data()};
    encoder.Encode(inputs, words.data());
    const bool expected[kBlocksPerFrame] = {false, false, false, true, true, false};
    for (int block = 0; block < kBlocksPerFrame; ++block)
        EXPECT_EQ(encoder.LastFrame().Blocks[block].Channel[0].Short, expected[block]) << block;

    encoder.Reset();
    for (int frame = 0; frame < 3; ++frame) {
        const std::vector<double> tone = Sine(kSamplesPerFrame, 1000, 48000, 0.5, frame * kSamplesPerFrame);
        inputs[0] = tone.data();
        encoder.Encode(inputs, words.data());
        if (frame == 0)
            continue; // the start of the tone after silence is a transient
        for (int block = 0; block < kBlocksPerFrame; ++block)
            EXPECT_FALSE(encoder.LastFrame().Blocks[block].Channel[0].Short) << frame << " " << block;
    }
}

// Channels switch together: a click in the left channel makes both channels short.
TEST(AC3FrameEncoderTest, ChannelsSwitchTogether) {
    for (int acmod : {0, 2}) {
        TAC3FrameEncoder encoder;
        ASSERT_TRUE(encoder.Configure(0, acmod, 20));
        std::vector<double> left(kSamplesPerFrame, 0.0);
        for (int i = 256 + 10; i < 256 + 20; ++i)
            left[i] = 0.8;
        const std::vector<double> right = Sine(kSamplesPerFrame, 300, 48000, 0.01);
        const double* inputs[2] = {left.data(), right.data()};
        std::vector<uint16_t> words(1920);
        encoder.Encode(inputs, words.data());
        for (int block = 0; block < kBlocksPerFrame; ++block) {
            const TAC3Block& b = encoder.LastFrame().Blocks[block];
            EXPECT_EQ(b.Channel[0].Short, block == 1 || block == 2) << acmod << " " << block;
            EXPECT_EQ(b.Channel[1].Short, b.Channel[0].Short) << acmod << " " << block;
        }
    }
}

// The words form a syncframe: syncword, fscod, frmsizecod, bsid 8, acmod, and CRCs that check.
TEST(AC3FrameEncoderTest, WritesAValidSyncframe) {
    TAC3FrameEncoder encoder;
    ASSERT_TRUE(encoder.Configure(2, 0, 25));
    const std::vector<double> left = Noise(kSamplesPerFrame, 1), right = Sine(kSamplesPerFrame, 440, 32000);
    const double* inputs[2] = {left.data(), right.data()};
    std::vector<uint16_t> words(1920);
    const int count = encoder.Encode(inputs, words.data());
    ASSERT_EQ(count, 3 * 256);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(words[i] >> 8));
        bytes.push_back(static_cast<uint8_t>(words[i]));
    }
    EXPECT_EQ(words[0], 0x0b77);
    EXPECT_EQ(bytes[4], 2 << 6 | 25);  // fscod, frmsizecod
    EXPECT_EQ(bytes[5], 8 << 3 | 0);   // bsid, bsmod
    EXPECT_EQ(bytes[6] >> 5, 0);       // acmod 1+1
    const int firstPart = 2 * FirstPartWords(count);
    EXPECT_EQ(Crc16(bytes.data() + 2, firstPart - 2), 0);
    EXPECT_EQ(Crc16(bytes.data() + firstPart, 2 * count - firstPart), 0);
}

} // namespace
} // namespace quillset::ac3sube
