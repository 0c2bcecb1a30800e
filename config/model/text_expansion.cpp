// Expansion of the "$$" placeholders of template texts: a static table of user-interface texts,
// then, when placeholders remain, a table of figures computed from the configuration.
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/model/mpeg_config.h"
#include "config/model/mpeg_tables.h"
#include "config/persist/persistent.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {

struct TTextEntry {
    const char* Key;
    const char* Value;
};

// Keys are fixed; values are user-interface texts and may be translated.
constexpr TTextEntry kStaticTexts[] = {
    {"$$Video_CD_NTSC", "Video-CD NTSC"},
    {"$$Video_CD_NTSCFilm", "Video-CD NTSC Film"},
    {"$$Video_CD_PAL", "Video-CD PAL"},
    {"$$Video_CD_NTSC_Illegal", "Illegal Video-CD NTSC"},
    {"$$Video_CD_NTSCFilm_Illegal", "Illegal Video-CD NTSC Film"},
    {"$$Video_CD_PAL_Illegal", "Illegal Video-CD PAL"},
    {"$$Super_Video_CD_NTSC", "Super Video-CD NTSC"},
    {"$$Super_Video_CD_NTSCFilm", "Super Video-CD NTSC Film"},
    {"$$Super_Video_CD_PAL", "Super Video-CD PAL"},
    {"$$VCD_NTSC", "Video-CD NTSC"},
    {"$$VCD_NTSCFilm", "Video-CD NTSC Film"},
    {"$$VCD_PAL", "Video-CD PAL"},
    {"$$VCD_NTSC_Illegal", "Illegal Video-CD NTSC"},
    {"$$VCD_NTSCFilm_Illegal", "Illegal Video-CD NTSC Film"},
    {"$$VCD_PAL_Illegal", "Illegal Video-CD PAL"},
    {"$$SVCD_NTSC", "Super Video-CD NTSC"},
    {"$$SVCD_NTSCFilm", "Super Video-CD NTSC Film"},
    {"$$SVCD_PAL", "Super Video-CD PAL"},
    {"$$DVD_NTSC", "DVD NTSC"},
    {"$$DVD_NTSC_LowResolution", "Low resolution DVD NTSC"},
    {"$$DVD_PAL", "DVD PAL"},
    {"$$DVD_PAL_LowResolution", "Low resolution DVD PAL"},
    {"$$VCD", "Video-CD"},
    {"$$SVCD", "Super Video-CD"},
    {"$$DVD", "DVD"},
    {"$$DVD_ForFilm", "DVD (For cinema)"},
    {"$$MPEG1", "MPEG-1"},
    {"$$MPEG2", "MPEG-2"},
    {"$$NTSC", "NTSC"},
    {"$$NTSCFilm", "NTSC Film"},
    {"$$NTSC_LowResolution", "NTSC (Low resolution)"},
    {"$$NTSC_4_3", "NTSC (4:3)"},
    {"$$NTSC_4_3_LowResolution", "NTSC (4:3 low resolution)"},
    {"$$NTSC_16_9", "NTSC (16:9)"},
    {"$$PAL", "PAL"},
    {"$$PAL_LowResolution", "PAL (Low resolution)"},
    {"$$PAL_4_3", "PAL (4:3)"},
    {"$$PAL_4_3_LowResolution", "PAL (4:3 low resolution)"},
    {"$$PAL_16_9", "PAL (16:9)"},
    {"$$Illegal", "Illegal"},

    {"$$WC_VCD_NTSC", "Video CD for NTSC (North America and Japan)"},
    {"$$WC_VCD_NTSCFilm", "Video CD for NTSC (North America and Japan)"},
    {"$$WC_VCD_PAL", "Video CD for PAL (Europe)"},
    {"$$WC_SVCD_NTSC", "SVCD for NTSC (North America and Japan)"},
    {"$$WC_SVCD_NTSCFilm", "SVCD for NTSC (North America and Japan)"},
    {"$$WC_SVCD_PAL", "SVCD for PAL (Europe)"},
    {"$$WC_DVD_NTSC", "DVD for NTSC (North America and Japan)"},
    {"$$WC_DVD_NTSC_LowResolution", "DVD low resolution for NTSC (North America and Japan)"},
    {"$$WC_DVD_NTSC_4_3", "DVD for NTSC 4:3 (North America and Japan)"},
    {"$$WC_DVD_NTSC_4_3_LowResolution", "DVD for NTSC 4:3 low resolution (North America and Japan)"},
    {"$$WC_DVD_NTSC_16_9", "DVD for NTSC 16:9 (North America and Japan)"},
    {"$$WC_DVD_PAL", "DVD for PAL (Europe)"},
    {"$$WC_DVD_PAL_LowResolution", "DVD low resolution for PAL (Europe)"},
    {"$$WC_DVD_PAL_4_3", "DVD for PAL 4:3 (Europe)"},
    {"$$WC_DVD_PAL_4_3_LowResolution", "DVD for PAL 4:3 low resolution (Europe)"},
    {"$$WC_DVD_PAL_16_9", "DVD for PAL 16:9 (Europe)"},
    {"$$WD_Header_VCD", "Conventional CD-Video standard"},
    {"$$WD_Header_SVCD", "Upper standard of Video CD"},
    {"$$WD_Header_DVD", "High Quality Video Standard"},
    {"$$WD_FileInfo_VCD", "Consists from $$targetfiletype file, $$videosizelist, $$frameratefps Can be played with "
                          "various hardware DVD/VCD players or Game hardware(with some optional hardware). "},
    {"$$WD_FileInfo_SVCD", "Consists from $$targetfiletype file, $$videosizelist, $$frameratefps. Can be played with "
                           "various hardware DVD/SVCD players or software DVD players. More hardware/software players "
                           "would support this format in the future. "},
    {"$$WD_FileInfo_SVCD_Illegal", "Consists from $$targetfiletype file, $$videosizelist, $$frameratefps. Can be "
                                   "played with some software DVD players."},
    {"$$WD_FileInfo_DVD", "Consists from $$targetfiletype file, $$videosizelist, $$frameratefps. Can be played with "
                          "various hardware/software DVD players."},
    {"$$WD_FileInfo_DVD_Lowres", "Consists from $$targetfiletype file, $$videosizelist, $$frameratefps. Quality is "
                                 "reletively sacrificed, but the length of movie can be much longer. Can be played "
                                 "with various hardware/software DVD players."},
    {"$$WD_Filmmode", "This format is most optimized for film movies."},
    {"$$WD_Inv32Pulldown", "Use inverse 3:2 pulldown to encode effectively 29.97fps animation or cinema film."},
    {"$$WD_TVSystem_NTSC", "NTSC television system used in North America and Japan."},
    {"$$WD_TVSystem_PAL", "PAL television system used in Europe and some other countries."},
    {"$$WD_RecTime_VCD_74min", "Approximately $$recordtime_74min min movie can be stored onto 650MB CD-R."},
    {"$$WD_RecTime_SVCD_74min", "Approximately $$recordtime_74min min movie can be stored onto 650MB CD-R."},
    {"$$WD_RecTime_SVCD_80min", "Approximately $$recordtime_80min min movie can be stored onto 700MB CD-R."},
    {"$$WD_RecTime_SVCD_max", "At most about $$maxrecordtime min movie can be stored onto standerd 650MB CD-R."},
    {"$$WD_RecTime_DVD_AC3", "With AC-3 audio, Movie can be recorded up to $$recordtime min onto standard 4.7GB "
                             "DVD-R."},
    {"$$WD_RecTime_DVD_AC3_max", "If authored with AC-3 audio, movie can be recorded up to $$maxrecordtime min onto "
                                 "standard 4.7GB DVD-R."},
    {"$$WD_RecTime_DVD_LPCM", "With PCM audio, Movie can be recorded up to $$recordtime min onto standard 4.7GB "
                              "DVD-R."},
    {"$$WD_RecTime_DVD_LPCM_max", "If authored with PCM audio, movie can be recorded up to $$maxrecordtime min onto "
                                  "standard 4.7GB DVD-R."},
    {"$$WD_RecTime_DVD_MPA", "With MP2 audio, Movie can be recorded up to $$recordtime min onto standard 4.7GB "
                             "DVD-R.\r\rIf the audio is converted to PCM with authoring software, movie can be "
                             "recorded up to $$recordtime_pcm min onto standard 4.7GB DVD-R."},
    {"$$WD_RecTime_DVD_MPA_max", "If authored with MP2 audio, movie can be recorded up to $$maxrecordtime min onto "
                                 "standard 4.7GB DVD-R.\r\rIf the audio is converted to PCM with authoring software, "
                                 "movie can be recorded up to $$maxrecordtime_pcm min onto standard 4.7GB DVD-R."},
    {"$$WD_2passVBR", "By encoding 2 pass VBR, higher quality (but slower to finish encoding) can be expected."},
    {"$$WD_2passVBR2", "By encoding 2 pass VBR, higher quality (but slower to finish encoding) can be expected."},
    {"$$WD_Illegal", "To store longer movie into a CD-R, this format is not fully compatible with SVCD standard. Some "
                     "CD/DVD player can not play this format because of compatible matter."},
    {"$$WD_DVDWarningVCD", "This is template for VCD. If you wish to create file for DVD, please use DVD template."},
    {"$$WD_DVDWarningSVCD", "This is template for SVCD. If you wish to create file for DVD, please use DVD template."},
    {"$$WS_Default", "$$ratemode $$bitratekbps   $$srecordtimemin/$$mediatype"},
    {"$$WS_Illegal", "$$ratemode $$bitratekbps   $$srecordtimemin/$$mediatype (Illegal)"},
    {"$$WS_PCM", "$$ratemode $$bitratekbps   $$srecordtime_pcmmin/$$mediatype"},
    {"$$WS_VideoSize", "$$ratemode $$bitratekbps   $$srecordtimemin/$$mediatype   ($$widthx$$height)"},
    {"$$WS_VideoSize_PCM", "$$ratemode $$bitratekbps   $$srecordtime_pcmmin/$$mediatype   ($$widthx$$height)"},
    {"$$WS_CBR_StandardFormat", "CBR   standard format"},
    {"$$WS_VBR_StandardFormat", "VBR   standard format"},
    {"$$WS_CBR_IllegalLongFormat", "CBR   long-sustained format (out of standard)"},
    {"$$WS_VBR_IllegalLongFormat", "VBR   long-sustained format (out of standard)"},
    {"$$WS_Audio_MPEG1LayerII", "MPEG-1 Layer II Audio (MP2)"},
    {"$$WS_Audio_DolbyDigital", "Dolby Digital Audio (AC-3)"},
    {"$$WS_Audio_LinearPCM", "Linear PCM Audio"},
};

