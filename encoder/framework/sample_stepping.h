// How the audio encoders step through the sample blocks handed to PutSamples: nearest-sample
// resampling from the block's sampling frequency to the configured one, with positions and steps
// in 22.10 fixed point.
#pragma once

#include <cstdint>

#include "encoder/framework/audio_types.h"

namespace quillset {

constexpr int32_t kSourceFractionBits = 10;
constexpr int32_t kSourceOne = 1 << kSourceFractionBits;

// round(sourceFrequency / targetFrequency x 1024); 0 when the source is too slow to be stepped.
int32_t SourceStepOf(int32_t sourceFrequency, int32_t targetFrequency);

// Checks a block handed to PutSamples: 8- or 16-bit sample data or silence
// (AudioSampleFormat_None), a count of 0 or more, 1 or 2 channels of data, a positive sampling
// frequency that can be stepped to targetFrequency. When the block's frequency differs from
// `frequency`, the stepping restarts: `frequency` becomes the block's, `position` 0 and `step`
// the new step. False, with nothing changed, for a block that fails a check.
bool StartSampleBlock(const TMPEGAudioEncoder_Samples& samples, int32_t targetFrequency, int32_t& frequency,
                      int64_t& position, int32_t& step);

} // namespace quillset
