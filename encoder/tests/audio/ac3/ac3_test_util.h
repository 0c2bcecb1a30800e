// Helpers of the AC-3 encoder tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "encoder/audio/ac3/ac3_library.h"
#include "encoder/framework/audio_types.h"
#include "encoder/tests/audio/audio_encoder_test_util.h"
#include "stream/memory_stream.h"

namespace quillset::testing {

inline TMPEGAudioEncoder_EncodeConfig AC3Config(int32_t frequency, int32_t channelMode, int32_t bitRate) {
    return EncodeConfig(MPEGAudioEncoder_StreamType_Dolby_AC3, frequency, channelMode, bitRate);
}

// Interleaved 16-bit samples of a tone (left) and a second tone (right), `times` sample times.
inline std::vector<int16_t> TwoTones(int32_t times, int32_t channels, int32_t rate = 48000) {
    std::vector<int16_t> out;
    for (int32_t i = 0; i < times; ++i) {
        out.push_back(static_cast<int16_t>(9000 * std::sin(2 * 3.14159265 * 700.0 * i / rate)));
        if (channels == 2)
            out.push_back(static_cast<int16_t>(7000 * std::sin(2 * 3.14159265 * 3100.0 * i / rate)));
    }
    return out;
}

// Keeps the process-wide binding settings of one test from leaking into the next.
class AC3BindingSettingsGuard {
public:
    AC3BindingSettingsGuard() : FileName(GetAC3LibraryFileName()) {}
    ~AC3BindingSettingsGuard() {
        SetAC3LibraryFileName(FileName.empty() ? AC3DefaultLibraryFileName : FileName);
        SetAC3LibraryFolder("");
    }

private:
    std::string FileName;
};

} // namespace quillset::testing
