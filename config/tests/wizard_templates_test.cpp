#include "config/templates/wizard_templates.h"

#include <gtest/gtest.h>

#include "config/model/config_file.h"
#include "config/model/config_list.h"
#include "config/persist/filer_errors.h"
#include "config/persist/text_to_binary.h"
#include "config/tests/stream_bytes.h"

namespace quillset::testing {
namespace {

class WizardTemplates : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Plain = new TMPEGConfigList;
        WithAC3 = new TMPEGConfigList;
        LoadWizardTemplates(*Plain, false);
        LoadWizardTemplates(*WithAC3, true);
    }
    static void TearDownTestSuite() {
        delete Plain;
        delete WithAC3;
    }
    static const TMPEGConfig& Find(const char* fileName) {
        const int index = WithAC3->IndexOfFileName(fileName);
        EXPECT_GE(index, 0) << fileName;
        return (*WithAC3)[index < 0 ? 0 : index].MPEGConfig;
    }

    static TMPEGConfigList* Plain;
    static TMPEGConfigList* WithAC3;
};
TMPEGConfigList* WizardTemplates::Plain = nullptr;
TMPEGConfigList* WizardTemplates::WithAC3 = nullptr;

TEST_F(WizardTemplates, BothListsLoadAndTheAC3ListAddsTwelveTemplates) {
    ASSERT_EQ(Plain->Count(), 33);
    ASSERT_EQ(WithAC3->Count(), 45);
    EXPECT_EQ((*WithAC3)[0].FileName, "DVD (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps AC3.mcf");
    EXPECT_EQ((*Plain)[0].FileName, "DVD (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps LPCM.mcf");
    EXPECT_EQ((*WithAC3)[44].FileName, "VideoCD (PAL) - MPEG1 352x288 CBR 1150kbps.mcf");
    int plain = 0;
    for (int i = 0; i < WithAC3->Count(); ++i) {
        const auto& item = (*WithAC3)[i];
        const bool ac3 = item.MPEGConfig.Audio.StreamType == MPEGAudioEncoder_StreamType_Dolby_AC3;
        EXPECT_EQ(ac3, item.FileName.ends_with("AC3.mcf")) << item.FileName;
        if (ac3)
            continue;
        ASSERT_LT(plain, Plain->Count());
        EXPECT_EQ((*Plain)[plain].FileName, item.FileName);
        EXPECT_TRUE((*Plain)[plain].MPEGConfig.Equals(item.MPEGConfig)) << item.FileName;
        ++plain;
    }
    EXPECT_EQ(plain, 33);
}

TEST_F(WizardTemplates, EveryTemplateSurvivesWritingAndReading) {
    for (int i = 0; i < WithAC3->Count(); ++i) {
        const auto& item = (*WithAC3)[i];
        TLargeMemoryStream stream;
        SaveMPEGConfigToStream(stream, item.MPEGConfig);
        stream.SetPosition(0);
        TMPEGConfig copy;
        LoadMPEGConfigFromStream(stream, copy);
        EXPECT_TRUE(copy.Equals(item.MPEGConfig)) << item.FileName;
        EXPECT_EQ(copy.Video.QuantizeMatrix_Intra, item.MPEGConfig.Video.QuantizeMatrix_Intra);

        // And through the text form.
        stream.SetPosition(0);
        TLargeMemoryStream text;
        ObjectBinaryToText(stream, text);
        text.SetPosition(0);
        TMPEGConfig fromText;
        LoadMPEGConfigFromStream(text, fromText);
        EXPECT_TRUE(fromText.Equals(item.MPEGConfig)) << item.FileName;
    }

    TLargeMemoryStream list;
    WithAC3->SaveToStream(list);
    list.SetPosition(0);
    TMPEGConfigList copy;
    copy.LoadFromStream(list);
    EXPECT_TRUE(copy.Equals(*WithAC3));
    const auto stored = FindTemplateResource("wizardtemplate_ac3");
    ASSERT_EQ(static_cast<int64_t>(stored.size()), list.GetSize());
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), list.GetMemory())) << "the stored list is the writer's output";
}

