#include "config/persist/extended_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace quillset {
namespace {

// mantissa (64 bits, explicit integer bit) and sign/exponent word of an 80-bit value.
TExtended80 Make(uint64_t mantissa, uint16_t top) {
    TExtended80 bytes{};
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    bytes[8] = static_cast<uint8_t>(top);
    bytes[9] = static_cast<uint8_t>(top >> 8);
    return bytes;
}

TEST(ExtendedFloat, EncodesDoublesExactly) {
    struct Case {
        double value;
        uint64_t mantissa;
        uint16_t top;
    };
    const Case cases[] = {
        {1.0, 0x8000000000000000, 0x3FFF},
        {-2.0, 0x8000000000000000, 0xC000},
        {20.0, 0xA000000000000000, 0x4003},
        {0.0, 0, 0},
        {-0.0, 0, 0x8000},
        {std::numeric_limits<double>::infinity(), 0x8000000000000000, 0x7FFF},
        {std::numeric_limits<double>::denorm_min(), 0x8000000000000000, 16383 - 1074},
        {std::numeric_limits<double>::max(), 0xFFFFFFFFFFFFF800, 0x3FFF + 1023},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DoubleToExtended(c.value), Make(c.mantissa, c.top)) << c.value;
        const double back = ExtendedToDouble(Make(c.mantissa, c.top));
        EXPECT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(c.value)) << c.value;
    }
}

TEST(ExtendedFloat, EveryDoubleSurvivesTheRoundTrip) {
    uint64_t state = 0x9E3779B97F4A7C15;
    for (int i = 0; i < 20000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double value = std::bit_cast<double>(state);
        if (std::isnan(value))
            continue;
        const double back = ExtendedToDouble(DoubleToExtended(value));
        ASSERT_EQ(std::bit_cast<uint64_t>(back), state) << value;
    }
    EXPECT_TRUE(std::isnan(ExtendedToDouble(DoubleToExtended(std::numeric_limits<double>::quiet_NaN()))));
}

TEST(ExtendedFloat, DecodingRoundsToNearestEven) {
    const double one = 1.0;
    const double oneUp = std::nextafter(1.0, 2.0);
    const double tiny = std::numeric_limits<double>::denorm_min();
    struct Case {
        const char* what;
        uint64_t mantissa;
        uint16_t top;
        double expected;
    };
    const Case cases[] = {
        {"extra low bit", 0x8000000000000001, 0x3FFF, one},
        {"tie, even kept", 0x8000000000000400, 0x3FFF, one},
        {"above tie", 0x8000000000000401, 0x3FFF, oneUp},
        {"tie, odd kept", 0x8000000000000C00, 0x3FFF, std::nextafter(oneUp, 2.0)},
        {"carry into exponent", 0xFFFFFFFFFFFFFC00, 0x3FFF, 2.0},
        {"beyond double range", 0x8000000000000000, 0x7FFE, std::numeric_limits<double>::infinity()},
        {"below double range", 0x8000000000000000, 1, 0.0},
        {"half the smallest denormal", 0x8000000000000000, 16383 - 1075, 0.0},
        {"three quarters of it", 0xC000000000000000, 16383 - 1075, tiny},
        {"a quarter of it", 0x8000000000000000, 16383 - 1076, 0.0},
        {"unnormal", 0x4000000000000000, 0x3FFF, 0.5},
        {"negative denormal", 0x8000000000000000, 0x8000 | (16383 - 1074), -tiny},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::bit_cast<uint64_t>(ExtendedToDouble(Make(c.mantissa, c.top))), std::bit_cast<uint64_t>(c.expected))
            << c.what;
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(0xC000000000000000, 0x7FFF))));
}

} // namespace
} // namespace quillset
