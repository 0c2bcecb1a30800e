// Encodes a PCM WAVE file into an AC-3 elementary stream with the project's AC-3 encoder and its
// library; ac3_quality.sh builds and runs it next to ffmpeg's encoder.
//
//   ac3_encode_tool IN.wav OUT.ac3 KBIT/S MODE(0 stereo, 2 dual mono, 3 mono) [LIBRARY_FOLDER]
//
// The library (AC3SUBE.so) is looked for in LIBRARY_FOLDER, else next to the tool. The encoder's
// own CPU time is reported on standard error.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

#include "encoder/audio/ac3/ac3_library.h"
#include "encoder/audio/ac3/dolby_ac3_encoder.h"
#include "encoder/audio/lpcm/wave_file.h"
#include "stream/file_stream.h"

using namespace quillset;

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s IN.wav OUT.ac3 KBPS MODE [LIBRARY_FOLDER]\n", argv[0]);
        return 2;
    }
    try {
        if (argc > 5)
            SetAC3LibraryFolder(argv[5]);
        TLargeFileStream input(argv[1], FILE_ATTRIBUTE_NORMAL, fmOpenRead);
        TWaveFileReader reader(input);
        TWavePCMFormat format;
        if (!reader.GetPCMFormat(format) || (format.BitsPerSample != 16 && format.BitsPerSample != 8)) {
            std::fprintf(stderr, "%s: not 8- or 16-bit PCM\n", argv[1]);
            return 1;
        }
        TMPEGAudioEncoder_EncodeConfig config;
        config.StreamType = MPEGAudioEncoder_StreamType_Dolby_AC3;
        config.BitRate = std::atoi(argv[3]) * 1000;
        config.ChannelMode = std::atoi(argv[4]);
        config.SamplingFrequency = static_cast<int32_t>(format.SamplesPerSec);
        TLargeFileStream output(argv[2], FILE_ATTRIBUTE_NORMAL, fmCreate);
        TDolbyAC3AudioEncoder encoder(output, "", config);
        encoder.BeginEncode();
        const int32_t frameBytes = format.Channels * format.BitsPerSample / 8;
        std::vector<uint8_t> block(static_cast<size_t>(4096) * frameBytes);
        double seconds = 0;
        int64_t samples = 0;
        for (int64_t offset = 0;;) {
            const int32_t got = reader.ReadData(block.data(), static_cast<int32_t>(block.size()), offset);
            if (got < frameBytes)
                break;
            offset += got;
            TMPEGAudioEncoder_Samples block16;
            block16.SampleFormat = format.BitsPerSample == 16 ? AudioSampleFormat_16Bit : AudioSampleFormat_8Bit;
            block16.SamplingFrequency = static_cast<int32_t>(format.SamplesPerSec);
            block16.Channels = format.Channels;
            block16.Data = block.data();
            block16.Count = got / frameBytes;
            const std::clock_t start = std::clock();
            encoder.PutSamples(block16);
            seconds += double(std::clock() - start) / CLOCKS_PER_SEC;
            samples += block16.Count;
        }
        encoder.EndEncode();
        const double audio = double(samples) / format.SamplesPerSec;
        std::fprintf(stderr, "encoder CPU %.3f s for %.1f s of audio: %.0f x real time\n", seconds, audio,
                     seconds > 0 ? audio / seconds : 0.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