using TTextTable = std::vector<std::pair<std::string, std::string>>;

// One pass: at each position the longest key the text continues with (ignoring case; the first
// in table order among equal lengths) is replaced by its value, which is not scanned again.
template <typename Table, typename KeyOf, typename ValueOf>
std::string ExpandPass(const std::string& text, const Table& table, KeyOf keyOf, ValueOf valueOf) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const std::string_view rest = std::string_view(text).substr(i);
        const auto* best = static_cast<decltype(&*std::begin(table))>(nullptr);
        size_t bestLength = 0;
        if (rest.size() >= 2 && rest[0] == '$' && rest[1] == '$') {
            for (const auto& entry : table) {
                const std::string_view key = keyOf(entry);
                if (key.size() > bestLength && key.size() <= rest.size() && SameIdentifier(rest.substr(0, key.size()), key)) {
                    best = &entry;
                    bestLength = key.size();
                }
            }
        }
        if (best != nullptr) {
            out += valueOf(*best);
            i += bestLength;
        } else {
            out += text[i++];
        }
    }
    return out;
}

int32_t Minutes(const TMPEGConfig& config, TMPEGConfig_TargetMediaType media, bool pcm, bool longest) {
    return RecordTimeMinutes(config.GetRecordTime(media, pcm, longest));
}

