#include "app/config_override.h"

#include <gtest/gtest.h>

#include "config/model/mpeg_config.h"

namespace quillset {
namespace {

TEST(ConfigOverride, SetsPropertiesByPathAndValue) {
    TMPEGConfig config;
    ApplyConfigSetting(config, "Video.CBR_BitRate=6000000");
    ApplyConfigSetting(config, " Video.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ ");
    ApplyConfigSetting(config, "Text='It''s mine'");
    ApplyConfigSetting(config, "WizardCaption=Plain words");
    ApplyConfigSetting(config, "Audio.SamplingFrequency=48000");
    ApplyConfigSetting(config, "Video.Width=352");
    EXPECT_EQ(config.Video.CBR_BitRate, 6000000);
    EXPECT_EQ(config.Video.RateControlMode, MPEGVideoEncoder_RateControlMode_CQ);
    EXPECT_EQ(config.Text, "It's mine");
    EXPECT_EQ(config.WizardCaption, "Plain words");
    EXPECT_EQ(config.Audio.SamplingFrequency, 48000);
    EXPECT_EQ(config.Video.Width, 352);
}

TEST(ConfigOverride, RefusesWhatTheConfigurationDoesNotTake) {
    struct Case {
        const char* assignment;
        const char* message;
    };
    const Case cases[] = {
        {"Video.NoSuchThing=1", "Unknown setting \"Video.NoSuchThing\""},
        {"Nowhere.Width=1", "Unknown setting \"Nowhere.Width\""},
        {"Video.Width=wide", "cannot be set for Video.Width"},
        {"Video.RateControlMode=Fastest", "cannot be set for Video.RateControlMode"},
        {"Video.Width", "needs PATH=VALUE"},
        {"=5", "needs PATH=VALUE"},
        {"Video.Width=", "needs a value"},
        {"Video Width=5", "is not a setting name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.assignment);
        TMPEGConfig config;
        const int32_t width = config.Video.Width;
        try {
            ApplyConfigSetting(config, c.assignment);
            ADD_FAILURE() << "accepted";
        } catch (const ESettingError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
        EXPECT_EQ(config.Video.Width, width);
    }
}

} // namespace
} // namespace quillset
