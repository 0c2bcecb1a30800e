// The built-in demo source: a moving test picture and a matching sound track, written as a
// YUV4MPEG2 stream and a WAVE file, so that an encode can run without any material of the user's.
#pragma once

#include <cstdint>

namespace quillset {

class TLargeStream;

struct TDemoFormat {
    int32_t Width = 720;
    int32_t Height = 480;
    int32_t RateNumerator = 30000; // pictures per second as a fraction
    int32_t RateDenominator = 1001;
    int32_t Frames = 300;
    int32_t SamplingFrequency = 48000; // the sound: 16-bit stereo
};

// Writes the YUV4MPEG2 stream (4:2:0, progressive): colour bars, a sweeping gradient, a bouncing
// square and a frame counter, so that motion search, rate control and the decoder's output can be
// judged by eye.
void WriteDemoPictures(TLargeStream& output, const TDemoFormat& format);

// Writes a WAVE file as long as the pictures: a tone that changes pitch every second, with a short
// click on every whole second (to judge the sound's timing against the counter).
void WriteDemoSound(TLargeStream& output, const TDemoFormat& format);

} // namespace quillset
