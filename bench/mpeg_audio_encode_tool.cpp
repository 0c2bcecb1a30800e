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
#include <vector>

#include "encoder/audio/lpcm/wave_file.h"
#include "encoder/audio/mpeg/mpeg_audio_encoder.h"
#include "stream/file_stream.h"

using namespace quillset;

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s IN.wav OUT.mpa LAYER KBPS MODE [FREQUENCY [crc]]\n", argv[0]);
        return 2;
    }
    try {
        TLargeFileStream input(argv[1], FILE_ATTRIBUTE_NORMAL, fmOpenRead);
        TWaveFileReader reader(input);
        TWavePCMFormat format;
        if (!reader.GetPCMFormat(format) || (format.BitsPerSample != 16 && format.BitsPerSample != 8)) {
            std::fprintf(stderr, "%s: not 8- or 16-bit PCM\n", argv[1]);
            return 1;
        }
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
        const int32_t frameBytes = format.Channels * format.BitsPerSample / 8;
        std::vector<uint8_t> block(static_cast<size_t>(4096) * frameBytes);
        for (int64_t offset = 0;;) {
            const int32_t got = reader.ReadData(block.data(), static_cast<int32_t>(block.size()), offset);
            if (got < frameBytes)
                break;
            offset += got;
            TMPEGAudioEncoder_Samples samples;
            samples.SampleFormat = format.BitsPerSample == 16 ? AudioSampleFormat_16Bit : AudioSampleFormat_8Bit;
            samples.SamplingFrequency = static_cast<int32_t>(format.SamplesPerSec);
            samples.Channels = format.Channels;
            samples.Data = block.data();
            samples.Count = got / frameBytes;
            encoder.PutSamples(samples);
        }
        encoder.EndEncode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
