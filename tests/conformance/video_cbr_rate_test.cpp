// Constant bit rate streams of the template families over clips of ten seconds (three for the
// larger DVD pictures, to keep the suite quick): the encoder's
// VBV model logs no underflow or overflow, and the stream's average rate lies within 2 % of the
// target.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>

#include "encoder/tests/video/core/video_encode_run.h"
#include "encoder/tests/video/core/video_test_config.h"

namespace quillset {
namespace {

using testing::SyntheticScene;
using testing::VideoEncodeRun;

struct RateCase {
    const char* Name;
    std::function<TMPEGVideoEncoder_EncodeConfig()> Config;
    int32_t Pictures;  // input pictures
    double Seconds;    // their display time
};

TMPEGVideoEncoder_EncodeConfig VideoCD() { return testing::MakeTestMPEG1Config(); }

TMPEGVideoEncoder_EncodeConfig SuperVideoCDFilm() {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.Width = c.Height = 480;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown;
    c.FrameRate = 1;
    c.AvgBitRate = c.MaxBitRate = 2520000;
    c.VBVBufferSize = 114688;
    c.SuperVideoCD = 1;
    return c;
}

TMPEGVideoEncoder_EncodeConfig DVDNTSC() {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.AvgBitRate = c.MaxBitRate = 4000000;
    c.VBVBufferSize = 229376;
    return c;
}

void PrintTo(const RateCase& c, std::ostream* out) { *out << c.Name; }

class CBRRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(CBRRate, KeepsTheBufferAndTheRate) {
    const RateCase& t = GetParam();
    VideoEncodeRun run(t.Config());
    run.Encoder->SetPreviewInterval(10);
    const TMPEGVideoEncoder_Settings& s = run.Encoder->GetSettings();
    // A scene cut half way: the rate control must absorb the sudden cost.
    SyntheticScene scene{s.Config.Width, s.Config.Height, t.Pictures / 2};
    run.Encode(scene, t.Pictures);
    EXPECT_EQ(run.Encoder->GetVBVErrorCount(), 0);
    for (const std::string& line : run.Log) {
        EXPECT_EQ(line.find("VBV buffer underflow"), std::string::npos) << line;
        EXPECT_EQ(line.find("VBV buffer overflow"), std::string::npos) << line;
    }
    const double rate = static_cast<double>(run.Output.GetSize()) * 8 / t.Seconds;
    const double target = s.Config.AvgBitRate;
    EXPECT_LT(std::abs(rate - target) / target, 0.02) << "rate " << rate << " target " << target;
}

INSTANTIATE_TEST_SUITE_P(Templates, CBRRate,
                         ::testing::Values(RateCase{"VideoCD_NTSC", VideoCD, 300, 300 * 1001 / 30000.0},
                                           RateCase{"SuperVideoCD_NTSC_Film", SuperVideoCDFilm, 240,
                                                    240 * 1001 / 24000.0},
                                           RateCase{"DVD_NTSC", DVDNTSC, 90, 90 * 1001 / 30000.0}),
                         [](const auto& p) { return std::string(p.param.Name); });

} // namespace
} // namespace quillset