TEST_F(WizardTemplates, FamilyRulesSpotChecks) {
    const auto& dvdPal = Find("DVD (PAL 16_9) - MPEG2 720x576 CBR 4Mbps AC3.mcf");
    EXPECT_EQ(dvdPal.Video.Height, 576);
    EXPECT_EQ(dvdPal.Video.FrameRate, 3);
    EXPECT_EQ(dvdPal.Video.AspectRatio, 3);
    EXPECT_EQ(dvdPal.Video.MaxBitRate, 9100000);
    EXPECT_EQ(dvdPal.Video.MinBitRate, 1000000);
    EXPECT_EQ(dvdPal.Video.MinAvgBitRate, 3000000);
    EXPECT_EQ(dvdPal.Video.GOP_P_FrameCount, 4);
    EXPECT_EQ(dvdPal.Video.GOP_MaxFrameCount, 15);
    EXPECT_EQ(dvdPal.Video.VBR_MinBitRate, 0);
    EXPECT_EQ(dvdPal.OutputStreamType, MPEG_OutputStreamType_VideoAudio);
    EXPECT_TRUE(dvdPal.OutputStreamType_ReadOnly);
    EXPECT_EQ(dvdPal.Audio.BitRate, 128000);
    EXPECT_FALSE(dvdPal.WizardAutoChooseList.EnableVideoSize);

    const auto& dvdLPCM = Find("DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps LPCM.mcf");
    EXPECT_EQ(dvdLPCM.Video.VBR_MinBitRate, 1000000);
    EXPECT_EQ(dvdLPCM.Video.MinAvgBitRate, 1800000);
    EXPECT_EQ(dvdLPCM.Audio.BitRate, 1536000);
    EXPECT_TRUE(dvdLPCM.Audio.ChannelMode_ReadOnly);
    EXPECT_FALSE(Find("DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps LPCM.mcf").Audio.ChannelMode_ReadOnly);
    ASSERT_EQ(dvdLPCM.WizardAutoChooseList.VideoSize.Count(), 3);
    EXPECT_EQ(dvdLPCM.WizardAutoChooseList.VideoSize[1].Width, 352);
    EXPECT_EQ(dvdLPCM.WizardAutoChooseList.VideoSize[1].Height, 480);

    const auto& film = Find("DVD Film (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps MPA.mcf");
    EXPECT_EQ(film.Video.VideoEncodeMode, MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown);
    EXPECT_EQ(film.Video.MinAvgBitRate, 2000000);
    EXPECT_EQ(film.WizardCategoryName, "$$DVD_ForFilm\\$$NTSC");
    EXPECT_EQ(film.WizardAutoChooseList.VideoSize.Count(), 2);
    EXPECT_FALSE(film.OutputStreamType_ReadOnly);
    EXPECT_EQ(film.WizardDescription, "$$WD_Header_DVD\r\n\r\n$$WD_FileInfo_DVD\r\n\r\n$$WD_Inv32Pulldown\r\n"
                                      "$$WD_TVSystem_NTSC\r\n\r\n$$WD_RecTime_DVD_MPA_max\r\n\r\n$$WD_2passVBR");

    const auto& svcd = Find("SuperVideoCD (NTSCFilm) - MPEG2 480x480 VBR.mcf");
    EXPECT_EQ(svcd.Video.FrameRate, 1);
    EXPECT_EQ(svcd.Video.VideoEncodeMode, MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown);
    EXPECT_TRUE(svcd.Video.VideoEncodeMode_ReadOnly);
    EXPECT_EQ(svcd.Video.GOP_P_FrameCount, 10);
    EXPECT_EQ(svcd.Video.MotionSearchSpeed, MPEGVideoEncoder_MotionSearchSpeed_Normal);
    EXPECT_EQ(svcd.System.StreamType, MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR);
    EXPECT_TRUE(svcd.Video.DisplayWidth_ReadOnly);
    ASSERT_EQ(svcd.WizardAutoChooseList.VideoGOP.Count(), 6);
    EXPECT_EQ(svcd.WizardAutoChooseList.VideoGOP[5].MinVideoBitRate, 2400000);
    EXPECT_EQ(svcd.WizardDescription,
              "$$WD_Header_SVCD\r\n\r\n$$WD_FileInfo_SVCD\r\n\r\n$$WD_Filmmode\r\n$$WD_TVSystem_NTSC\r\n\r\n"
              "$$WD_RecTime_SVCD_max\r\n\r\n$$WD_2passVBR\r\n\r\n$$WD_DVDWarningVCD");

    const auto& vcd = Find("VideoCD (PAL) - MPEG1 352x288 CBR 1150kbps.mcf");
    EXPECT_EQ(vcd.Video.StreamType, MPEGVideoEncoder_StreamType_MPEG1);
    EXPECT_EQ(vcd.Video.AspectRatio, 8);
    EXPECT_EQ(vcd.Video.VBR_MaxBitRate, 1150000);
    EXPECT_EQ(vcd.Video.MaxBitRate, 0);
    EXPECT_EQ(vcd.Video.CQ_MaxBitRate, 3000000);
    EXPECT_EQ(vcd.Video.VBVBufferSize, 40960);
    EXPECT_FALSE(vcd.Video.CQ_EnablePadding);
    EXPECT_FALSE(vcd.Audio.CalcCRC);
    EXPECT_TRUE(vcd.Audio.BitRate_ReadOnly);
    EXPECT_TRUE(vcd.Video.RateControlMode_ReadOnly);
    EXPECT_FALSE(vcd.WizardAutoCalcVideoBitRate);
}