// The figures of a configuration that template texts show, in matching order.
TTextTable BuildDynamicTable(const TMPEGConfig& config) {
    TTextTable table;
    const TMPEGVideoConfig& video = config.Video;
    table.emplace_back("$$width", FormatText("%d", video.Width));
    table.emplace_back("$$height", FormatText("%d", video.Height));

    std::string sizes;
    const auto& items = config.WizardAutoChooseList.VideoSize;
    if (config.WizardAutoChooseList.EnableVideoSize) {
        for (int i = items.Count() - 1; i >= 0; --i)
            sizes += (sizes.empty() ? "" : "/") + FormatText("%dx%d", items[i].Width, items[i].Height);
    } else {
        sizes = FormatText("%dx%d", video.Width, video.Height);
    }
    table.emplace_back("$$videosizelist", sizes);
    table.emplace_back("$$framerate", FormatText("%.5g", GetShownFrameRate(video)));

    const auto systemType = config.System.StreamType;
    const bool mpeg2 = IsSystemOutput(config.OutputStreamType)
                           ? (systemType == MPEGSystemEncoder_StreamType_MPEG2_Program ||
                              systemType == MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR ||
                              systemType == MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB)
                           : video.StreamType == MPEGVideoEncoder_StreamType_MPEG2;
    table.emplace_back("$$targetfiletype", mpeg2 ? "MPEG-2" : "MPEG-1");

    const TMPEGVideoConfig_RateSettings rates = video.GetRateSettings();
    table.emplace_back("$$ratemode", rates.IsCBR ? "CBR" : "VBR");
    const int32_t rate = rates.AvgBitRate >= 1 ? rates.AvgBitRate : rates.MaxBitRate;
    table.emplace_back("$$bitrate", FormatText("%5d", rate / 1000));

    const auto media = config.WizardTargetMedia;
    const auto cd74 = MPEGConfig_TargetMediaType_CD_74min;
    const auto cd80 = MPEGConfig_TargetMediaType_CD_80min;
    const int32_t recordTime = Minutes(config, media, false, false);
    const int32_t recordTimePCM = Minutes(config, media, true, false);
    const int32_t maxRecordTime = Minutes(config, media, false, true);
    const int32_t maxRecordTimePCM = Minutes(config, media, true, true);
    table.emplace_back("$$recordtime", std::to_string(recordTime));
    table.emplace_back("$$recordtime_74min", std::to_string(Minutes(config, cd74, false, false)));
    table.emplace_back("$$recordtime_80min", std::to_string(Minutes(config, cd80, false, false)));
    table.emplace_back("$$recordtime_pcm", std::to_string(recordTimePCM));
    table.emplace_back("$$maxrecordtime", std::to_string(maxRecordTime));
    table.emplace_back("$$maxrecordtime_74min", std::to_string(Minutes(config, cd74, false, true)));
    table.emplace_back("$$maxrecordtime_80min", std::to_string(Minutes(config, cd80, false, true)));
    table.emplace_back("$$maxrecordtime_pcm", std::to_string(maxRecordTimePCM));
    table.emplace_back("$$srecordtime", FormatText("%3d", recordTime));
    table.emplace_back("$$srecordtime_pcm", FormatText("%3d", recordTimePCM));
    table.emplace_back("$$smaxrecordtime", FormatText("%3d", maxRecordTime));
    table.emplace_back("$$smaxrecordtime_pcm", FormatText("%3d", maxRecordTimePCM));
    table.emplace_back("$$mediatype", GetTargetMediaTypeInfo(media).MediaWord);
    return table;
}

} // namespace

std::string TMPEGConfig::ExpandText(const std::string& text) const {
    const std::string first = ExpandPass(
        text, kStaticTexts, [](const TTextEntry& e) { return std::string_view(e.Key); },
        [](const TTextEntry& e) { return e.Value; });
    if (first.find("$$") == std::string::npos)
        return first;
    const TTextTable dynamic = BuildDynamicTable(*this);
    return ExpandPass(
        first, dynamic, [](const auto& e) { return std::string_view(e.first); },
        [](const auto& e) -> const std::string& { return e.second; });
}

} // namespace quillset
