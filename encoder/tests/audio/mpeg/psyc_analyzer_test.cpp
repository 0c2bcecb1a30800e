// Psychoacoustic model 2 on signals whose masking is clear: a tone, noise, silence and an
// attack after silence.
#include "encoder/audio/mpeg/psyc_analyzer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace quillset {
namespace {

constexpr int32_t kSize = mpa::kPsycFFTSize;

std::vector<float> Tone(double frequency, double amplitude, int32_t fs, int32_t start = 0) {
    std::vector<float> out(kSize);
    for (int32_t n = 0; n < kSize; ++n)
        out[n] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * (n + start) / fs));
    return out;
}

std::vector<float> Noise(double amplitude, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> u(-amplitude, amplitude);
    std::vector<float> out(kSize);
    for (float& x : out)
        x = static_cast<float>(u(random));
    return out;
}

// The SMR after a few analyses of the same kind of signal (so the predictor has a history).
std::vector<float> SteadySMR(TPsycAnalyzer_Layer12& psyc, const std::vector<std::vector<float>>& windows) {
    std::vector<float> smr(32);
    for (const auto& w : windows)
        psyc.Analyze(0, w.data(), false, smr.data());
    return smr;
}

TEST(PsycAnalyzerTest, ToneNeedsItsSubbandAndLittleElsewhere) {
    const int32_t fs = 48000;
    TPsycAnalyzer_Layer12 psyc(fs, 1);
    // 2625 Hz: the middle of subband 3 at 48 kHz (750 Hz per subband); windows 576 samples apart.
    std::vector<std::vector<float>> windows;
    for (int32_t i = 0; i < 4; ++i)
        windows.push_back(Tone(2625.0, 10000.0, fs, 576 * i));
    const std::vector<float> smr = SteadySMR(psyc, windows);
    const int32_t loudest = static_cast<int32_t>(std::max_element(smr.begin(), smr.end()) - smr.begin());
    EXPECT_EQ(loudest, 3);
    EXPECT_GT(smr[3], 25.0f); // about the tone masking noise of its partition
    for (int32_t sb = 8; sb < 32; ++sb)
        EXPECT_LT(smr[sb], 0.0f) << sb;
}

TEST(PsycAnalyzerTest, ToneNeedsMoreThanNoiseOfTheSameLevel) {
    // A tone is predictable and masks little; noise masks itself well (ISO/IEC 11172-3, D.2.4).
    const int32_t fs = 44100;
    TPsycAnalyzer_Layer12 tonePsyc(fs, 1), noisePsyc(fs, 1);
    std::vector<std::vector<float>> tone, noise;
    for (int32_t i = 0; i < 4; ++i) {
        tone.push_back(Tone(5512.5, 3000.0, fs, 576 * i)); // subband 8 at 44.1 kHz
        noise.push_back(Noise(3000.0 * std::sqrt(3.0 / 2.0), 7 + i)); // equal power overall
    }
    const std::vector<float> toneSMR = SteadySMR(tonePsyc, tone);
    const std::vector<float> noiseSMR = SteadySMR(noisePsyc, noise);
    float noiseMax = -1000.0f;
    for (float v : noiseSMR)
        noiseMax = std::max(noiseMax, v);
    EXPECT_GT(toneSMR[8], noiseMax + 15.0f);
}

TEST(PsycAnalyzerTest, SilenceNeedsNothing) {
    TPsycAnalyzer_Layer12 psyc(32000, 2);
    const std::vector<float> silence(kSize, 0.0f);
    std::vector<float> smr(32);
    for (int32_t ch = 0; ch < 2; ++ch) {
        psyc.Analyze(ch, silence.data(), true, smr.data());
        for (int32_t sb = 0; sb < 32; ++sb)
            EXPECT_LT(smr[sb], -50.0f) << sb;
    }
}

TEST(PsycAnalyzerTest, PreEchoControlKeepsTheThresholdOfAnAttackLow) {
    // Noise 40 dB down, then a loud burst: with pre-echo control the threshold may rise only
    // 15 dB over the quiet window's, so the burst's subbands ask for about 25 dB more SNR
    // (where the quiet noise lies above the threshold in quiet, which is not limited).
    const int32_t fs = 48000;
    TPsycAnalyzer_Layer12 with(fs, 1), without(fs, 1);
    const std::vector<float> quiet = Noise(200.0, 1);
    const std::vector<float> loud = Noise(20000.0, 2);
    std::vector<float> smrWith(32), smrWithout(32);
    with.Analyze(0, quiet.data(), true, smrWith.data());
    without.Analyze(0, quiet.data(), false, smrWithout.data());
    with.Analyze(0, loud.data(), true, smrWith.data());
    without.Analyze(0, loud.data(), false, smrWithout.data());
    for (int32_t sb = 2; sb < 13; ++sb)
        EXPECT_GT(smrWith[sb], smrWithout[sb] + 10.0f) << sb;
}

TEST(PsycAnalyzerTest, ChannelsKeepTheirOwnHistory) {
    // The same tone in channel 0 analysed with and without channel 1 in between gives the same
    // result: channel 1's spectra do not enter channel 0's prediction.
    const int32_t fs = 44100;
    TPsycAnalyzer_Layer12 a(fs, 2), b(fs, 2);
    std::vector<float> smrA(32), smrB(32);
    const std::vector<float> noise = Noise(5000.0, 3);
    for (int32_t i = 0; i < 3; ++i) {
        const std::vector<float> tone = Tone(1000.0, 8000.0, fs, 576 * i);
        a.Analyze(0, tone.data(), false, smrA.data());
        b.Analyze(1, noise.data(), false, smrB.data());
        b.Analyze(0, tone.data(), false, smrB.data());
    }
    for (int32_t sb = 0; sb < 32; ++sb)
        EXPECT_FLOAT_EQ(smrA[sb], smrB[sb]) << sb;
}

} // namespace
} // namespace quillset
