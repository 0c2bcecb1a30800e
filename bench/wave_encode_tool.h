// What the audio encode tools (ac3_encode_tool, mpeg_audio_encode_tool) share: opening a PCM
// WAVE input and feeding its samples to an encoder block by block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "encoder/audio/lpcm/wave_file.h"
#include "encoder/framework/audio_types.h"
#include "stream/file_stream.h"

namespace quillset {

// An 8- or 16-bit PCM WAVE file opened for reading.
struct TWaveToolInput {
    explicit TWaveToolInput(const char* fileName)
        : FileName(fileName), Stream(fileName, FILE_ATTRIBUTE_NORMAL, fmOpenRead), Reader(Stream) {}

    // Reads the format; false, with a message on standard error, when it is not 8- or 16-bit PCM.
    bool ReadFormat() {
        if (Reader.GetPCMFormat(Format) && (Format.BitsPerSample == 16 || Format.BitsPerSample == 8))
            return true;
        std::fprintf(stderr, "%s: not 8- or 16-bit PCM\n", FileName);
        return false;
    }

    // Hands every whole sample frame to put(const TMPEGAudioEncoder_Samples&) in blocks of 4096
    // frames; returns the number of frames handed over.
    template <typename Put>
    int64_t Feed(Put put) {
        const int32_t frameBytes = Format.Channels * Format.BitsPerSample / 8;
        std::vector<uint8_t> block(static_cast<size_t>(4096) * frameBytes);
        int64_t frames = 0;
        for (int64_t offset = 0;;) {
            const int32_t got = Reader.ReadData(block.data(), static_cast<int32_t>(block.size()), offset);
            if (got < frameBytes)
                break;
            offset += got;
            TMPEGAudioEncoder_Samples samples;
            samples.SampleFormat = Format.BitsPerSample == 16 ? AudioSampleFormat_16Bit : AudioSampleFormat_8Bit;
            samples.SamplingFrequency = static_cast<int32_t>(Format.SamplesPerSec);
            samples.Channels = Format.Channels;
            samples.Data = block.data();
            samples.Count = got / frameBytes;
            put(samples);
            frames += samples.Count;
        }
        return frames;
    }

    const char* FileName;
    TLargeFileStream Stream;
    TWaveFileReader Reader;
    TWavePCMFormat Format;
};

} // namespace quillset
