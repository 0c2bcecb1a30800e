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

#include "bench/wave_encode_tool.h"
#include "encoder/audio/ac3/ac3_library.h"
#include "encoder/audio/ac3/dolby_ac3_encoder.h"

using namespace quillset;

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s IN.wav OUT.ac3 KBPS MODE [LIBRARY_FOLDER]\n", argv[0]);
        return 2;
    }
    try {
        if (argc > 5)
            SetAC3LibraryFolder(argv[5]);
        TWaveToolInput input(argv[1]);
        if (!input.ReadFormat())
            return 1;
        const TWavePCMFormat& format = input.Format;
        TMPEGAudioEncoder_EncodeConfig config;
        config.StreamType = MPEGAudioEncoder_StreamType_Dolby_AC3;
        config.BitRate = std::atoi(argv[3]) * 1000;
        config.ChannelMode = std::atoi(argv[4]);
        config.SamplingFrequency = static_cast<int32_t>(format.SamplesPerSec);
        TLargeFileStream output(argv[2], FILE_ATTRIBUTE_NORMAL, fmCreate);
        TDolbyAC3AudioEncoder encoder(output, "", config);
        encoder.BeginEncode();
        double seconds = 0;
        const int64_t samples = input.Feed([&](const TMPEGAudioEncoder_Samples& block) {
            const std::clock_t start = std::clock();
            encoder.PutSamples(block);
            seconds += double(std::clock() - start) / CLOCKS_PER_SEC;
        });
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
