// The texts the wizard shows for a template: its place in the template tree, its variant label,
// caption and description.
#include <string>

#include "config/model/mpeg_config.h"
#include "config/model/mpeg_tables.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {

// The file name without folder and extension.
std::string BaseName(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name;
}

void NewLine(std::string& text) {
    if (!text.empty() && text.back() != '\r' && text.back() != '\n')
        text += "\r\n";
}

void NewParagraph(std::string& text) {
    if (text.empty())
        return;
    NewLine(text);
    text += "\r\n";
}

const char* ChannelModeName(int32_t mode) {
    switch (mode) {
    case MPEGAudio_ChannelMode_Stereo:
        return "Stereo";
    case MPEGAudio_ChannelMode_JointStereo:
        return "Joint-stereo";
    case MPEGAudio_ChannelMode_DualChannel:
        return "Dual channel";
    default:
        return "Mono";
    }
}

// The first line: what kind of file is made, with its extension as %s; empty when the output
// is a system stream of the elementary-stream type, which makes no file of its own kind.
const char* OutputLineFormat(const TMPEGConfig& config) {
    static const char* const kMPEG1Video = "Creates MPEG-1 Video file.\rThe file extension is \".%s\".";
    static const char* const kMPEG2Video = "Creates MPEG-2 Video file.\rThe file extension is \".%s\".";
    switch (config.OutputStreamType) {
    case MPEG_OutputStreamType_VideoOnly:
    case MPEG_OutputStreamType_VideoAudio:
        return config.Video.StreamType == MPEGVideoEncoder_StreamType_MPEG2 ? kMPEG2Video : kMPEG1Video;
    case MPEG_OutputStreamType_AudioOnly:
        switch (config.Audio.StreamType) {
        case MPEGAudioEncoder_StreamType_MPEG1_Layer1:
            return "Creates MPEG-Audio layer I file.\rThe file extension is \".%s\".";
        case MPEGAudioEncoder_StreamType_MPEG1_Layer2:
            return "Creates MPEG-Audio layer II file.\rThe file extension is \".%s\".";
        case MPEGAudioEncoder_StreamType_MPEG1_Layer3:
            return "Creates MPEG-Audio layer III file.\rThe file extension is \".%s\".";
        case MPEGAudioEncoder_StreamType_Dolby_AC3:
            return "Creates Dolby Digital (AC-3) file.\rThe file extension is \".%s\".";
        default:
            return "Creates Linear PCM file.\rThe file extension is \".%s\".";
        }
    default:
        switch (config.System.StreamType) {
        case MPEGSystemEncoder_StreamType_ElementaryStream:
            return "";
        case MPEGSystemEncoder_StreamType_MPEG2_Program:
        case MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR:
        case MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB:
            return kMPEG2Video;
        default:
            return "Creates MPEG-1 file.\rThe file extension is \".%s\".";
        }
    }
}

void AppendVideoPart(const TMPEGConfig& config, std::string& text) {
    if (!OutputHasVideo(config.OutputStreamType)) {
        text += "Video part will not be included in the file.";
        return;
    }
    const TMPEGVideoConfig_RateSettings rates = config.Video.GetRateSettings();
    text += "Video Information";
    NewLine(text);
    text += FormatText("    Resolution: %dx%d pixel", config.Video.Width, config.Video.Height);
    NewLine(text);
    text += FormatText("    Framerate: %.5g fps", GetShownFrameRate(config.Video));
    NewLine(text);
    if (rates.AvgBitRate < 0)
        text += FormatText("    Bitrate: MAX %.0f kbps", rates.MaxBitRate / 1000.0);
    else
        text += FormatText("    Bitrate: average %.0f kbps", rates.AvgBitRate / 1000.0);
}

void AppendAudioPart(const TMPEGConfig& config, std::string& text) {
    if (!OutputHasAudio(config.OutputStreamType)) {
        text += "Audio part will not be included in the file.";
        return;
    }
    const TMPEGAudioConfig& audio = config.Audio;
    text += "Audio Information";
    NewLine(text);
    text += FormatText("    Sampling Frequency: %d Hz", audio.SamplingFrequency);
    NewLine(text);
    text += FormatText("    Number of channels: %dch %s", ChannelsOfMode(audio.ChannelMode),
                       ChannelModeName(audio.ChannelMode));
    NewLine(text);
    text += FormatText("    Bitrate: %.0f kbps", audio.BitRate / 1000.0);
}

void AppendSizePart(const TMPEGConfig& config, std::string& text) {
    const TMPEGConfig_RateSummary summary = config.GetRateSummary(0);
    const bool maximum = summary.TotalAvgBitRate < 0;
    const double rate = maximum ? summary.TotalMaxBitRate : summary.TotalAvgBitRate;
    const double kilobytes = rate / 8.0 / 1024.0 * 60.0;
    if (kilobytes > 1024.0)
        text += FormatText(maximum ? "Produces %.2f MB (MAX) per 1 minute." : "Produces %.2f MB (average) per 1 minute.",
                           kilobytes / 1024.0);
    else
        text += FormatText(maximum ? "Produces %.0f KB (MAX) per 1 minute." : "Produces %.0f KB (average) per 1 minute.",
                           kilobytes);
}

std::string GenerateDescription(const TMPEGConfig& config) {
    std::string text;
    const char* format = OutputLineFormat(config);
    if (format[0] != '\0')
        text += FormatText(format, config.GetOutputFileExtension().c_str());
    NewParagraph(text);
    AppendVideoPart(config, text);
    NewParagraph(text);
    AppendAudioPart(config, text);
    NewParagraph(text);
    AppendSizePart(config, text);
    return text;
}

} // namespace

std::string TMPEGConfig::GetWizardCategoryPath(const std::string& fileName) const {
    if (WizardCategoryName.find("$$HIDE") != std::string::npos)
        return "";
    std::string path = ExpandText(WizardCategoryName);
    if (path.find('\\') == std::string::npos)
        path = "Other\\" + path;
    if (path.back() == '\\')
        path += BaseName(fileName);
    return path;
}

std::string TMPEGConfig::GetWizardSubFormatText() const {
    return ExpandText(WizardSubFormatName);
}

std::string TMPEGConfig::GetWizardCaptionText(const std::string& fileName) const {
    const std::string caption = ExpandText(WizardCaption);
    return caption.empty() ? BaseName(fileName) : caption;
}

std::string TMPEGConfig::GetWizardDescriptionText() const {
    const std::string description = ExpandText(WizardDescription);
    return description.empty() ? GenerateDescription(*this) : description;
}

} // namespace quillset