TEST_F(WizardTemplates, RateSummaryOfTheDVDTemplate) {
    const auto& dvd = Find("DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA.mcf");
    const auto summary = dvd.GetRateSummary(0);
    EXPECT_DOUBLE_EQ(summary.VideoOverhead, 2048.0 / 2012.0);
    EXPECT_TRUE(summary.IsConstant);
    EXPECT_EQ(summary.TotalAvgBitRate, 4071571 + 390871);
    EXPECT_EQ(summary.AudioAvgBitRate, 384000);
    EXPECT_EQ(dvd.GetRateSummary(MPEGRateFlag_NoOverhead).TotalAvgBitRate, 4384000);
    EXPECT_EQ(dvd.GetRateSummary(MPEGRateFlag_NoAudio).TotalAvgBitRate, 4071571);

    const auto& lpcm = Find("DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps LPCM.mcf"); // elementary streams
    EXPECT_EQ(lpcm.GetRateSummary(0).VideoOverhead, 1.0);
    EXPECT_EQ(lpcm.GetRateSummary(0).TotalAvgBitRate, 4000000 + 1536000);
    EXPECT_DOUBLE_EQ(lpcm.GetRateSummary(MPEGRateFlag_ElementaryOverhead).AudioOverhead, 2048.0 / 2012.0);
}

TEST_F(WizardTemplates, RecordingTimeOfTheVideoCDTemplate) {
    const auto& vcd = Find("VideoCD (NTSC) - MPEG1 352x240 CBR 1150kbps.mcf");
    // 763363328 x 0.98 bytes at (1170577 + 228012) bit/s.
    EXPECT_EQ(vcd.GetRecordTime(MPEGConfig_TargetMediaType_CD_74min, false, false), 4279);
    EXPECT_EQ(RecordTimeMinutes(4279), 70);
    EXPECT_EQ(vcd.ExpandText("$$recordtime_74min"), "70");
    EXPECT_NE(vcd.GetWizardDescriptionText().find("Approximately 70 min movie can be stored onto 650MB CD-R."),
              std::string::npos);
}

