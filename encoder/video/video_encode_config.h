// The video encoder's settings: its enumerations and the plain record it is created with.
// The configuration model fills the record from a video configuration; the encode run then sets
// the threading, cache, field-order and scene-change fields.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillset {

enum TMPEGVideoEncoder_StreamType : uint8_t {
    MPEGVideoEncoder_StreamType_MPEG1 = 0, // ISO/IEC 11172-2
    MPEGVideoEncoder_StreamType_MPEG2 = 1, // ISO/IEC 13818-2
};

enum TMPEGVideoEncoder_VideoEncodeMode : uint8_t {
    MPEGVideoEncoder_VideoEncodeMode_Progressive = 0,
    MPEGVideoEncoder_VideoEncodeMode_Interlace = 1,
    // Progressive film material flagged for 3:2 pull-down on display.
    MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown = 2,
    // Telecined material is detected and the pull-down removed before coding.
    MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown = 3,
};

// The modes that decide frame or field coding per macroblock (frame_pred_frame_dct 0).
inline bool IsInterlacedCodingMode(uint8_t mode) {
    return mode == MPEGVideoEncoder_VideoEncodeMode_Interlace ||
           mode == MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown;
}

enum TMPEGVideoEncoder_RateControlMode : uint8_t {
    MPEGVideoEncoder_RateControlMode_CBR = 0,
    MPEGVideoEncoder_RateControlMode_VBR_2PASS = 1, // multipass VBR to an average rate
    MPEGVideoEncoder_RateControlMode_VBR_Manual = 2,
    MPEGVideoEncoder_RateControlMode_VBR_Auto = 3,
    MPEGVideoEncoder_RateControlMode_CQ = 4, // constant quality
    MPEGVideoEncoder_RateControlMode_Realtime_CBR = 5,
    MPEGVideoEncoder_RateControlMode_Realtime_CQ = 6,
};

enum TMPEGVideoEncoder_MultipassVBRAlgorithm : uint8_t {
    MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS = 0,
    MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ = 1,
};

enum TMPEGVideoEncoder_MotionSearchSpeed : uint8_t {
    MPEGVideoEncoder_MotionSearchSpeed_Fast = 0,
    MPEGVideoEncoder_MotionSearchSpeed_FastWide = 1,
    MPEGVideoEncoder_MotionSearchSpeed_Normal = 2,
    MPEGVideoEncoder_MotionSearchSpeed_Slow = 3,
    MPEGVideoEncoder_MotionSearchSpeed_HighCQ = 4,
    MPEGVideoEncoder_MotionSearchSpeed_MotionEstimate = 5,
    MPEGVideoEncoder_MotionSearchSpeed_TelescopicSearch = 6,
    MPEGVideoEncoder_MotionSearchSpeed_MultiLayerSearch = 7,
};

