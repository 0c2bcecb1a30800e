// Turns the sound of a source into 16-bit samples at the output's sampling frequency and channel
// count, as the audio encoders and the WAVE writer take them: band-limited (windowed-sinc)
// resampling, mono to stereo by copying, stereo to mono by averaging.
#pragma once

#include <cstdint>
#include <vector>

namespace quillset {

class TWaveAudioSource;

class TAudioResampler {
public:
    // source may be null: the output is then silence. source must outlive the resampler.
    TAudioResampler(TWaveAudioSource* source, int32_t outputFrequency, int32_t outputChannels);

    int32_t GetFrequency() const { return OutputFrequency; }
    int32_t GetChannels() const { return OutputChannels; }
    // Output sample times that carry the source's sound; beyond them the output is silence.
    int64_t GetSampleCount() const { return SampleCount; }

    // The next `count` sample times, interleaved 16-bit, into out (count x channels values).
    void Read(int16_t* out, int32_t count);

private:
    void BuildFilter();
    // Makes sure source sample times [first, last] are in the window.
    void Fetch(int64_t first, int64_t last);
    float Sample(int64_t index, int32_t channel) const;

    TWaveAudioSource* Source;
    int32_t SourceFrequency;
    int32_t SourceChannels;
    int32_t OutputFrequency;
    int32_t OutputChannels;
    int64_t SampleCount = 0;
    int64_t Position = 0; // next output sample time

    // Filter: Phases + 1 rows of 2 x HalfTaps coefficients, for fractional offsets 0 .. 1.
    int32_t HalfTaps = 0;
    int32_t Phases = 0;
    std::vector<float> Coefficients;

    // The source window: sample times [WindowStart, WindowStart + size / channels), float, 1.0 = full scale.
    int64_t WindowStart = 0;
    std::vector<float> Window;
};

} // namespace quillset