TEST_F(WizardTemplates, DefaultTemplatePerCategory) {
    const std::pair<const char*, const char*> withAC3[] = {
        {"$$DVD\\$$NTSC", "DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps AC3.mcf"},
        {"$$dvd_forfilm\\$$ntsc_16_9", "DVD Film (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps AC3.mcf"},
        {"$$VCD\\$$NTSCFilm", "VideoCD (NTSCFilm) - MPEG1 352x240 CBR 1150kbps.mcf"},
        {"$$SVCD\\$$PAL", "SuperVideoCD (PAL) - MPEG2 480x576 VBR.mcf"},
        {"$$Nowhere", ""},
    };
    for (const auto& [category, fileName] : withAC3)
        EXPECT_EQ(GetDefaultTemplateFileName(*WithAC3, category), fileName) << category;
    EXPECT_EQ(GetDefaultTemplateFileName(*Plain, DefaultWizardCategory), "DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps MPA.mcf");

    TMPEGConfigList custom;
    custom.Add().FileName = "a.mcf";
    auto& mine = custom.Add();
    mine.FileName = "b.mcf";
    mine.MPEGConfig.WizardCategoryName = "Mine\\Sub";
    EXPECT_EQ(GetDefaultTemplateFileName(custom, "mine\\sub"), "b.mcf");
    EXPECT_EQ(GetDefaultTemplateFileName(custom, "$$DVD\\$$NTSC"), "");
}

TEST(TemplateListLoading, UnknownAndIllTypedPropertiesAreSkippedSilently) {
    const std::string text = "object TVidmaroMPEGConfigList\n"
                             "  List = <\n"
                             "    item\n"
                             "      FileName = 'First.mcf'\n"
                             "      MPEGConfig.Video.Width = 'wide'\n"
                             "      MPEGConfig.Video.NoSuchThing = 5\n"
                             "      MPEGConfig.Video.QuantizeMatrix_Intra = {0102}\n"
                             "      MPEGConfig.Video.Height = 576\n"
                             "    end\n"
                             "    item\n"
                             "      FileName = 'Second.mcf'\n"
                             "    end>\n"
                             "  Unrelated = [x]\n"
                             "end\n";
    TMPEGConfigList list;
    list.Add();
    auto stream = StreamOf(text);
    list.LoadFromStream(*stream);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].FileName, "First.mcf");
    EXPECT_EQ(list[0].MPEGConfig.Video.Width, 352);
    EXPECT_EQ(list[0].MPEGConfig.Video.Height, 576);
    EXPECT_EQ(list[0].MPEGConfig.Video.QuantizeMatrix_Intra[0], 8);
    EXPECT_EQ(list[1].FileName, "Second.mcf");
}

TEST(TemplateListLoading, WrongHeadsAreRefused) {
    TMPEGConfig config;
    TLargeMemoryStream configFile;
    SaveMPEGConfigToStream(configFile, config);
    TMPEGConfigList empty;
    TLargeMemoryStream wrongClass;
    {
        TLargeMemoryStream list;
        empty.SaveToStream(list);
        std::string bytes = BytesOf(list);
        bytes[bytes.find("TVidmaro")] = 'X';
        wrongClass.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    const std::pair<const char*, std::string> cases[] = {
        {"a configuration file", BytesOf(configFile)},
        {"another root class", BytesOf(wrongClass)},
        {"text of another class", "object TMPEGConfig\nend\n"},
        {"plain text", "Hello"},
    };
    for (const auto& [what, bytes] : cases) {
        TMPEGConfigList list;
        auto stream = StreamOf(bytes);
        try {
            list.LoadFromStream(*stream);
            ADD_FAILURE() << what << " was accepted";
        } catch (const EInvalidImage& error) {
            EXPECT_STREQ(error.what(), "Illegal stream format") << what;
        }
    }
}

} // namespace
} // namespace quillset::testing
