#include "encoder/mux/elementary_headers.h"

#include <cmath>

namespace quillset {

namespace {

// kbit/s by [version 1 or lower frequencies][layer - 1][bit-rate index] (ISO/IEC 11172-3
// Table 2.4.2.3, ISO/IEC 13818-3 Table 2.4.2.3).
constexpr int32_t kAudioBitRates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

constexpr int32_t kAudioFrequencies[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

// AC-3 nominal kbit/s by frmsizecod / 2, and words per frame at 48, 44.1 and 32 kHz
// (ATSC A/52 Table 5.18).
constexpr int32_t kAC3BitRates[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160,
                                      192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr int32_t kAC3Words44[38] = {69,  70,  87,  88,  104, 105, 121, 122, 139, 140, 174, 175, 208,
                                     209, 243, 244, 278, 279, 348, 349, 417, 418, 487, 488, 557, 558,
                                     696, 697, 835, 836, 975, 976, 1114, 1115, 1253, 1254, 1393, 1394};
constexpr int32_t kAC3Frequencies[3] = {48000, 44100, 32000};
constexpr int32_t kAC3FullChannels[8] = {2, 1, 2, 3, 3, 4, 4, 5};

} // namespace

bool ParseMPEGAudioFrameHeader(const uint8_t* data, TMPEGAudioFrameHeader& header) {
    if (data[0] != 0xFF || (data[1] & 0xF0) != 0xF0)
        return false;
    const int32_t id = (data[1] >> 3) & 1;
    const int32_t layerBits = (data[1] >> 1) & 3;
    const int32_t bitRateIndex = data[2] >> 4;
    const int32_t frequencyIndex = (data[2] >> 2) & 3;
    if (layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 || frequencyIndex == 3)
        return false;
    TMPEGAudioFrameHeader h;
    h.Version = id == 1 ? 1 : 2;
    h.Layer = 4 - layerBits;
    h.Protected = (data[1] & 1) == 0;
    h.BitRateIndex = bitRateIndex;
    h.BitRate = kAudioBitRates[h.Version - 1][h.Layer - 1][bitRateIndex] * 1000;
    h.SamplingFrequency = kAudioFrequencies[h.Version - 1][frequencyIndex];
    h.Padding = (data[2] >> 1) & 1;
    h.ChannelMode = data[3] >> 6;
    h.Emphasis = data[3] & 3;
    if (h.Layer == 1) {
        h.SamplesPerFrame = 384;
        h.FrameSize = (12 * h.BitRate / h.SamplingFrequency + h.Padding) * 4;
    } else if (h.Layer == 3 && h.Version == 2) {
        h.SamplesPerFrame = 576;
        h.FrameSize = 72 * h.BitRate / h.SamplingFrequency + h.Padding;
    } else {
        h.SamplesPerFrame = 1152;
        h.FrameSize = 144 * h.BitRate / h.SamplingFrequency + h.Padding;
    }
    header = h;
    return true;
}

bool ParseAC3SyncInfo(const uint8_t* data, TAC3SyncInfo& info) {
    if (data[0] != 0x0B || data[1] != 0x77)
        return false;
    const int32_t fscod = data[4] >> 6;
    const int32_t frmsizecod = data[4] & 0x3F;
    const int32_t bsid = data[5] >> 3;
    if (fscod == 3 || frmsizecod > 37 || bsid > 10)
        return false;
    TAC3SyncInfo i;
    i.SamplingFrequency = kAC3Frequencies[fscod];
    i.FrameSizeCode = frmsizecod;
    i.BitRate = kAC3BitRates[frmsizecod / 2] * 1000;
    int32_t words = 0;
    switch (fscod) {
    case 0: words = kAC3BitRates[frmsizecod / 2] * 2; break;
    case 1: words = kAC3Words44[frmsizecod]; break;
    default: words = kAC3BitRates[frmsizecod / 2] * 3; break;
    }
    i.FrameSize = words * 2;
    i.BitStreamId = bsid;
    i.AudioCodingMode = data[6] >> 5;
    // The lfeon bit follows acmod after the optional cmixlev/surmixlev/dsurmod fields.
    int32_t bit = 3; // bits of data[6] used by acmod
    const int32_t acmod = i.AudioCodingMode;
    if ((acmod & 1) != 0 && acmod != 1)
        bit += 2;
    if ((acmod & 4) != 0)
        bit += 2;
    if (acmod == 2)
        bit += 2;
    const int32_t lfeByte = 6 + bit / 8;
    const int32_t lfeShift = 7 - bit % 8;
    const bool lfe = ((data[lfeByte] >> lfeShift) & 1) != 0;
    i.Channels = kAC3FullChannels[acmod] + (lfe ? 1 : 0);
    info = i;
    return true;
}

void ParseMPEGVideoSequenceHeader(const uint8_t* data, TMPEGVideoSequenceHeader& header) {
    header.Width = data[0] << 4 | data[1] >> 4;
    header.Height = (data[1] & 0x0F) << 8 | data[2];
    header.AspectRatioCode = data[3] >> 4;
    header.FrameRateCode = data[3] & 0x0F;
    header.BitRateValue = data[4] << 10 | data[5] << 2 | data[6] >> 6;
    header.VBVBufferSizeValue = (data[6] & 0x1F) << 5 | data[7] >> 3;
    header.ConstrainedParameters = ((data[7] >> 2) & 1) != 0;
}

double GetMPEGFrameRate(int32_t frameRateCode) {
    static constexpr double kRates[9] = {0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
    return frameRateCode >= 1 && frameRateCode <= 8 ? kRates[frameRateCode] : 0;
}

int64_t FieldsToTicks(int64_t fields, int32_t frameRateCode, double frameRate) {
    switch (frameRateCode) {
    case 1: return fields * 15015 / 8;
    case 2: return fields * 3750 / 2;
    case 3: return fields * 3600 / 2;
    case 4: return fields * 3003 / 2;
    case 5: return fields * 3000 / 2;
    case 6: return fields * 1800 / 2;
    case 7: return fields * 3003 / 4;
    case 8: return fields * 1500 / 2;
    default:
        if (frameRate <= 0)
            return 0;
        return static_cast<int64_t>(std::floor(static_cast<double>(fields) / (2 * frameRate) * 90000 + 0.1 + 0.5));
    }
}

} // namespace quillset
