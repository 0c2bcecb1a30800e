// Readers of the first header of each elementary stream kind: the MPEG audio frame header
// (ISO/IEC 11172-3, 2.4.2.3; the lower sampling frequencies of ISO/IEC 13818-3), the AC-3
// synchronisation information (ATSC A/52, 5.3.1 and Table 5.18) and the MPEG video sequence
// header (ISO/IEC 11172-2, 2.4.2.3; ISO/IEC 13818-2, 6.2.2.1), and the exact 90 kHz time of a
// count of video fields.
#pragma once

#include <cstdint>

namespace quillset {

struct TMPEGAudioFrameHeader {
    int32_t Version = 1;          // 1 = ISO/IEC 11172-3, 2 = the lower frequencies of 13818-3
    int32_t Layer = 0;            // 1, 2 or 3
    int32_t BitRateIndex = 0;
    int32_t BitRate = 0;          // bits per second
    int32_t SamplingFrequency = 0;
    int32_t Padding = 0;
    int32_t ChannelMode = 0;      // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int32_t Emphasis = 0;
    bool Protected = false;
    int32_t FrameSize = 0;        // bytes, header included
    int32_t SamplesPerFrame = 0;
};

// Decodes the four header bytes at data. False (header untouched) without the 12-bit sync 0xFFF,
// for layer 0, bit-rate index 0 (free format) or 15, or sampling index 3.
bool ParseMPEGAudioFrameHeader(const uint8_t* data, TMPEGAudioFrameHeader& header);

struct TAC3SyncInfo {
    int32_t SamplingFrequency = 0; // 48000, 44100 or 32000
    int32_t FrameSizeCode = 0;
    int32_t BitRate = 0;           // bits per second
    int32_t FrameSize = 0;         // bytes
    int32_t BitStreamId = 0;
    int32_t AudioCodingMode = 0;   // acmod
    int32_t Channels = 0;          // full-bandwidth channels plus the low-frequency channel
    static constexpr int32_t SamplesPerFrame = 1536;
};

// Decodes the first 7 bytes of an AC-3 frame. False without the sync word 0x0B77, for fscod 3,
// a frame size code above 37 or a bit stream id above 10 (not ATSC A/52 AC-3).
bool ParseAC3SyncInfo(const uint8_t* data, TAC3SyncInfo& info);

struct TMPEGVideoSequenceHeader {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t AspectRatioCode = 0;
    int32_t FrameRateCode = 0;
    int32_t BitRateValue = 0;      // 18 bits; 0x3FFFF = variable (ISO/IEC 11172-2)
    int32_t VBVBufferSizeValue = 0; // 10 bits, units of 16 kbit
    bool ConstrainedParameters = false;
};

// Decodes the 8 bytes that follow the sequence header code 00 00 01 B3.
void ParseMPEGVideoSequenceHeader(const uint8_t* data, TMPEGVideoSequenceHeader& header);

// Frames per second of an ISO/IEC 13818-2 frame_rate_code (Table 6-4); 0 for codes 0 and 9-15.
double GetMPEGFrameRate(int32_t frameRateCode);

// 90 kHz ticks of `fields` video fields at the rate of frameRateCode, exact for codes 1 to 8
// (e.g. 29.97 Hz: fields × 3003 div 2); other codes use frameRate, rounded.
int64_t FieldsToTicks(int64_t fields, int32_t frameRateCode, double frameRate);

} // namespace quillset
