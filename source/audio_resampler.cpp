#include "source/audio_resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "source/wave_audio_source.h"

namespace quillset {

namespace {

constexpr int32_t kPhases = 512;
constexpr int32_t kBaseHalfTaps = 16;
constexpr double kKaiserBeta = 8.0;
constexpr int32_t kFetchBlock = 4096;

// Zeroth-order modified Bessel function of the first kind (power series).
double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < 1e-12 * sum)
            break;
    }
    return sum;
}

} // namespace

TAudioResampler::TAudioResampler(TWaveAudioSource* source, int32_t outputFrequency, int32_t outputChannels)
    : Source(source), SourceFrequency(source != nullptr ? source->GetSamplingFrequency() : outputFrequency),
      SourceChannels(source != nullptr ? source->GetChannels() : outputChannels), OutputFrequency(outputFrequency),
      OutputChannels(outputChannels) {
    if (Source != nullptr)
        SampleCount = static_cast<int64_t>(static_cast<double>(Source->GetSampleCount()) * OutputFrequency /
                                           SourceFrequency);
    if (Source != nullptr && SourceFrequency != OutputFrequency)
        BuildFilter();
}

void TAudioResampler::BuildFilter() {
    // Cut off a little below the lower of the two Nyquist frequencies; widen the filter when
    // reducing the rate so that its transition band stays as narrow in output terms.
    const double ratio = static_cast<double>(OutputFrequency) / SourceFrequency;
    const double cutoff = std::min(1.0, ratio) * 0.94;
    HalfTaps = static_cast<int32_t>(std::ceil(kBaseHalfTaps / std::min(1.0, ratio)));
    Phases = kPhases;
    const int32_t taps = 2 * HalfTaps;
    Coefficients.assign(static_cast<size_t>(Phases + 1) * taps, 0.0f);
    const double i0Beta = BesselI0(kKaiserBeta);
    for (int32_t p = 0; p <= Phases; ++p) {
        const double fraction = static_cast<double>(p) / Phases;
        double sum = 0;
        std::vector<double> row(static_cast<size_t>(taps));
        for (int32_t k = 0; k < taps; ++k) {
            // Tap k weighs source sample (integer position - HalfTaps + 1 + k).
            const double t = static_cast<double>(k - HalfTaps + 1) - fraction;
            const double x = M_PI * cutoff * t;
            const double sinc = std::abs(x) < 1e-9 ? 1.0 : std::sin(x) / x;
            const double w = t / HalfTaps;
            const double window = std::abs(w) >= 1.0 ? 0.0 : BesselI0(kKaiserBeta * std::sqrt(1.0 - w * w)) / i0Beta;
            row[static_cast<size_t>(k)] = sinc * window;
            sum += row[static_cast<size_t>(k)];
        }
        for (int32_t k = 0; k < taps; ++k)
            Coefficients[static_cast<size_t>(p) * taps + k] = static_cast<float>(row[static_cast<size_t>(k)] / sum);
    }
}

void TAudioResampler::Fetch(int64_t first, int64_t last) {
    // Drop what lies before `first`, in large steps so that the window is not shifted for every
    // output sample.
    const int64_t stale = std::min<int64_t>(first - WindowStart, static_cast<int64_t>(Window.size()) / SourceChannels);
    if (stale >= kFetchBlock) {
        Window.erase(Window.begin(), Window.begin() + stale * SourceChannels);
        WindowStart += stale;
    }
    if (Window.empty() && WindowStart < first)
        WindowStart = first;
    int64_t next = WindowStart + static_cast<int64_t>(Window.size()) / SourceChannels;
    while (next <= last) {
        const auto count = static_cast<int32_t>(std::max<int64_t>(kFetchBlock, last - next + 1));
        const TMPEGAudioEncoder_Samples block = Source->ReadBlock(next, count);
        const size_t values = static_cast<size_t>(count) * SourceChannels;
        if (block.SampleFormat == AudioSampleFormat_8Bit) {
            const auto* in = static_cast<const uint8_t*>(block.Data);
            for (size_t i = 0; i < values; ++i)
                Window.push_back((static_cast<float>(in[i]) - 128.0f) / 128.0f);
        } else {
            const auto* in = static_cast<const int16_t*>(block.Data);
            for (size_t i = 0; i < values; ++i)
                Window.push_back(static_cast<float>(in[i]) / 32768.0f);
        }
        next += count;
    }
}

float TAudioResampler::Sample(int64_t index, int32_t channel) const {
    if (index < 0)
        return 0.0f;
    return Window[static_cast<size_t>((index - WindowStart) * SourceChannels + channel)];
}

void TAudioResampler::Read(int16_t* out, int32_t count) {
    if (Source == nullptr) {
        std::fill(out, out + static_cast<size_t>(count) * OutputChannels, int16_t{0});
        Position += count;
        return;
    }
    std::vector<float> frame(static_cast<size_t>(SourceChannels));
    for (int32_t i = 0; i < count; ++i, ++Position) {
        if (Coefficients.empty()) {
            Fetch(Position, Position);
            for (int32_t c = 0; c < SourceChannels; ++c)
                frame[static_cast<size_t>(c)] = Sample(Position, c);
        } else {
            // Source position of this output sample as integer + fraction, exactly.
            const int64_t numerator = Position * SourceFrequency;
            const int64_t base = numerator / OutputFrequency;
            const double fraction = static_cast<double>(numerator % OutputFrequency) / OutputFrequency;
            const int64_t first = base - HalfTaps + 1;
            Fetch(std::max<int64_t>(first, 0), base + HalfTaps);
            const double phase = fraction * Phases;
            const auto p = static_cast<int32_t>(phase);
            const auto mix = static_cast<float>(phase - p);
            const int32_t taps = 2 * HalfTaps;
            const float* row0 = &Coefficients[static_cast<size_t>(p) * taps];
            const float* row1 = row0 + taps;
            for (int32_t c = 0; c < SourceChannels; ++c) {
                float acc = 0.0f;
                for (int32_t k = 0; k < taps; ++k)
                    acc += (row0[k] + mix * (row1[k] - row0[k])) * Sample(first + k, c);
                frame[static_cast<size_t>(c)] = acc;
            }
        }
        for (int32_t c = 0; c < OutputChannels; ++c) {
            float v;
            if (OutputChannels == SourceChannels)
                v = frame[static_cast<size_t>(c)];
            else if (OutputChannels == 1)
                v = std::accumulate(frame.begin(), frame.end(), 0.0f) / static_cast<float>(SourceChannels);
            else
                v = frame[static_cast<size_t>(std::min(c, SourceChannels - 1))];
            const float scaled = std::round(v * 32768.0f);
            out[static_cast<size_t>(i) * OutputChannels + c] =
                static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
        }
    }
}

} // namespace quillset
