// Psychoacoustic model 2 of ISO/IEC 11172-3 (Annex D) for Layers I and II: from 1024 samples of
// one channel to the signal-to-mask ratio of each of the 32 subbands.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "encoder/audio/mpeg/mpeg_audio_tables.h"
#include "encoder/audio/mpeg/psyc_fft.h"
#include "encoder/audio/mpeg/psyc_tables.h"

namespace quillset {

class TPsycAnalyzer_Layer12 {
public:
    // samplingFrequency: 44100, 48000 or 32000; channels: 1 or 2.
    TPsycAnalyzer_Layer12(int32_t samplingFrequency, int32_t channels);

    // Analyses kPsycFFTSize samples of `channel` (oldest first, 16-bit scale) and writes the SMR
    // in dB of every subband. Each call moves the channel's history on by one analysis: the
    // unpredictability is measured against the two spectra before, and with `preEchoControl`
    // (Layer I) each line's threshold is held to at most 32 times its value of the call before.
    void Analyze(int32_t channel, const float* samples, bool preEchoControl, float* smr);

    const mpa::PsycPartitions& GetPartitions() const { return Partitions; }

private:
    // The spectra of the two calls before, as magnitudes and unit phasors; Newer says which of
    // the two slots holds the more recent one.
    struct ChannelState {
        std::array<float, mpa::kPsycLines> Magnitude[2]{};
        std::array<float, mpa::kPsycLines> PhaseRe[2]{};
        std::array<float, mpa::kPsycLines> PhaseIm[2]{};
        int32_t Newer = 0;
        std::array<float, mpa::kPsycLines> PreviousThreshold{};
    };

    void MeasureUnpredictability(ChannelState& state);
    void SpreadAndMask();
    void LineThresholds(ChannelState& state, bool preEchoControl);
    void SubbandRatios(float* smr) const;

    mpa::PsycPartitions Partitions;
    mpa::RealFFT1024 FFT;
    std::vector<ChannelState> States;
    std::vector<float> Window;                               // the Hann window of Annex D
    std::array<int32_t, mpa::kPsycLines> PartitionOfLine{};
    std::array<float, mpa::kPsycLines> QuietThreshold{};     // as energies on the FFT's scale
    // Spreading from partition j onto partition i, as rows i with the non-zero columns [first, last).
    std::vector<float> Spreading;                            // kMaxPartitions x kMaxPartitions
    std::array<int32_t, mpa::kMaxPartitions> SpreadFirst{}, SpreadLast{};
    std::array<float, mpa::kMaxPartitions> ToneMasking{}, MinimumSNR{}, Normalisation{};

    // Scratch of one analysis.
    std::array<float, mpa::kPsycFFTSize> Windowed{};
    std::array<float, mpa::kPsycLines> SpectrumRe{}, SpectrumIm{};
    std::array<float, mpa::kPsycLines> Energy{}, Unpredictability{}, Threshold{};
    std::array<float, mpa::kMaxPartitions> PartEnergy{}, PartWeighted{}, PartMask{};
};

} // namespace quillset
