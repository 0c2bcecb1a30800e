#include "encoder/audio/mpeg/psyc_analyzer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillset {

namespace {

using mpa::kMaxPartitions;
using mpa::kPsycFFTSize;
using mpa::kPsycLines;

// The threshold-in-quiet table is in dB SPL. The analyser's energies are |X|^2 of 16-bit samples
// under the plain window, on which a full-scale sine's strongest line is (32768 x 1024 / 4)^2;
// that line is taken as 72 dB SPL, a listening level 24 dB below the standard's 96 dB. At 96 dB
// the table's flat 68 dB above 16 kHz keeps spending bits on content at -30 dBFS and below up
// there, which takes them from the bands that are heard; the lower level measured best in both
// segmental SNR and noise-to-mask ratio on the clip of bench/audio_quality.sh (224 kbit/s at
// 44.1 kHz, 384 kbit/s at 48 kHz).
constexpr double kFullScaleLineDb = 72.0;
const double kQuietOffsetDb = 20.0 * std::log10(32768.0 * kPsycFFTSize / 4.0) - kFullScaleLineDb;

constexpr float kNoThreshold = 1e30f;     // the pre-echo history before the first call
constexpr float kPreEchoGrowth = 32.0f;   // a threshold may rise 15 dB from one call to the next
constexpr float kPreEchoFloor = 0.00316f; // but never fall below -25 dB of its own value
constexpr int32_t kLowSubbands = 13;      // subbands that take their smallest line threshold

} // namespace

TPsycAnalyzer_Layer12::TPsycAnalyzer_Layer12(int32_t samplingFrequency, int32_t channels)
    : Partitions(mpa::BuildPsycPartitions(samplingFrequency)),
      States(static_cast<size_t>(channels)), Window(kPsycFFTSize),
      Spreading(static_cast<size_t>(kMaxPartitions) * kMaxPartitions, 0.0f) {
    for (int32_t i = 0; i < kPsycFFTSize; ++i)
        Window[i] = static_cast<float>(0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * (i - 0.5) / kPsycFFTSize)));
    for (ChannelState& state : States)
        state.PreviousThreshold.fill(kNoThreshold);
    for (int32_t b = 0; b < Partitions.Count; ++b)
        for (int32_t i = 0; i < Partitions.LineCount[b]; ++i)
            PartitionOfLine[Partitions.FirstLine[b] + i] = b;
    for (int32_t line = 0; line < kPsycLines; ++line)
        QuietThreshold[line] = static_cast<float>(
            std::pow(10.0, (mpa::QuietThresholdDb(samplingFrequency, line) + kQuietOffsetDb) / 10.0));
    for (int32_t i = 0; i < Partitions.Count; ++i) {
        SpreadFirst[i] = Partitions.Count;
        SpreadLast[i] = 0;
        double sum = 0.0;
        for (int32_t j = 0; j < Partitions.Count; ++j) {
            const double s = mpa::SpreadingFunction(Partitions.Bark[j], Partitions.Bark[i]);
            Spreading[static_cast<size_t>(i) * kMaxPartitions + j] = static_cast<float>(s);
            sum += s;
            if (s != 0.0) {
                SpreadFirst[i] = std::min(SpreadFirst[i], j);
                SpreadLast[i] = j + 1;
            }
        }
        Normalisation[i] = static_cast<float>(sum);
        ToneMasking[i] = static_cast<float>(mpa::ToneMaskingNoise(Partitions.Bark[i]));
        MinimumSNR[i] = static_cast<float>(mpa::MinimumSNROfBark(static_cast<int32_t>(Partitions.Bark[i] + 0.5)));
    }
}

void TPsycAnalyzer_Layer12::MeasureUnpredictability(ChannelState& state) {
    // The line is predicted from the two spectra before: magnitude 2 r1 - r2 and phase
    // 2 phi1 - phi2 (as unit phasors: u1^2 conj(u2)). c = |X - prediction| / (r + |r'|).
    // The new spectrum replaces the older one.
    const int32_t older = 1 - state.Newer;
    const float* r1 = state.Magnitude[state.Newer].data();
    const float* a1 = state.PhaseRe[state.Newer].data();
    const float* b1 = state.PhaseIm[state.Newer].data();
    float* r2 = state.Magnitude[older].data();
    float* a2 = state.PhaseRe[older].data();
    float* b2 = state.PhaseIm[older].data();
    for (int32_t k = 0; k < kPsycLines; ++k) {
        const float xr = SpectrumRe[k], xi = SpectrumIm[k];
        const float energy = xr * xr + xi * xi;
        const float r = std::sqrt(energy);
        const float predictedR = 2.0f * r1[k] - r2[k];
        // u1^2 = (a1^2 - b1^2, 2 a1 b1); times conj(u2) = (a2, -b2).
        const float pr = a1[k] * a1[k] - b1[k] * b1[k];
        const float pi = 2.0f * a1[k] * b1[k];
        const float ur = pr * a2[k] + pi * b2[k];
        const float ui = pi * a2[k] - pr * b2[k];
        const float dr = xr - predictedR * ur;
        const float di = xi - predictedR * ui;
        const float denominator = r + std::fabs(predictedR);
        Energy[k] = energy;
        Unpredictability[k] = denominator > 0.0f ? std::sqrt(dr * dr + di * di) / denominator : 0.0f;
        const float inverse = r > 0.0f ? 1.0f / r : 0.0f;
        r2[k] = r;
        a2[k] = r > 0.0f ? xr * inverse : 1.0f;
        b2[k] = xi * inverse;
    }
    state.Newer = older;
}

