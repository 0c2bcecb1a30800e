// Upper bounds of the MPEG-2 video profiles and levels (ISO/IEC 13818-2, 8.2 and 8.3,
// Tables 8-8 to 8-15) for the profiles Simple, Main, High and 4:2:2 and the levels Low, Main,
// High-1440 and High. Scalable profiles are not produced and not listed.
#pragma once

#include <cstdint>

namespace quillset {

// profile_and_level_indication codes (ISO/IEC 13818-2, Table 8-1 to 8-3).
constexpr int32_t MPEG2Profile_High = 1;
constexpr int32_t MPEG2Profile_Main = 4;
constexpr int32_t MPEG2Profile_Simple = 5;
constexpr int32_t MPEG2Profile_422 = 133; // escape: the whole indication byte
constexpr int32_t MPEG2Level_High = 4;
constexpr int32_t MPEG2Level_High1440 = 6;
constexpr int32_t MPEG2Level_Main = 8;
constexpr int32_t MPEG2Level_Low = 10;

struct TMPEG2ProfileLevelLimits {
    int32_t MaxWidth;            // samples per line
    int32_t MaxHeight;           // lines per frame
    int32_t MaxFrameRateCode;    // frame_rate_code bound
    int64_t MaxSampleRate;       // luminance samples per second
    int32_t MaxBitRate;          // bits per second
    int32_t VBVBufferSize;       // bytes (the standard's bound in bits / 8)
    int32_t ProfileAndLevelIndication;
};

namespace detail {
struct TMPEG2ProfileLevelRow {
    int32_t Profile;
    int32_t Level;
    TMPEG2ProfileLevelLimits Limits;
};

// Bit rates in Mbit/s x 1000000; VBV sizes are 16384-bit units x 2048 bytes.
inline constexpr TMPEG2ProfileLevelRow kMPEG2ProfileLevels[] = {
    {MPEG2Profile_Simple, MPEG2Level_Main, {720, 576, 5, 10368000, 15000000, 1835008 / 8, 0x58}},
    {MPEG2Profile_Main, MPEG2Level_Low, {352, 288, 5, 3041280, 4000000, 475136 / 8, 0x4A}},
    {MPEG2Profile_Main, MPEG2Level_Main, {720, 576, 5, 10368000, 15000000, 1835008 / 8, 0x48}},
    {MPEG2Profile_Main, MPEG2Level_High1440, {1440, 1152, 8, 47001600, 60000000, 7340032 / 8, 0x46}},
    {MPEG2Profile_Main, MPEG2Level_High, {1920, 1152, 8, 62668800, 80000000, 9781248 / 8, 0x44}},
    {MPEG2Profile_High, MPEG2Level_Main, {720, 576, 5, 14745600, 20000000, 2441216 / 8, 0x18}},
    {MPEG2Profile_High, MPEG2Level_High1440, {1440, 1152, 8, 62668800, 80000000, 9781248 / 8, 0x16}},
    {MPEG2Profile_High, MPEG2Level_High, {1920, 1152, 8, 83558400, 100000000, 12222464 / 8, 0x14}},
    {MPEG2Profile_422, MPEG2Level_Main, {720, 608, 5, 11059200, 50000000, 9437184 / 8, 0x85}},
};
} // namespace detail

// The limits of a profile and level, or nullptr when the pair is not one of the table.
constexpr const TMPEG2ProfileLevelLimits* FindMPEG2ProfileLevel(int32_t profile, int32_t level) {
    for (const auto& row : detail::kMPEG2ProfileLevels)
        if (row.Profile == profile && row.Level == level)
            return &row.Limits;
    return nullptr;
}

} // namespace quillset
