// The video part of an encoding configuration.
#pragma once

#include <array>
#include <cstdint>

#include "config/model/mpeg_enums.h"
#include "config/persist/persistent.h"

namespace quillset {

// The rate settings of the current rate-control mode.
struct TMPEGVideoConfig_RateSettings {
    TMPEGVideoEncoder_MultipassVBRAlgorithm Algorithm = MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS;
    bool IsCBR = false;
    int32_t AvgBitRate = 0; // -1: the mode has no average target
    int32_t MaxBitRate = 0;
    int32_t MinBitRate = 0;
    bool EnablePadding = false;
    double Quality = 0.0;        // percent
    double QualityFactorP = 0.0; // 1 / max(0.01, 1 + q / 100)
    double QualityFactorB = 0.0;
    int32_t MaxPassCount = 0;
};

// The rate range the wizard allows for the video stream.
struct TMPEGVideoConfig_BitRateLimits {
    int32_t MaxRate = 0;
    int32_t MinAvgRate = 0;
    int32_t MinRate = 0;
};

// Published properties in stream order; a setting followed by a "_ReadOnly" companion tells the
// wizard to show it without letting the user change it. The two quantiser matrices are streamed
// as 64-byte binary defined properties; "Interlace", "PullDown32" and their "_ReadOnly"
// companions of older streams are read (never written) into VideoEncodeMode.
class TMPEGVideoConfig : public TPersistent {
public:
    TMPEGVideoConfig();

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }
    void DefineProperties(TFiler& filer) override;

    // "m1v" or "m2v".
    const char* GetFileExtension() const;
    // The limits of the rates; with applyLevelLimit an MPEG-2 stream is further held to the
    // maximum bit rate of its profile and level (when that pair is known).
    TMPEGVideoConfig_BitRateLimits GetBitRateLimits(bool applyLevelLimit) const;
    TMPEGVideoConfig_RateSettings GetRateSettings() const;
    // Stores the rates into the block of the current rate-control mode.
    void SetBitRates(int32_t avg, int32_t max, int32_t min);

    TMPEGVideoEncoder_StreamType StreamType{};
    bool StreamType_ReadOnly = false;
    int32_t Width = 0;
    bool Width_ReadOnly = false;
    int32_t Height = 0;
    bool Height_ReadOnly = false;
    int32_t YUVFormat = 0;
    bool YUVFormat_ReadOnly = false;
    int32_t DC_prec = 0;
    bool DC_prec_ReadOnly = false;
    TMPEGVideoEncoder_VideoEncodeMode VideoEncodeMode{};
    bool VideoEncodeMode_ReadOnly = false;
    int32_t FrameRate = 0;
    bool FrameRate_ReadOnly = false;
    int32_t AspectRatio = 0;
    bool AspectRatio_ReadOnly = false;
    TMPEGVideoEncoder_RateControlMode RateControlMode{};
    bool RateControlMode_ReadOnly = false;
    int32_t MaxBitRate = 0;
    bool MaxBitRate_ReadOnly = false;
    int32_t MinBitRate = 0;
    bool MinBitRate_ReadOnly = false;
    int32_t MinAvgBitRate = 0;
    bool MinAvgBitRate_ReadOnly = false;
    int32_t CBR_BitRate = 0;
    TMPEGVideoEncoder_MultipassVBRAlgorithm VBR_MultipassVBRAlgorithm{};
    int32_t VBR_AvgBitRate = 0;
    int32_t VBR_MaxBitRate = 0;
    int32_t VBR_MinBitRate = 0;
    int32_t VBR_MaxPassCount = 0;
    double VBR_Quality_P = 0.0;
    double VBR_Quality_B = 0.0;
    bool VBR_EnablePadding = false;
    int32_t MVBR_MaxBitRate = 0;
    int32_t MVBR_MinBitRate = 0;
    double MVBR_Quality_P = 0.0;
    double MVBR_Quality_B = 0.0;
    bool MVBR_EnablePadding = false;
    double AVBR_Quality = 0.0;
    int32_t AVBR_MaxBitRate = 0;
    int32_t AVBR_MinBitRate = 0;
    bool AVBR_EnablePadding = false;
    double CQ_Quality = 0.0;
    double CQ_Quality_P = 0.0;
    double CQ_Quality_B = 0.0;
    int32_t CQ_MaxBitRate = 0;
    int32_t CQ_MinBitRate = 0;
    bool CQ_EnablePadding = false;
    int32_t VBVBufferSize = 0;
    bool VBVBufferSize_ReadOnly = false;
    int32_t GOP_SeqHeaderInterval = 0;
    bool GOP_SeqHeaderInterval_ReadOnly = false;
    int32_t GOP_I_FrameCount = 0;
    bool GOP_I_FrameCount_ReadOnly = false;
    int32_t GOP_P_FrameCount = 0;
    bool GOP_P_FrameCount_ReadOnly = false;
    int32_t GOP_B_FrameCount = 0;
    bool GOP_B_FrameCount_ReadOnly = false;
    bool GOP_BitStreamForEdit = false;
    bool GOP_BitStreamForEdit_ReadOnly = false;
    int32_t GOP_MaxFrameCount = 0;
    bool GOP_MaxFrameCount_ReadOnly = false;
    bool QuantizeMatrix_Intra_ReadOnly = false;
    bool QuantizeMatrix_NonIntra_ReadOnly = false;
    int32_t Profile = 0;
    bool Profile_ReadOnly = false;
    int32_t Level = 0;
    bool Level_ReadOnly = false;
    int32_t VideoFormat = 0;
    bool VideoFormat_ReadOnly = false;
    int32_t DisplayWidth = 0;
    bool DisplayWidth_ReadOnly = false;
    int32_t DisplayHeight = 0;
    bool DisplayHeight_ReadOnly = false;
    TMPEGVideoEncoder_MotionSearchSpeed MotionSearchSpeed{};
    bool MotionSearch_AlwaysHalfPel = false;
    bool UseFloatDCT = false;
    bool QuantizeMode = false;
    int32_t QuantizeModeVal_Intra = 0; // percent
    int32_t QuantizeModeVal_NonIntra = 0;
    bool YUVBasicYCbCr = false;

    // Raster order, one byte per coefficient.
    std::array<uint8_t, 64> QuantizeMatrix_Intra{};
    std::array<uint8_t, 64> QuantizeMatrix_NonIntra{};

    // Internal encoder tuning: never streamed, shown or changed; copied by Assign.
    std::array<bool, 3> TuningFlags{};
    std::array<double, 4> ModeDecisionWeights{}; // handed to the video encoder

protected:
    void AssignUnpublished(const TPersistent& source) override;
    void ResetUnpublished() override;
    bool EqualsUnpublished(const TPersistent& other) const override;
};

// The frame rate the output shows, frames per second: the FrameRate code's rate, times 1.25 for
// material flagged for 3:2 pull-down.
double GetShownFrameRate(const TMPEGVideoConfig& video);

} // namespace quillset