void TPsycAnalyzer_Layer12::SpreadAndMask() {
    for (int32_t b = 0; b < Partitions.Count; ++b) {
        float e = 0.0f, weighted = 0.0f;
        const int32_t first = Partitions.FirstLine[b], end = first + Partitions.LineCount[b];
        for (int32_t k = first; k < end; ++k) {
            e += Energy[k];
            weighted += Energy[k] * Unpredictability[k];
        }
        PartEnergy[b] = e;
        PartWeighted[b] = weighted;
    }
    const float log2 = static_cast<float>(std::log10(2.0));
    for (int32_t b = 0; b < Partitions.Count; ++b) {
        const float* row = Spreading.data() + static_cast<size_t>(b) * kMaxPartitions;
        float spreadEnergy = 0.0f, spreadWeighted = 0.0f;
        for (int32_t j = SpreadFirst[b]; j < SpreadLast[b]; ++j) {
            spreadEnergy += row[j] * PartEnergy[j];
            spreadWeighted += row[j] * PartWeighted[j];
        }
        const float u = spreadEnergy > 0.0f ? std::min(spreadWeighted / spreadEnergy, 0.5f) : 0.5f;
        float snr = ToneMasking[b];
        if (u > 0.05f) {
            const float tonality = -std::log10(u) - log2; // 1 at u = 0.05, 0 at u = 0.5
            snr = tonality * ToneMasking[b] + (1.0f - tonality) * static_cast<float>(mpa::kNoiseMaskingTone);
        }
        snr = std::max(snr, MinimumSNR[b]);
        PartMask[b] = spreadEnergy * std::pow(10.0f, -snr / 10.0f) / (Normalisation[b] * Partitions.LineCount[b]);
    }
}

void TPsycAnalyzer_Layer12::LineThresholds(ChannelState& state, bool preEchoControl) {
    for (int32_t k = 0; k < kPsycLines; ++k) {
        const float t = std::max(PartMask[PartitionOfLine[k]], QuietThreshold[k]);
        float limited = t;
        if (preEchoControl)
            limited = std::max(std::min(t, kPreEchoGrowth * state.PreviousThreshold[k]), kPreEchoFloor * t);
        state.PreviousThreshold[k] = t;
        Threshold[k] = limited;
    }
}

void TPsycAnalyzer_Layer12::SubbandRatios(float* smr) const {
    // Subband k covers lines 16k .. 16k + 16. Low subbands compare their energy with the
    // smallest threshold among their lines, the others with the sum of the thresholds.
    constexpr float kTiny = 1e-20f;
    for (int32_t sb = 0; sb < mpa::kSubbands; ++sb) {
        const int32_t first = 16 * sb;
        float energy = 0.0f, smallest = kNoThreshold, sum = 0.0f;
        for (int32_t k = first; k <= first + 16; ++k) {
            energy += Energy[k];
            smallest = std::min(smallest, Threshold[k]);
            sum += Threshold[k];
        }
        const float mask = sb < kLowSubbands ? 17.0f * smallest : sum;
        smr[sb] = 10.0f * std::log10(std::max(energy, kTiny) / std::max(mask, kTiny));
    }
}

void TPsycAnalyzer_Layer12::Analyze(int32_t channel, const float* samples, bool preEchoControl, float* smr) {
    ChannelState& state = States[static_cast<size_t>(channel)];
    for (int32_t i = 0; i < kPsycFFTSize; ++i)
        Windowed[i] = samples[i] * Window[i];
    FFT.Transform(Windowed.data(), SpectrumRe.data(), SpectrumIm.data());
    MeasureUnpredictability(state);
    SpreadAndMask();
    LineThresholds(state, preEchoControl);
    SubbandRatios(smr);
}

} // namespace quillset
