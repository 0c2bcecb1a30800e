#include "encoder/framework/mpeg_errors.h"

#include <cstdio>
#include <cstring>

namespace quillset {

namespace {

struct TErrorText {
    uint32_t Code;
    const char* Text;
};

// "\r" is one carriage return; the user interface shows "\r\r" as a paragraph break.
constexpr TErrorText kErrorTexts[] = {
    {0xD061300D, "Illegal MPEG system stream"},
    {0xD061300E, "Illegal MPEG video stream"},
    {0xD061300F, "Illegal MPEG audiostream"},
    {0xD0613010, "Illegal Dolby Digital (AC-3) stream"},
    {0xD0613011, "Encode to MPEG-2 is not supported."},
    {0xD0613014, "This YUV format cannot be used. \r\r> Only 4:2:0 for YUV format is accepted with MPEG-1."},
    {0xD0613015, "The resolution of the video is illegal.\r\r> The windows size needs to be set between 8x8 and 4088x4088.\r> The width and height of window needs to be multiple of 8."},
    {0xD0613016, "Illegal video format"},
    {0xD0613017, "Invalid aspect ratio"},
    {0xD0613018, "Invalid frame rate"},
    {0xD0613019, "For encode mode, Only noninterlace can be used for MPEG-1."},
    {0xD061301A, "For encode mode, 3:2 pulldown when playback can not be used if the flame rate is not 23.976fps or 24fps."},
    {0xD061301B, "For encode mode, inverse 3:2 pulldown can not be used if the flame rate is not 29.97fps or 30fps."},
    {0xD061301C, "Bitrate is too large. (%d kbit/s)\r\r> Bitrate has to be less than 104 Mbits/s for MPEG-1.\r> Bitrate has to be less than 429Gbits/s for MPEG-2."},
    {0xD061301D, "The maximum bit rate should be larger than the minimum bit rate."},
    {0xD061301E, "VBV buffer size is invalid. (%d KB)\r\r> VBV buffer size has to be multiple of 2KB.\r> For MPEG-%d, %dKbits/s, %.5gfps, the rage needs to be set between %d KB and %d KB.(%d KB recommended)\r"},
    {0xD061301F, "DC component precision setting is invalid.\r\r> For MPEG-1, DC component precision must be 8 bit."},
    {0xD0613020, "This profile with the level is not supported."},
    {0xD0613021, "Selected MPEG-2 profile is not allowed to use except 4:2:0 for YUV format."},
    {0xD0613022, "DC component precision in 11 bits cannot be used excluding the High profile."},
    {0xD0613023, "Selected MPEG-2 level can not deal with more than 30fps."},
    {0xD0613024, "This window size is not accepted by selected MPEG-2 level."},
    {0xD0613025, "The sampling rate is not permitted with selected MPEG-2 level.\r\r> Sampling rate = width*height*framerate"},
    {0xD0613026, "The bitrate(%d Kbits/s) is too large for selected MPEG-2 level."},
    {0xD0613027, "The VBV buffer size is too large for selected level."},
    {0xD0613029, "Illegal picture"},
    {0xD061302C, "Layer-3 encode is not supported."},
    {0xD061302D, "Illegal bitrate"},
    {0xD061302E, "Invalid Channel mode"},
    {0xD061302F, "Illegal sample format"},
    {0xD0613030, "Illegal sample format"},
    {0xD0613031, "Encode to MPEG-2 is not supported."},
    {0xD0613032, "Current system stream format can not include %s stream."},
    {0xD0613033, "More than 2 streams can not be included if it is elementary stream."},
    {0xD0613034, "This stream ID cannot be used."},
    {0xD0613035, "Invalid Rate control algorithm"},
    {0xD0613036, "Can't load \"%s\""},
    {0xD0613037, "Can not use Quantize matirix for chroma channel."},
    {0xD0613038, "Can't load \"%s\""},
    {0xD0613039, "Can not use optimization for motion search by halp pixcel."},
    {0xD061303A, "Can not use LPF of chroma channel."},
    {0xD061303B, "Illegal Linear PCM stream"},
    {0xD061303C, "Invalid DVD Sub-picture stream."},
};

// Appends one conversion (the text from '%' to the conversion letter) formatted with arg.
void AppendConversion(std::string& out, std::string directive, const TErrorArgument* arg) {
    const char conversion = directive.back();
    switch (conversion) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': {
        int64_t value = 0;
        if (arg != nullptr) {
            if (const auto* i = std::get_if<int64_t>(arg))
                value = *i;
            else if (const auto* d = std::get_if<double>(arg))
                value = static_cast<int64_t>(*d);
        }
        directive.insert(directive.size() - 1, "ll");
        out += FormatText(directive.c_str(), static_cast<long long>(value));
        break;
    }
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': {
        double value = 0;
        if (arg != nullptr) {
            if (const auto* d = std::get_if<double>(arg))
                value = *d;
            else if (const auto* i = std::get_if<int64_t>(arg))
                value = static_cast<double>(*i);
        }
        out += FormatText(directive.c_str(), value);
        break;
    }
    default: { // 's' and anything unknown: the argument as text
        std::string value;
        if (arg != nullptr) {
            if (const auto* s = std::get_if<std::string>(arg))
                value = *s;
            else if (const auto* i = std::get_if<int64_t>(arg))
                value = std::to_string(*i);
            else
                value = std::to_string(std::get<double>(*arg));
        }
        directive.back() = 's';
        out += FormatText(directive.c_str(), value.c_str());
        break;
    }
    }
}

const char* FindErrorText(uint32_t code) {
    for (const TErrorText& entry : kErrorTexts)
        if (entry.Code == code)
            return entry.Text;
    return nullptr;
}

} // namespace

std::string GetErrorCodeText(uint32_t code) {
    if (const char* text = FindErrorText(code))
        return text;
    return FormatText("Unknown error (0x%.8X)", code);
}

std::string FormatErrorText(const std::string& format, const std::vector<TErrorArgument>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Flags, width and precision, then the conversion letter.
        size_t end = i + 1;
        while (end < format.size() && std::strchr("-+ #0123456789.", format[end]) != nullptr)
            ++end;
        if (end >= format.size() || end - i > 16) {
            out.append(format, i, std::string::npos);
            break;
        }
        const TErrorArgument* arg = next < args.size() ? &args[next] : nullptr;
        ++next;
        AppendConversion(out, format.substr(i, end - i + 1), arg);
        i = end;
    }
    return out;
}

std::string BuildErrorMessage(uint32_t code, const std::vector<TErrorArgument>& args) {
    const char* text = FindErrorText(code);
    return text != nullptr ? FormatErrorText(text, args) : GetErrorCodeText(code);
}

} // namespace quillset
