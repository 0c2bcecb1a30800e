// Encodes a PCM WAVE file into an MPEG-1 Layer I or II elementary stream with the project's
// encoder; audio_quality.sh builds and runs it next to the other encoders.
//
//   mpeg_audio_encode_tool IN.wav OUT.mpa LAYER(1|2) KBIT/S MODE(0 stereo, 1 joint, 2 dual, 3 mono)
//                          [FREQUENCY [crc]]
//
// FREQUENCY defaults to the file's own (0 says the same); "crc" protects the frames.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "bench/wave_encode_tool.h"
#include "encoder/audio/mpeg/mpeg_audio_encoder.h"

using namespace quillset;

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s IN.wav OUT.mpa LAYER KBPS MODE [FREQUENCY [crc]]\n", argv[0]);
        return 2;
    }
    try {
        TWaveToolInput input(argv[1]);
        if (!input.ReadFormat())
            return 1;
        const TWavePCMFormat& format = input.Format;
        TMPEGAudioEncoder_EncodeConfig config;
        config.StreamType = std::atoi(argv[3]) == 1 ? MPEGAudioEncoder_StreamType_MPEG1_Layer1
                                                    : MPEGAudioEncoder_StreamType_MPEG1_Layer2;
        config.BitRate = std::atoi(argv[4]) * 1000;
        config.ChannelMode = std::atoi(argv[5]);
        config.SamplingFrequency = argc > 6 && std::atoi(argv[6]) > 0 ? std::atoi(argv[6])
                                                                      : static_cast<int32_t>(format.SamplesPerSec);
        config.CalcCRC = argc > 7 && std::string(argv[7]) == "crc";
        TLargeFileStream output(argv[2], FILE_ATTRIBUTE_NORMAL, fmCreate);
        TMPEGAudioEncoder encoder(output, config);
        encoder.BeginEncode();
        input.Feed([&](const TMPEGAudioEncoder_Samples& samples) { encoder.PutSamples(samples); });
        encoder.EndEncode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
