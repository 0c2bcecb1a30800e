// Velnor2D.so as a shipped library: what it exports, its loading and unloading, and the
// filter-host protocol behind "Process".
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugins/nr2d/noise_reduction_interface.h"
#include "plugins/nr2d/tests/plugin_loader.h"
#include "tests/support/temp_dir.h"

namespace quillset::testing {
namespace {

using namespace noise_reduction;

TEST(Velnor2DLibraryTest, ExportsOnlyItsTwoCEntries) {
    if (!HasTool("nm"))
        GTEST_SKIP() << "nm is not installed";
    const std::set<std::string> expected{"NoiseReduction2DPluginDLL", "Process"};
    EXPECT_EQ(ExportedFunctions(ProgramFolder() + "/Velnor2D.so"), expected);
}

TEST(Velnor2DLibraryTest, UnloadsCompletelyAndLoadsAgain) {
    for (int round = 0; round < 2; ++round) {
        TLoadedPlugin plugin("Velnor2D.so", AvailablePluginPaths().back());
        ASSERT_TRUE(plugin.Loaded()) << plugin.Error();
        ASSERT_NE(plugin.Entry<TNoiseReduction2DEntry>("NoiseReduction2DPluginDLL"), nullptr);
        EXPECT_TRUE(plugin.Unload());
    }
}

// The code of a command as its four characters lie in memory.
uint32_t CodeOf(const char (&text)[5]) {
    uint32_t code = 0;
    std::memcpy(&code, text, 4);
    return code;
}

class Velnor2DProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.Loaded()) << plugin_.Error();
        process_ = plugin_.Entry<TNoiseReductionProcessEntry>("Process");
        filter_ = plugin_.Entry<TNoiseReduction2DEntry>("NoiseReduction2DPluginDLL");
        ASSERT_NE(process_, nullptr);
        ASSERT_NE(filter_, nullptr);
    }

    TNoiseReductionReply Send(const char (&code)[5], TNoiseReductionCommand command = {}) {
        command.Code = CodeOf(code);
        TNoiseReductionReply reply;
        reply.Status = -1;
        const int32_t status = process_(&command, &reply);
        EXPECT_EQ(status, reply.Status);
        EXPECT_EQ(reply.Code, command.Code);
        return reply;
    }

    TLoadedPlugin plugin_{"Velnor2D.so", AvailablePluginPaths().back()};
    TNoiseReductionProcessEntry process_ = nullptr;
    TNoiseReduction2DEntry filter_ = nullptr;
};

TEST_F(Velnor2DProtocolTest, CodesAreTheCharactersReadAsALittleEndianWord) {
    EXPECT_EQ(NoiseReductionCommand_Startup, 0x50555453u);
    EXPECT_EQ(CodeOf("EXEC"), NoiseReductionCommand_Exec);
}

TEST_F(Velnor2DProtocolTest, StartupReportsTheStoredSettings) {
    const TNoiseReductionReply reply = Send("STUP");
    EXPECT_EQ(reply.Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(reply.Kind, NoiseReductionKind_Spatial);
    EXPECT_EQ(reply.Strength, 100);
    EXPECT_EQ(reply.Radius, 1);
    EXPECT_EQ(reply.FieldMode, 1);
}

TEST_F(Velnor2DProtocolTest, ExecFiltersTheAnnouncedPictureWithTheStoredSettings) {
    const TPicture in = MakePicture(13, 10, TPattern::GentleNoise, 41);
    TPicture expected = in;
    filter_(expected.Bytes.data(), nullptr, 100, 1, in.Width, in.Height, 1, nullptr, nullptr);

    EXPECT_EQ(Send("INIT").Status, NoiseReductionStatus_Ok);
    TNoiseReductionCommand lead;
    lead.Width = in.Width;
    lead.Height = in.Height;
    const TNoiseReductionReply announced = Send("LEAD", lead);
    EXPECT_EQ(announced.Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(announced.Width, in.Width);
    EXPECT_EQ(announced.Height, in.Height);

    TPicture out(in.Width, in.Height);
    TNoiseReductionCommand exec;
    exec.Destination = out.Bytes.data();
    exec.Source = in.Bytes.data();
    const TNoiseReductionReply done = Send("EXEC", exec);
    EXPECT_EQ(done.Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(done.Rows, in.Height);
    EXPECT_EQ(out.Bytes, expected.Bytes);

    TPicture inPlace = in;
    exec.Destination = inPlace.Bytes.data();
    exec.Source = nullptr;
    EXPECT_EQ(Send("EXEC", exec).Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(inPlace.Bytes, expected.Bytes);
    EXPECT_EQ(Send("DONE").Status, NoiseReductionStatus_Ok);
}

TEST_F(Velnor2DProtocolTest, RefusesWhatItCannotServe) {
    TPicture picture(4, 3, 0x33);
    const TPicture untouched = picture;
    TNoiseReductionCommand exec;
    exec.Destination = picture.Bytes.data();

    EXPECT_EQ(Send("EXEC", exec).Status, NoiseReductionStatus_NoPicture); // nothing announced
    TNoiseReductionCommand lead;
    lead.Width = 4;
    lead.Height = 0;
    EXPECT_EQ(Send("LEAD", lead).Status, NoiseReductionStatus_NoPicture);
    lead.Height = 3;
    EXPECT_EQ(Send("LEAD", lead).Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(Send("EXEC", TNoiseReductionCommand{}).Status, NoiseReductionStatus_BadArgument);
    EXPECT_EQ(Send("DONE").Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(Send("EXEC", exec).Status, NoiseReductionStatus_NoPicture); // DONE forgot the picture
    EXPECT_EQ(Send("LEAD", lead).Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(Send("INIT").Status, NoiseReductionStatus_Ok);
    EXPECT_EQ(Send("EXEC", exec).Status, NoiseReductionStatus_NoPicture); // so did INIT
    EXPECT_EQ(picture.Bytes, untouched.Bytes);

    EXPECT_EQ(Send("exec").Status, NoiseReductionStatus_UnknownCommand);
    EXPECT_EQ(process_(nullptr, nullptr), NoiseReductionStatus_BadArgument);
    TNoiseReductionCommand startup;
    startup.Code = NoiseReductionCommand_Startup;
    EXPECT_EQ(process_(&startup, nullptr), NoiseReductionStatus_Ok);
}

} // namespace
} // namespace quillset::testing
