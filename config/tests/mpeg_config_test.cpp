#include "config/model/mpeg_config.h"

#include <gtest/gtest.h>

#include "config/model/config_file.h"
#include "config/model/mpeg_tables.h"
#include "config/persist/filer_errors.h"
#include "config/tests/stream_bytes.h"
#include "encoder/video/mpeg2_profile_level.h"

namespace quillset::testing {
namespace {

std::string SavedBytes(const TMPEGConfig& config) {
    TLargeMemoryStream stream;
    SaveMPEGConfigToStream(stream, config);
    return BytesOf(stream);
}

void LoadText(TMPEGConfig& config, const std::string& body) {
    auto stream = StreamOf("object TMPEGConfig\n" + body + "end\n");
    LoadMPEGConfigFromStream(*stream, config);
}

TEST(VideoConfig, NewConfigStreamsTheDefaultMatricesInRasterOrder) {
    const TMPEGConfig config;
    const std::string bytes = SavedBytes(config);
    const std::string intra = Str("Video.QuantizeMatrix_Intra") + std::string("\x0A\x40\x00\x00\x00", 5) +
                              std::string("\x08\x10\x13\x16\x1A\x1B\x1D\x22\x10\x10\x16\x18", 12);
    const std::string nonIntra = Str("Video.QuantizeMatrix_NonIntra") + std::string("\x0A\x40\x00\x00\x00", 5) +
                                 std::string("\x10\x11\x12\x13\x14\x15\x16\x17\x11", 9);
    EXPECT_NE(bytes.find(intra), std::string::npos);
    EXPECT_NE(bytes.find(nonIntra), std::string::npos);
    EXPECT_EQ(DefaultQuantizeMatrix_Intra[63], 83);
    EXPECT_EQ(DefaultQuantizeMatrix_NonIntra[63], 33);
    EXPECT_EQ(bytes.find("Interlace"), std::string::npos) << "older names are read, never written";
}

TEST(VideoConfig, OlderInterlaceAndPullDownNamesSetTheEncodeMode) {
    struct Case {
        const char* what;
        std::string body;
        TMPEGVideoEncoder_VideoEncodeMode mode;
        bool readOnly;
    };
    const std::string start = "Video.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown\n";
    const Case cases[] = {
        {"both true: the later wins", start + "Video.Interlace = True\nVideo.PullDown32 = True\n",
         MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown, false},
        {"pull-down false alone", start + "Video.PullDown32 = False\n", MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown,
         false},
        {"interlace false", start + "Video.Interlace = False\n", MPEGVideoEncoder_VideoEncodeMode_Progressive, false},
        {"interlace true", start + "Video.Interlace = True\nVideo.PullDown32 = False\n",
         MPEGVideoEncoder_VideoEncodeMode_Interlace, false},
        {"read-only companions", start + "Video.Interlace_ReadOnly = True\nVideo.PullDown32_ReadOnly = False\n",
         MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown, true},
        {"pull-down read-only true", start + "Video.PullDown32_ReadOnly = True\n",
         MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown, true},
    };
    for (const auto& c : cases) {
        TMPEGConfig config;
        LoadText(config, c.body);
        EXPECT_EQ(config.Video.VideoEncodeMode, c.mode) << c.what;
        EXPECT_EQ(config.Video.VideoEncodeMode_ReadOnly, c.readOnly) << c.what;
    }
}

TEST(VideoConfig, BitRateLimits) {
    struct Case {
        const char* what;
        TMPEGVideoEncoder_StreamType type;
        TMPEGVideoEncoder_RateControlMode mode;
        int32_t profile, level, maxRate, minRate, minAvgRate;
        bool applyLevel;
        TMPEGVideoConfig_BitRateLimits expected;
    };
    const auto mpeg1 = MPEGVideoEncoder_StreamType_MPEG1;
    const auto mpeg2 = MPEGVideoEncoder_StreamType_MPEG2;
    const auto cbr = MPEGVideoEncoder_RateControlMode_CBR;
    const Case cases[] = {
        {"no maximum", mpeg1, cbr, 4, 8, 0, 0, 0, true, {100000000, 0, 0}},
        {"main level caps the maximum", mpeg2, cbr, 4, 8, 20000000, 0, 0, true, {15000000, 0, 0}},
        {"main level caps an unlimited maximum", mpeg2, cbr, 4, 8, 0, 0, 0, true, {15000000, 0, 0}},
        {"and the minimum", mpeg2, cbr, 4, 8, 0, 20000000, 0, true, {15000000, 15000000, 15000000}},
        {"only when asked", mpeg2, cbr, 4, 8, 20000000, 0, 0, false, {20000000, 0, 0}},
        {"not for MPEG-1", mpeg1, cbr, 4, 8, 20000000, 0, 0, true, {20000000, 0, 0}},
        {"unknown profile", mpeg2, cbr, 3, 8, 20000000, 0, 0, true, {20000000, 0, 0}},
        {"high profile, high level", mpeg2, cbr, 1, 4, 0, 0, 0, true, {100000000, 0, 0}},
        {"average limit rises to the minimum", mpeg1, cbr, 4, 8, 0, 300000, 100, true, {100000000, 300000, 300000}},
        {"two-pass keeps its average limit", mpeg1, MPEGVideoEncoder_RateControlMode_VBR_2PASS, 4, 8, 0, 1, 2000000, true,
         {100000000, 2000000, 1}},
        {"realtime CBR too", mpeg1, MPEGVideoEncoder_RateControlMode_Realtime_CBR, 4, 8, 0, 1, 5, true, {100000000, 5, 1}},
        {"manual VBR has no average", mpeg1, MPEGVideoEncoder_RateControlMode_VBR_Manual, 4, 8, 0, 500000, 2000000, true,
         {100000000, 500000, 500000}},
        {"nor has constant quality", mpeg1, MPEGVideoEncoder_RateControlMode_CQ, 4, 8, 0, 7, 2000000, true,
         {100000000, 7, 7}},
    };
    for (const auto& c : cases) {
        TMPEGVideoConfig video;
        video.StreamType = c.type;
        video.RateControlMode = c.mode;
        video.Profile = c.profile;
        video.Level = c.level;
        video.MaxBitRate = c.maxRate;
        video.MinBitRate = c.minRate;
        video.MinAvgBitRate = c.minAvgRate;
        const auto limits = video.GetBitRateLimits(c.applyLevel);
        EXPECT_EQ(limits.MaxRate, c.expected.MaxRate) << c.what;
        EXPECT_EQ(limits.MinAvgRate, c.expected.MinAvgRate) << c.what;
        EXPECT_EQ(limits.MinRate, c.expected.MinRate) << c.what;
    }
}

TEST(VideoConfig, RateSettingsAndSetBitRatesUseTheBlockOfTheMode) {
    TMPEGVideoConfig video;
    video.VBR_AvgBitRate = 1, video.VBR_MaxBitRate = 2, video.VBR_MinBitRate = 3, video.VBR_MaxPassCount = 4;
    video.MVBR_MaxBitRate = 12, video.MVBR_MinBitRate = 13, video.MVBR_Quality_P = 20, video.MVBR_Quality_B = -100;
    video.AVBR_MaxBitRate = 22, video.AVBR_MinBitRate = 23, video.AVBR_Quality = 77, video.AVBR_EnablePadding = true;
    video.CQ_MaxBitRate = 32, video.CQ_MinBitRate = 33, video.CQ_Quality = 88, video.CQ_Quality_B = 100;
    video.CBR_BitRate = 41;
    video.VBR_MultipassVBRAlgorithm = MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS;
    struct Case {
        TMPEGVideoEncoder_RateControlMode mode;
        bool cbr;
        int32_t avg, max, min;
        bool padding;
        double quality, factorP, factorB;
        int32_t passes;
    };
    const Case cases[] = {
        {MPEGVideoEncoder_RateControlMode_CBR, true, 41, 41, 41, true, 0, 0, 0, 0},
        {MPEGVideoEncoder_RateControlMode_VBR_2PASS, false, 1, 2, 3, false, 0, 1.0, 1 / 1.2, 4},
        {MPEGVideoEncoder_RateControlMode_VBR_Manual, false, -1, 12, 13, false, 0, 1 / 1.2, 100.0, 0},
        {MPEGVideoEncoder_RateControlMode_VBR_Auto, false, -1, 22, 23, true, 77, 0, 0, 0},
        {MPEGVideoEncoder_RateControlMode_CQ, false, -1, 32, 33, false, 88, 1.0, 0.5, 0},
        {MPEGVideoEncoder_RateControlMode_Realtime_CBR, true, 41, 41, 41, true, 0, 0, 0, 0},
        {MPEGVideoEncoder_RateControlMode_Realtime_CQ, false, -1, 32, 33, false, 88, 1.0, 0.5, 0},
    };
    for (const auto& c : cases) {
        video.RateControlMode = c.mode;
        const auto s = video.GetRateSettings();
        EXPECT_EQ(s.Algorithm, MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS);
        EXPECT_EQ(s.IsCBR, c.cbr) << int(c.mode);
        EXPECT_EQ(s.AvgBitRate, c.avg) << int(c.mode);
        EXPECT_EQ(s.MaxBitRate, c.max) << int(c.mode);
        EXPECT_EQ(s.MinBitRate, c.min) << int(c.mode);
        EXPECT_EQ(s.EnablePadding, c.padding) << int(c.mode);
        EXPECT_DOUBLE_EQ(s.Quality, c.quality) << int(c.mode);
        EXPECT_DOUBLE_EQ(s.QualityFactorP, c.factorP) << int(c.mode);
        EXPECT_DOUBLE_EQ(s.QualityFactorB, c.factorB) << int(c.mode);
        EXPECT_EQ(s.MaxPassCount, c.passes) << int(c.mode);

        TMPEGVideoConfig changed;
        changed.Assign(video);
        changed.SetBitRates(1000, 2000, 500);
        const auto after = changed.GetRateSettings();
        if (c.cbr) {
            EXPECT_EQ(after.AvgBitRate, 1000);
        } else {
            EXPECT_EQ(after.AvgBitRate, c.avg < 0 ? -1 : 1000) << int(c.mode);
            EXPECT_EQ(after.MaxBitRate, 2000) << int(c.mode);
            EXPECT_EQ(after.MinBitRate, 500) << int(c.mode);
        }
    }
}

TEST(MPEGConfig, OutputFileExtensions) {
    struct Case {
        TMPEGConfig_OutputStreamType output;
        TMPEGVideoEncoder_StreamType video;
        TMPEGAudioEncoder_StreamType audio;
        TMPEGSystemEncoder_StreamType system;
        const char* expected;
    };
    const auto mpeg1 = MPEGVideoEncoder_StreamType_MPEG1, mpeg2 = MPEGVideoEncoder_StreamType_MPEG2;
    const auto layer2 = MPEGAudioEncoder_StreamType_MPEG1_Layer2;
    const auto program = MPEGSystemEncoder_StreamType_MPEG2_Program;
    const Case cases[] = {
        {MPEG_OutputStreamType_VideoOnly, mpeg1, layer2, program, "m1v"},
        {MPEG_OutputStreamType_VideoOnly, mpeg2, layer2, program, "m2v"},
        {MPEG_OutputStreamType_AudioOnly, mpeg2, MPEGAudioEncoder_StreamType_MPEG1_Layer1, program, "mpa"},
        {MPEG_OutputStreamType_AudioOnly, mpeg2, layer2, program, "mpa"},
        {MPEG_OutputStreamType_AudioOnly, mpeg2, MPEGAudioEncoder_StreamType_MPEG1_Layer3, program, "mp3"},
        {MPEG_OutputStreamType_AudioOnly, mpeg2, MPEGAudioEncoder_StreamType_Dolby_AC3, program, "ac3"},
        {MPEG_OutputStreamType_VideoAudio, mpeg2, MPEGAudioEncoder_StreamType_LinearPCM, program, "[m2v+wav]"},
        {MPEG_OutputStreamType_System_VideoAudio, mpeg1, layer2, MPEGSystemEncoder_StreamType_MPEG1_VideoCD, "mpg"},
        {MPEG_OutputStreamType_System_AudioOnly, mpeg1, layer2, program, "mpg"},
        {MPEG_OutputStreamType_System_VideoOnly, mpeg1, layer2, MPEGSystemEncoder_StreamType_ElementaryStream, ""},
    };
    for (const auto& c : cases) {
        TMPEGConfig config;
        config.OutputStreamType = c.output;
        config.Video.StreamType = c.video;
        config.Audio.StreamType = c.audio;
        config.System.StreamType = c.system;
        EXPECT_EQ(config.GetOutputFileExtension(), c.expected);
    }
}

TEST(MPEGConfig, VideoEncoderRecord) {
    TMPEGConfig config;
    config.Video.StreamType = MPEGVideoEncoder_StreamType_MPEG1;
    config.Video.YUVFormat = 2;
    config.Video.DC_prec = 2;
    config.Video.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Interlace;
    config.Video.QuantizeMatrix_Intra[5] = 99;
    config.System.CommentText = "hidden";
    auto record = config.GetVideoEncodeConfig();
    EXPECT_EQ(record.YUVFormat, 1);
    EXPECT_EQ(record.DC_prec, 0);
    EXPECT_EQ(record.VideoEncodeMode, MPEGVideoEncoder_VideoEncodeMode_Progressive);
    EXPECT_EQ(record.CommentText, "");
    EXPECT_EQ(record.QuantizeMatrix_Intra[5], 99);
    EXPECT_EQ(record.QuantizeModeVal_Intra, 0.0);
    EXPECT_EQ(record.ColorConversion, ColorConversion_Standard);
    EXPECT_EQ(record.SuperVideoCD, 0);
    EXPECT_EQ(record.AvgBitRate, 1150000);
    EXPECT_EQ(record.EnablePadding, 1);
    EXPECT_EQ(record.AnalysisScale, 1.0);
    EXPECT_EQ(record.ModeDecisionWeights, (std::array<double, 4>{1.0, 1.0, 2.0, 2.0}));
    EXPECT_EQ(record.TuningValues, (std::array<double, 3>{50.0, 1.0, 1.0}));
    // Left for the encode run.
    EXPECT_EQ(record.UseEncodeThread, 0);
    EXPECT_EQ(record.MotionCacheLimit, 0);
    EXPECT_EQ(record.TopFieldFirst, 0);
    EXPECT_EQ(record.DetectSceneChange, 0);

    config.Video.StreamType = MPEGVideoEncoder_StreamType_MPEG2;
    config.Video.QuantizeMode = true;
    config.Video.QuantizeModeVal_Intra = 35;
    config.Video.QuantizeModeVal_NonIntra = 50;
    config.Video.YUVBasicYCbCr = true;
    config.Video.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
    config.System.EnableCommentText = true;
    config.System.StreamType = MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR;
    record = config.GetVideoEncodeConfig();
    EXPECT_EQ(record.YUVFormat, 2);
    EXPECT_EQ(record.DC_prec, 2);
    EXPECT_EQ(record.VideoEncodeMode, MPEGVideoEncoder_VideoEncodeMode_Interlace);
    EXPECT_EQ(record.CommentText, "hidden");
    EXPECT_DOUBLE_EQ(record.QuantizeModeVal_Intra, 0.35);
    EXPECT_DOUBLE_EQ(record.QuantizeModeVal_NonIntra, 0.5);
    EXPECT_EQ(record.ColorConversion, ColorConversion_Basic);
    EXPECT_EQ(record.SuperVideoCD, 1);
    EXPECT_EQ(record.AvgBitRate, -1);
    EXPECT_EQ(record.Quality, 50.0);
    EXPECT_DOUBLE_EQ(record.QualityFactorB, 1 / 1.2);
}

TEST(MPEGConfig, AudioAndSystemRecords) {
    TMPEGConfig config;
    config.Audio.StreamType = MPEGAudioEncoder_StreamType_Dolby_AC3;
    config.Audio.SamplingFrequency = 48000;
    config.Audio.ChannelMode = 3;
    config.Audio.BitRate = 128000;
    config.Audio.CopyrightFlag = true;
    config.Audio.EmphasisType = 1;
    const auto audio = config.GetAudioEncodeConfig();
    EXPECT_EQ(audio.StreamType, MPEGAudioEncoder_StreamType_Dolby_AC3);
    EXPECT_EQ(audio.SamplingFrequency, 48000);
    EXPECT_EQ(audio.ChannelMode, 3);
    EXPECT_EQ(audio.BitRate, 128000);
    EXPECT_EQ(audio.CalcCRC, 0);
    EXPECT_EQ(audio.CopyrightFlag, 1);
    EXPECT_EQ(audio.EmphasisType, 1);

    config.System.StreamType = MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB;
    const auto system = config.GetSystemEncodeConfig();
    const auto* bytes = reinterpret_cast<const uint8_t*>(&system);
    for (size_t i = 0; i < sizeof system; ++i)
        EXPECT_EQ(bytes[i], i == 1 ? MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB : 0) << i;
    config.OutputStreamType = MPEG_OutputStreamType_VideoAudio;
    EXPECT_EQ(config.GetSystemEncodeConfig().StreamType, MPEGSystemEncoder_StreamType_ElementaryStream);
}

TEST(MPEGConfig, AudioRatesAsPCM) {
    TMPEGAudioConfig audio;
    audio.SamplingFrequency = 48000;
    EXPECT_EQ(audio.GetBitRates(MPEGRateFlag_PCMAudio).Avg, 1536000);
    EXPECT_EQ(audio.GetBitRates(0).Max, 192000);
    audio.ChannelMode = 3;
    audio.SamplingFrequency = 44100;
    EXPECT_EQ(audio.GetBitRates(MPEGRateFlag_PCMAudio).Min, 705600);
    EXPECT_EQ(GetAudioBitRateList(MPEGAudioEncoder_StreamType_LinearPCM, 0, 48000),
              (TMPEGAudioEncoder_StreamTypeInfo_BitRateList{1536000}));
    const auto layer2Mono = GetAudioBitRateList(MPEGAudioEncoder_StreamType_MPEG1_Layer2, 3, 44100);
    ASSERT_EQ(layer2Mono.size(), 16u);
    EXPECT_EQ(layer2Mono[10], 192000);
    EXPECT_EQ(layer2Mono[11], 0);
}

TEST(MPEGConfig, FrameRatesAndLevels) {
    const std::pair<int32_t, double> rates[] = {
        {1, 24000.0 / 1001}, {3, 25.0}, {4, 30000.0 / 1001}, {8, 60.0}, {0, 30000.0 / 1001},
        {9, 30000.0 / 1001}, {-1, 30000.0 / 1001}, {(2 << 16) | 3, 12.5}, {(1 << 16) | 9, 30000.0 / 1001},
    };
    for (const auto& [code, rate] : rates)
        EXPECT_DOUBLE_EQ(GetFrameRateValue(code), rate) << code;

    const auto* main = FindMPEG2ProfileLevel(4, 8);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->MaxBitRate, 15000000);
    EXPECT_EQ(main->VBVBufferSize, 229376);
    EXPECT_EQ(main->ProfileAndLevelIndication, 4 * 16 + 8);
    ASSERT_NE(FindMPEG2ProfileLevel(133, 8), nullptr);
    EXPECT_EQ(FindMPEG2ProfileLevel(133, 8)->ProfileAndLevelIndication, 133);
    EXPECT_EQ(FindMPEG2ProfileLevel(5, 10), nullptr) << "Simple profile has only the Main level";
    EXPECT_EQ(FindMPEG2ProfileLevel(1, 10), nullptr) << "High profile has no Low level";
}

TEST(MPEGConfig, AutomaticChoiceByBitRate) {
    const int32_t sizes[] = {0, 2000000, 4000000};
    const std::pair<int64_t, int> bySize[] = {{1900000, 0}, {2000000, 1}, {3999999, 1}, {4000000, 2}, {90000000, 2}};
    for (const auto& [rate, index] : bySize)
        EXPECT_EQ(ChooseByThreshold(sizes, 3, rate), index) << rate;
    const int32_t above[] = {5000, 3000, 9000};
    EXPECT_EQ(ChooseByThreshold(above, 3, 1000), 1) << "nearest threshold above the rate";
    const int32_t descending[] = {3000, 1000};
    EXPECT_EQ(ChooseByThreshold(descending, 2, 2000), 0) << "a first item above the rate yields only to nearer ones";
    EXPECT_EQ(ChooseByThreshold(sizes, 0, 5), -1);

    TMPEGConfig config;
    auto& list = config.WizardAutoChooseList;
    const int32_t widths[] = {352, 352, 720};
    for (int i = 0; i < 3; ++i) {
        auto& item = list.VideoSize.Add();
        item.MinVideoBitRate = sizes[i];
        item.Width = widths[i];
        item.Height = i == 0 ? 240 : 480;
        item.VideoEncodeMode = i == 0 ? MPEGVideoEncoder_VideoEncodeMode_Progressive : MPEGVideoEncoder_VideoEncodeMode_Interlace;
        item.FrameRate = 4;
        item.AspectRatio = 2;
    }
    auto& gop = list.VideoGOP.Add();
    gop.GOP_I_FrameCount = 1, gop.GOP_P_FrameCount = 9, gop.GOP_B_FrameCount = 2;
    config.Video.CBR_BitRate = 2500000;
    EXPECT_FALSE(config.AutoChooseByBitRate()) << "nothing happens while the lists are disabled";
    list.EnableVideoSize = true;
    EXPECT_TRUE(config.AutoChooseByBitRate());
    EXPECT_EQ(config.Video.Width, 352);
    EXPECT_EQ(config.Video.Height, 480);
    EXPECT_EQ(config.Video.VideoEncodeMode, MPEGVideoEncoder_VideoEncodeMode_Interlace);
    EXPECT_EQ(config.Video.AspectRatio, 2);
    EXPECT_FALSE(config.AutoChooseByBitRate());
    config.Video.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_Manual; // no average: the maximum counts
    config.Video.MVBR_MaxBitRate = 6000000;
    list.EnableVideoGOP = true;
    EXPECT_TRUE(config.AutoChooseByBitRate());
    EXPECT_EQ(config.Video.Width, 720);
    EXPECT_EQ(config.Video.GOP_P_FrameCount, 9);
}

TEST(MPEGConfig, AssignCopiesEverythingAndOwnsItsParts) {
    TMPEGConfig source;
    source.Text = "t";
    source.Video.QuantizeMatrix_NonIntra[0] = 1;
    source.Video.ModeDecisionWeights[3] = 9.0;
    source.WizardAutoChooseList.VideoGOP.Add().GOP_P_FrameCount = 3;
    TMPEGConfig copy;
    copy.Assign(source);
    EXPECT_TRUE(copy.Equals(source));
    EXPECT_EQ(copy.Video.ModeDecisionWeights[3], 9.0);
    copy.WizardAutoChooseList.VideoGOP[0].GOP_P_FrameCount = 4;
    EXPECT_EQ(source.WizardAutoChooseList.VideoGOP[0].GOP_P_FrameCount, 3);
    EXPECT_FALSE(copy.Equals(source));
    EXPECT_THROW(copy.Assign(source.Video), EConvertError);
}

} // namespace
} // namespace quillset::testing
