// Configurations and pictures for the video encoder tests.
#pragma once

#include <cstdint>

#include "encoder/video/video_encode_config.h"

namespace quillset::testing {

// The default matrices of ISO/IEC 13818-2, 7.3.1 in raster order.
inline constexpr uint8_t kDefaultIntraMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37, 19, 22, 26, 27, 29, 34,
    34, 38, 22, 22, 26, 27, 29, 34, 37, 40, 22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32,
    35, 40, 48, 58, 26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};

// A valid MPEG-2 Main profile at Main level configuration: 720 x 480 interlaced 29.97 fps, CBR
// 6 Mbit/s, GOP I B B P with 5 P pictures, open GOPs.
inline TMPEGVideoEncoder_EncodeConfig MakeTestVideoConfig() {
    TMPEGVideoEncoder_EncodeConfig c;
    c.StreamType = MPEGVideoEncoder_StreamType_MPEG2;
    c.Width = 720;
    c.Height = 480;
    c.YUVFormat = 1;
    c.DC_prec = 0;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Interlace;
    c.TopFieldFirst = 1;
    c.FrameRate = 4;
    c.AspectRatio = 2;
    c.RateControlMode = MPEGVideoEncoder_RateControlMode_CBR;
    c.AvgBitRate = 6000000;
    c.MaxBitRate = 6000000;
    c.MinBitRate = 0;
    c.Quality = 60.0;
    c.QualityFactorP = 1.0 / 1.1;
    c.QualityFactorB = 1.0 / 1.2;
    c.AnalysisScale = 1.0;
    c.GOP_SeqHeaderInterval = 1;
    c.GOP_I_FrameCount = 1;
    c.GOP_P_FrameCount = 5;
    c.GOP_B_FrameCount = 2;
    for (int i = 0; i < 64; ++i) {
        c.QuantizeMatrix_Intra[static_cast<size_t>(i)] = kDefaultIntraMatrix[i];
        c.QuantizeMatrix_NonIntra[static_cast<size_t>(i)] = 16;
    }
    c.Profile = 4;
    c.Level = 8;
    c.VideoFormat = 2;
    c.ModeDecisionWeights = {1.0, 1.0, 2.0, 2.0};
    c.TuningValues = {50.0, 1.0, 1.0};
    return c;
}

// A valid MPEG-1 configuration: 352 x 240 progressive 29.97 fps, CBR 1150 kbit/s.
inline TMPEGVideoEncoder_EncodeConfig MakeTestMPEG1Config() {
    TMPEGVideoEncoder_EncodeConfig c = MakeTestVideoConfig();
    c.StreamType = MPEGVideoEncoder_StreamType_MPEG1;
    c.Width = 352;
    c.Height = 240;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
    c.AspectRatio = 12;
    c.AvgBitRate = c.MaxBitRate = 1150000;
    c.VBVBufferSize = 40960;
    return c;
}

} // namespace quillset::testing
