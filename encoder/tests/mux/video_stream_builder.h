// Hand-made MPEG video elementary streams for the packetizer and engine tests: a sequence header
// (with an MPEG-2 sequence extension when asked), GOP headers, pictures with their coding
// extensions, optional user data and slices of filler bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillset::muxtest {

struct TPictureLayout {
    char Type;                   // 'I', 'P' or 'B'
    bool RepeatFirstField = false;
    int32_t SliceBytes = 200;    // filler bytes of the one slice
    bool ScanInformation = false; // user data 0x10 0x0E with 12 placeholder bytes after the header
};

struct TVideoLayout {
    int32_t FrameRateCode = 4;   // 29.97
    int32_t BitRateValue = 2875; // units of 400 bit/s; 0x3FFFF variable
    int32_t VBVValue = 20;       // units of 2048 bytes
    bool MPEG2 = false;
    bool ProgressiveSequence = false;
    bool DisplayExtension = false;
    std::string SequenceUserData; // bytes after a user data start code behind the sequence header
    bool GroupBeforeEveryI = true;
    bool SequenceEnd = true;
};

inline void PutStartCode(std::string& s, uint8_t code) {
    s += std::string("\0\0\1", 3);
    s += static_cast<char>(code);
}

inline std::string BuildVideoStream(const TVideoLayout& layout, const std::vector<TPictureLayout>& pictures) {
    std::string s;
    auto sequenceHeader = [&] {
        PutStartCode(s, 0xB3);
        const uint32_t width = 352;
        const uint32_t height = 240;
        s += static_cast<char>(width >> 4);
        s += static_cast<char>((width & 15) << 4 | height >> 8);
        s += static_cast<char>(height);
        s += static_cast<char>(1 << 4 | layout.FrameRateCode);
        const uint32_t rate = static_cast<uint32_t>(layout.BitRateValue);
        const uint32_t vbv = static_cast<uint32_t>(layout.VBVValue);
        // bit_rate (18), marker, vbv_buffer_size (10), constrained flag, two matrix flags.
        s += static_cast<char>(rate >> 10);
        s += static_cast<char>(rate >> 2);
        s += static_cast<char>((rate & 3) << 6 | 1 << 5 | vbv >> 5);
        s += static_cast<char>((vbv & 31) << 3);
        if (layout.MPEG2) {
            PutStartCode(s, 0xB5);
            s += static_cast<char>(0x14);
            s += static_cast<char>(0x80 | (layout.ProgressiveSequence ? 0x08 : 0) | 0x02);
            s += static_cast<char>(0x00);
            s += static_cast<char>(0x01);
            s += static_cast<char>(0x00);
            s += static_cast<char>(0x00);
            if (layout.DisplayExtension) {
                PutStartCode(s, 0xB5);
                // id 2, video_format 1, no colour description, 352 x 240.
                s += static_cast<char>(0x22);
                s += static_cast<char>(352 >> 6);
                s += static_cast<char>((352 & 63) << 2 | 1 << 1 | 240 >> 13);
                s += static_cast<char>(240 >> 5);
                s += static_cast<char>((240 & 31) << 3);
            }
        }
        if (!layout.SequenceUserData.empty()) {
            PutStartCode(s, 0xB2);
            s += layout.SequenceUserData;
        }
    };
    sequenceHeader();
    int temporal = 0;
    for (const TPictureLayout& picture : pictures) {
        if (picture.Type == 'I' && layout.GroupBeforeEveryI) {
            PutStartCode(s, 0xB8);
            s += std::string("\x00\x08\x00\x00", 4);
        }
        PutStartCode(s, 0x00);
        const int type = picture.Type == 'I' ? 1 : picture.Type == 'P' ? 2 : 3;
        s += static_cast<char>(temporal >> 2);
        s += static_cast<char>((temporal & 3) << 6 | type << 3);
        s += std::string("\xFF\xF8", 2);
        ++temporal;
        if (layout.MPEG2) {
            PutStartCode(s, 0xB5);
            // id 8, f_codes, dc precision, frame picture, top_field_first 1, repeat_first_field.
            s += static_cast<char>(0x8F);
            s += static_cast<char>(0xFF);
            s += static_cast<char>(0xF3);
            s += static_cast<char>(0x80 | (picture.RepeatFirstField ? 0x02 : 0x00));
            s += static_cast<char>(0x80);
        }
        if (picture.ScanInformation) {
            PutStartCode(s, 0xB2);
            s += std::string("\x10\x0E", 2);
            for (int i = 0; i < 4; ++i)
                s += std::string("\x00\x80\x80", 3);
        }
        PutStartCode(s, 0x01);
        s += std::string(static_cast<size_t>(picture.SliceBytes), '\x55');
    }
    if (layout.SequenceEnd)
        PutStartCode(s, 0xB7);
    return s;
}

// A repeating IBBP group of `count` pictures in coded order (I P B B P B B ...).
inline std::vector<TPictureLayout> GroupOfPictures(int32_t count, int32_t intraBytes, int32_t otherBytes) {
    std::vector<TPictureLayout> pictures;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t position = i % 12;
        const char type = position == 0 ? 'I' : position % 3 == 1 ? 'P' : 'B';
        pictures.push_back({type, false, type == 'I' ? intraBytes : otherBytes});
    }
    return pictures;
}

// MPEG-1 Layer II frames (ISO/IEC 11172-3): sampling index 0 44.1 kHz, 1 48 kHz, 2 32 kHz;
// bit-rate index 11 = 224 kbit/s. Filler bytes follow each header.
inline std::string BuildLayer2Frames(int32_t count, int32_t frequencyIndex = 1, int32_t bitRateIndex = 11) {
    static constexpr int32_t kFrequencies[3] = {44100, 48000, 32000};
    static constexpr int32_t kRates[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    std::string s;
    int64_t remainder = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t bytes = int64_t{144} * kRates[bitRateIndex] * 1000;
        const int64_t size = bytes / kFrequencies[frequencyIndex];
        remainder += bytes % kFrequencies[frequencyIndex];
        const bool padding = frequencyIndex == 0 && remainder >= kFrequencies[frequencyIndex];
        if (padding)
            remainder -= kFrequencies[frequencyIndex];
        std::string frame(static_cast<size_t>(size + (padding ? 1 : 0)), '\x11');
        frame[0] = '\xFF';
        frame[1] = '\xFD'; // MPEG-1, Layer II, no CRC
        frame[2] = static_cast<char>(bitRateIndex << 4 | frequencyIndex << 2 | (padding ? 2 : 0));
        frame[3] = '\x04';
        s += frame;
    }
    return s;
}

// AC-3 frames at 48 kHz (ATSC A/52): frmsizecod 20 = 192 kbit/s, 768 bytes; stereo, acmod 2.
inline std::string BuildAC3Frames(int32_t count, int32_t frameSizeCode = 20) {
    static constexpr int32_t kRates[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
    const size_t size = static_cast<size_t>(kRates[frameSizeCode / 2] * 4);
    std::string s;
    for (int32_t i = 0; i < count; ++i) {
        std::string frame(size, '\x22');
        frame[0] = '\x0B';
        frame[1] = '\x77';
        frame[4] = static_cast<char>(frameSizeCode);
        frame[5] = static_cast<char>(8 << 3);
        frame[6] = static_cast<char>(2 << 5);
        s += frame;
    }
    return s;
}

} // namespace quillset::muxtest
