// The sound of a WAVE file as sample blocks for the audio encoders: 8- or 16-bit PCM, mono or
// stereo, at any sampling frequency (the encoders resample).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoder/framework/audio_types.h"
#include "stream/exceptions.h"

namespace quillset {

class TLargeStream;
class TWaveFileReader;

// A WAVE file the encoders cannot take; the message says why.
class EAudioSourceError : public Exception {
public:
    using Exception::Exception;
};

class TWaveAudioSource {
public:
    // Opens and checks the file. Raises EAudioSourceError for a missing file, a damaged WAVE
    // file or a format other than 8/16-bit PCM with one or two channels.
    explicit TWaveAudioSource(const std::string& fileName);
    ~TWaveAudioSource();

    const std::string& GetFileName() const { return FileName; }
    int32_t GetSamplingFrequency() const { return Frequency; }
    int32_t GetChannels() const { return Channels; }
    int32_t GetSampleFormat() const { return SampleFormat; } // AudioSampleFormat_8Bit or _16Bit
    int64_t GetSampleCount() const { return SampleCount; }   // sample times
    double GetDuration() const { return static_cast<double>(SampleCount) / Frequency; }

    // A block of `count` sample times from sample time `first` on, read into the source's own
    // buffer (valid until the next call). Sample times past the end of the file are silence.
    TMPEGAudioEncoder_Samples ReadBlock(int64_t first, int32_t count);

private:
    std::string FileName;
    std::unique_ptr<TLargeStream> File;
    std::unique_ptr<TWaveFileReader> Reader;
    int32_t Frequency = 0;
    int32_t Channels = 0;
    int32_t SampleFormat = 0;
    int32_t BlockAlign = 0;
    int64_t SampleCount = 0;
    std::vector<uint8_t> Buffer;
};

} // namespace quillset
