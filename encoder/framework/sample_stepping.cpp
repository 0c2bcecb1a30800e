#include "encoder/framework/sample_stepping.h"

namespace quillset {

int32_t SourceStepOf(int32_t sourceFrequency, int32_t targetFrequency) {
    const int64_t twice = int64_t{sourceFrequency} * 2 * kSourceOne;
    return static_cast<int32_t>((twice + targetFrequency) / (int64_t{2} * targetFrequency));
}

bool StartSampleBlock(const TMPEGAudioEncoder_Samples& samples, int32_t targetFrequency, int32_t& frequency,
                      int64_t& position, int32_t& step) {
    const bool silent = samples.SampleFormat == AudioSampleFormat_None;
    const bool data = samples.SampleFormat == AudioSampleFormat_8Bit || samples.SampleFormat == AudioSampleFormat_16Bit;
    if ((!silent && !data) || samples.Count < 0 || (!silent && samples.Channels != 1 && samples.Channels != 2))
        return false;
    // A frequency of 0 or below, or one so low that the step rounds to 0, would never move the
    // read position on.
    if (samples.SamplingFrequency <= 0)
        return false;
    if (samples.SamplingFrequency != frequency) {
        const int32_t newStep = SourceStepOf(samples.SamplingFrequency, targetFrequency);
        if (newStep <= 0)
            return false;
        frequency = samples.SamplingFrequency;
        position = 0;
        step = newStep;
    }
    return true;
}

} // namespace quillset
