#include "plugins/ac3sube/ac3_crc.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quillset::ac3sube {
namespace {

// The published check value of this CRC (generator 0x8005, MSB first, initial 0, no final
// inversion) over "123456789".
TEST(AC3CrcTest, CheckValue) {
    const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc16(text, 9), 0xfee8);
}

// A decoder runs the CRC over the first 5/8 of the frame after the syncword and over the rest,
// and expects 0 from both.
TEST(AC3CrcTest, FrameChecksLeaveZeroRemainders) {
    std::mt19937 random(5);
    for (int words : {64, 69, 70, 896, 1920}) {
        std::vector<uint8_t> frame(2 * words);
        for (uint8_t& b : frame)
            b = static_cast<uint8_t>(random());
        const int firstPart = 2 * ((words >> 1) + (words >> 3));
        PutFrameChecks(frame.data(), 2 * words, firstPart);
        EXPECT_EQ(Crc16(frame.data() + 2, firstPart - 2), 0) << words;
        EXPECT_EQ(Crc16(frame.data() + 2, 2 * words - 2), 0) << words;
        EXPECT_EQ(Crc16(frame.data() + firstPart, 2 * words - firstPart), 0) << words;
    }
}

} // namespace
} // namespace quillset::ac3sube
