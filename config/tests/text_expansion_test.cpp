#include <gtest/gtest.h>

#include "config/model/config_list.h"
#include "config/model/mpeg_config.h"
#include "config/templates/wizard_templates.h"

namespace quillset::testing {
namespace {

TEST(ExpandText, StaticTexts) {
    const TMPEGConfig config;
    const std::pair<const char*, const char*> cases[] = {
        {"no placeholders at all", "no placeholders at all"},
        {"$$DVD_NTSC", "DVD NTSC"},
        {"$$dvd_ntsc", "DVD NTSC"},
        {"$$DVD_NTSC_LowResolution", "Low resolution DVD NTSC"},
        {"$$DVD_NTSCx", "DVD NTSCx"},
        {"$$DVD\\$$NTSC_16_9", "DVD\\NTSC (16:9)"},
        {"$$DVD_ForFilm\\$$NTSC", "DVD (For cinema)\\NTSC"},
        {"CBR   $$WS_Audio_LinearPCM", "CBR   Linear PCM Audio"},
        {"$$Nothing here", "$$Nothing here"},
        {"$$", "$$"},
        {"a $ b $$", "a $ b $$"},
        {"$$$DVD", "$DVD"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(config.ExpandText(text), expected) << text;
}

TEST(ExpandText, FiguresOfTheConfiguration) {
    TMPEGConfigList list;
    LoadWizardTemplates(list, false);
    const TMPEGConfig& dvd = list[list.IndexOfFileName("DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA.mcf")].MPEGConfig;
    const TMPEGConfig& svcd = list[list.IndexOfFileName("SuperVideoCD (NTSCFilm) - MPEG2 480x480 VBR.mcf")].MPEGConfig;
    struct Case {
        const TMPEGConfig* config;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {&dvd, "$$bitratekbps", " 4000kbps"},
        {&dvd, "$$BITRATE", " 4000"},
        {&dvd, "$$widthx$$height", "720x480"},
        {&dvd, "$$videosizelist", "720x480/352x480/352x240"},
        {&dvd, "$$frameratefps", "29.97fps"},
        {&dvd, "$$ratemode $$targetfiletype on $$mediatype", "CBR MPEG-2 on 4.7GB"},
        {&dvd, "$$WS_Default", "CBR  4000kbps   125min/4.7GB"},
        {&dvd, "$$recordtime/$$recordtime_pcm/$$srecordtime_pcm.", "125/100/100."},
        {&dvd, "$$unknownthing", "$$unknownthing"},
        {&svcd, "$$frameratefps $$ratemode $$bitratekbps", "29.97fps VBR  1600kbps"},
        {&svcd, "$$videosizelist", "480x480"},
        {&svcd, "$$maxrecordtime min", "50 min"},
        {&svcd, "$$smaxrecordtime|$$maxrecordtime_80min", " 50|55"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.config->ExpandText(c.text), c.expected) << c.text;
}

TEST(WizardTexts, CategoryPathCaptionAndSubFormat) {
    TMPEGConfig config;
    const std::tuple<const char*, const char*, const char*> categories[] = {
        {"$$VCD\\$$PAL", "t.mcf", "Video-CD\\PAL"},
        {"Custom", "dir/My Template.mcf", "Other\\Custom"},
        {"", "dir/My Template.mcf", "Other\\My Template"},
        {"Mine\\", "x.y.mcf", "Mine\\x.y"},
        {"$$DVD\\$$HIDE", "t.mcf", ""},
        {"$$hide", "t.mcf", "Other\\$$hide"},
    };
    for (const auto& [category, fileName, expected] : categories) {
        config.WizardCategoryName = category;
        EXPECT_EQ(config.GetWizardCategoryPath(fileName), expected) << category;
    }
    EXPECT_EQ(config.GetWizardCaptionText("folder/Plain.mcf"), "Plain");
    config.WizardCaption = "$$WC_DVD_PAL_16_9";
    EXPECT_EQ(config.GetWizardCaptionText("folder/Plain.mcf"), "DVD for PAL 16:9 (Europe)");
    config.WizardSubFormatName = "VBR   $$WS_Audio_DolbyDigital";
    EXPECT_EQ(config.GetWizardSubFormatText(), "VBR   Dolby Digital Audio (AC-3)");
}

TEST(WizardTexts, DescriptionIsGeneratedWhenATemplateHasNone) {
    TMPEGConfig config; // MPEG-1 system stream, 352x240, CBR 1150 kbit/s, Layer II 192 kbit/s stereo
    EXPECT_EQ(config.GetWizardDescriptionText(),
              "Creates MPEG-1 file.\rThe file extension is \".mpg\".\r\n\r\n"
              "Video Information\r\n"
              "    Resolution: 352x240 pixel\r\n"
              "    Framerate: 29.97 fps\r\n"
              "    Bitrate: average 1150 kbps\r\n\r\n"
              "Audio Information\r\n"
              "    Sampling Frequency: 44100 Hz\r\n"
              "    Number of channels: 2ch Stereo\r\n"
              "    Bitrate: 192 kbps\r\n\r\n"
              "Produces 9.77 MB (average) per 1 minute.");

    config.OutputStreamType = MPEG_OutputStreamType_AudioOnly;
    config.Audio.BitRate = 64000;
    config.Audio.ChannelMode = 3;
    EXPECT_EQ(config.GetWizardDescriptionText(),
              "Creates MPEG-Audio layer II file.\rThe file extension is \".mpa\".\r\n\r\n"
              "Video part will not be included in the file.\r\n\r\n"
              "Audio Information\r\n"
              "    Sampling Frequency: 44100 Hz\r\n"
              "    Number of channels: 1ch Mono\r\n"
              "    Bitrate: 64 kbps\r\n\r\n"
              "Produces 469 KB (average) per 1 minute.");

    config.OutputStreamType = MPEG_OutputStreamType_VideoOnly;
    config.Video.StreamType = MPEGVideoEncoder_StreamType_MPEG2;
    config.Video.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_Auto;
    const std::string text = config.GetWizardDescriptionText();
    EXPECT_EQ(text.substr(0, 56), "Creates MPEG-2 Video file.\rThe file extension is \".m2v\".");
    EXPECT_NE(text.find("    Bitrate: MAX 3000 kbps\r\n\r\nAudio part will not be included in the file."), std::string::npos);
    EXPECT_NE(text.find("Produces 21.46 MB (MAX) per 1 minute."), std::string::npos) << text;
}

} // namespace
} // namespace quillset::testing