// The settings a video encoder is created with; passed by value, the encoder keeps its own copy.
// Every field starts at zero, as the configuration model expects before it fills the record.
struct TMPEGVideoEncoder_EncodeConfig {
    int32_t UseEncodeThread = 0;    // nonzero: the encoding stage runs in its own thread
    int32_t AnalyzeThreadCount = 0; // analysis worker threads, 0..2 (0: the caller's thread)
    int64_t MotionCacheLimit = 0;   // byte limit of the multipass motion cache; <= 0 disables it
    std::string CommentText;        // text for the sequence user data
    uint8_t StreamType = 0;         // TMPEGVideoEncoder_StreamType
    int32_t Width = 0;              // picture size in pixels
    int32_t Height = 0;
    int32_t YUVFormat = 0;          // chroma_format: 1 = 4:2:0, 2 = 4:2:2 (ISO/IEC 13818-2, 6.3.5)
    int32_t DC_prec = 0;            // intra_dc_precision 0..3 (8..11 bits)
    uint8_t VideoEncodeMode = 0;    // TMPEGVideoEncoder_VideoEncodeMode
    uint8_t TopFieldFirst = 0;      // field order of interlaced sources
    // frame_rate_code 1..8 (ISO/IEC 13818-2, Table 6-4) in the low 16 bits, an optional further
    // divisor of the rate in the high 16 bits (0 or 1: none).
    int32_t FrameRate = 0;
    int32_t AspectRatio = 0;        // aspect_ratio_information / pel_aspect_ratio code
    uint8_t RateControlMode = 0;    // TMPEGVideoEncoder_RateControlMode
    uint8_t RateControlAlgorithm = 0;  // only 0 exists
    uint8_t MultipassVBRAlgorithm = 0; // TMPEGVideoEncoder_MultipassVBRAlgorithm
    int32_t MaxPassCount = 0;
    int32_t AvgBitRate = 0;         // bits per second; -1 where the mode has no average
    int32_t MaxBitRate = 0;
    int32_t MinBitRate = 0;
    uint8_t EnablePadding = 0;      // stuff the stream to keep the minimum rate
    double Quality = 0.0;           // 0..100, constant-quality target
    double QualityFactorP = 0.0;    // 1 / max(0.01, 1 + Quality_P / 100)
    double QualityFactorB = 0.0;
    int32_t VBVBufferSize = 0;      // bytes; <= 0 chooses automatically
    uint8_t CheckVBVRange = 0;
    uint8_t VBVFullnessHigh = 0;
    double AnalysisScale = 0.0;
    int32_t GOP_SeqHeaderInterval = 0; // a sequence header every this many GOPs (0: first only)
    int32_t GOP_I_FrameCount = 0;
    int32_t GOP_P_FrameCount = 0;
    int32_t GOP_B_FrameCount = 0;
    uint8_t GOP_BitStreamForEdit = 0;  // closed GOPs
    uint8_t DetectSceneChange = 0;
    uint8_t SceneChangeRateReset = 0;
    int32_t GOP_MaxFrameCount = 0;     // 0 = 1020
    std::array<uint8_t, 64> QuantizeMatrix_Intra{};    // raster order, not zig-zag
    std::array<uint8_t, 64> QuantizeMatrix_NonIntra{};
    uint8_t UseChromaMatrices = 0;                      // must be 0
    std::array<uint8_t, 64> ChromaQuantizeMatrix_Intra{};    // carried, not read
    std::array<uint8_t, 64> ChromaQuantizeMatrix_NonIntra{};
    double QuantizeModeVal_Intra = 0.0;
    double QuantizeModeVal_NonIntra = 0.0;
    // RGB to YCbCr coefficients: luma offset; Y, Cb, Cr from R, G, B; then the inverse: Y scale,
    // R from Cr, G from Cb, G from Cr, B from Cb.
    std::array<double, 15> ColorConversion{};
    uint8_t ChromaLowPass = 0;      // must be 0
    int32_t Profile = 0;            // MPEG-2 sequence values (ISO/IEC 13818-2, 6.3.3, 6.3.6)
    int32_t Level = 0;
    int32_t VideoFormat = 0;
    int32_t DisplayWidth = 0;       // <= 0: the picture size
    int32_t DisplayHeight = 0;
    uint8_t SuperVideoCD = 0;
    uint8_t ExtendedDCPrecision = 0;
    uint8_t UseFloatDCT = 0;
    uint8_t MotionSearchSpeed = 0;  // TMPEGVideoEncoder_MotionSearchSpeed
    uint8_t MotionSearch_AlwaysHalfPel = 0;
    uint8_t HalfPelOptimization = 0; // must be 0
    std::array<double, 4> ModeDecisionWeights{}; // 1.0, 1.0, 2.0, 2.0 from the configuration
    std::array<uint8_t, 2> TuningFlags{};        // always 0
    std::array<double, 3> TuningValues{};        // always 50.0, 1.0, 1.0
};

} // namespace quillset
