#include "config/model/config_file.h"

#include <gtest/gtest.h>

#include "config/model/config_list.h"
#include "config/model/mpeg_config.h"
#include "config/persist/filer_errors.h"
#include "config/templates/wizard_templates.h"
#include "config/tests/stream_bytes.h"
#include "tests/support/temp_dir.h"

namespace quillset::testing {
namespace {

TEST(ConfigFile, SavedFilesLoadBackEqual) {
    TMPEGConfigList templates;
    LoadWizardTemplates(templates, true);
    TMPEGConfig config;
    config.Assign(templates[3].MPEGConfig);
    config.System.CommentText = std::string(400, 'c');
    config.Video.VBR_Quality_B = 0.0; // differs from the class default 20.0
    config.Video.QuantizeMatrix_NonIntra.fill(16);

    TempDir dir;
    const std::string path = dir.File("saved.mcf");
    SaveMPEGConfigToFile(path, config);
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.substr(0, 14), std::string("\xFF\x0A\x00MPEGCONFIG\x00", 14));
    EXPECT_EQ(bytes.substr(20, 16), "TPF0" + Str("TMPEGConfig"));

    TMPEGConfig loaded;
    loaded.Text = "stale";
    loaded.WizardAutoChooseList.VideoSize.Add();
    LoadMPEGConfigFromFile(path, loaded);
    EXPECT_TRUE(loaded.Equals(config));
}

TEST(ConfigFile, HandMadeTextFilesLoadAndUnknownPropertiesAreSkipped) {
    TempDir dir;
    const std::string path = dir.File("hand.mcf");
    WriteFileBytes(path, "object TMPEGConfig\n"
                         "  Text = 'Mine'\n"
                         "  FutureSetting = 3\n"
                         "  Video.Width = 704\n"
                         "  Video.RateControlMode = MPEGVideoEncoder_RateControlMode_Turbo\n"
                         "  Audio.BitRate = 256000\n"
                         "end\n");
    TMPEGConfig config;
    LoadMPEGConfigFromFile(path, config);
    EXPECT_EQ(config.Text, "Mine");
    EXPECT_EQ(config.Video.Width, 704);
    EXPECT_EQ(config.Video.RateControlMode, MPEGVideoEncoder_RateControlMode_CBR);
    EXPECT_EQ(config.Audio.BitRate, 256000);
}

TEST(ConfigFile, DamagedAndForeignFilesGiveTheirMessages) {
    TMPEGConfig config;
    TLargeMemoryStream good;
    SaveMPEGConfigToStream(good, config);
    const std::string bytes = BytesOf(good);
    TMPEGConfigList list;
    TLargeMemoryStream listStream;
    list.SaveToStream(listStream);
    const std::pair<std::string, const char*> cases[] = {
        {bytes.substr(0, bytes.size() / 2), "Stream reading error"},
        {BytesOf(listStream), "Illegal stream format"},
        {"object TMPEGConfig\n  Text = \n", "Illegal stream format"},
        {std::string(1000, '\0'), "Illegal stream format"},
        {"", "Illegal stream format"},
    };
    TempDir dir;
    for (const auto& [content, message] : cases) {
        const std::string path = dir.File("bad.mcf");
        WriteFileBytes(path, content);
        try {
            LoadMPEGConfigFromFile(path, config);
            ADD_FAILURE() << "accepted: " << message;
        } catch (const EStreamError& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
    EXPECT_THROW(LoadMPEGConfigFromFile(dir.File("missing.mcf"), config), EFOpenError);
}

} // namespace
} // namespace quillset::testing
