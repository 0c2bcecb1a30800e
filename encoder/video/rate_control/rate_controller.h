// The rate controller: per-macroblock bit weights of a batch, and the quantiser of every
// macroblock of a picture from the picture's bit target, a complexity model and the bits
// already spent.
//
// Calling order per picture: BeginPicture, MacroblockQuantiser for each macroblock in raster
// order with the bits written so far, EndPicture with the picture's bits. MatricesChanged after
// each rebuild of the quantiser tables; Reset after construction.
#pragma once

#include <cstdint>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/encoder_settings.h"
#include "encoder/video/frame_info.h"

namespace quillset {

// What a picture is coded with, as the encoder-side allocation decided it.
struct TRateControlPictureParams {
    bool NonLinearScale = true; // q_scale_type 1 (MPEG-2); MPEG-1 uses 2 x code
    int32_t TargetBits = 0;     // Tt
    int32_t MinimumBits = 0;    // Tm, 0 = none
    bool ConstantQuality = false;
    double IntraScale = 0.0;    // quantiser scales of constant-quality coding
    double InterScale = 0.0;
    bool ActivityAdjust = false;
};

class TMPEGVideoEncoder_RateController {
public:
    virtual ~TMPEGVideoEncoder_RateController() = default;

    // True when the per-macroblock activity weights must be computed after analysis.
    virtual bool WantsActivityWeights() = 0;
    virtual void Reset() = 0;
    // Sets every macroblock's BitWeight and every picture's SumBitWeight of an analysed batch.
    virtual void PlanBatch(TMPEGVideoFrameInfoList& batch, double scale) = 0;
    // The bit rate of a batch coded at `quality` by the quality-budget mode.
    virtual int32_t QualityBudget(const TMPEGVideoFrameInfoList& batch, double quality) = 0;
    virtual void MatricesChanged() = 0;
    virtual void BeginPicture(const TMPEGVideoFrameInfo& picture, const TRateControlPictureParams& params) = 0;
    // The quantiser_scale_code (1..31) of macroblock `index` of the picture begun last.
    virtual int32_t MacroblockQuantiser(int32_t index, const TMBInfo& mb, int64_t bitsSoFar) = 0;
    virtual void EndPicture(int64_t bits) = 0;
};

// The one controller of the encoder.
class TMPEGVideoEncoder_RateController_type1 : public TMPEGVideoEncoder_RateController {
public:
    TMPEGVideoEncoder_RateController_type1(const TMPEGVideoEncoder_Settings& settings, const TKernelTable& kernels);

    bool WantsActivityWeights() override { return false; }
    void Reset() override;
    void PlanBatch(TMPEGVideoFrameInfoList& batch, double scale) override;
    int32_t QualityBudget(const TMPEGVideoFrameInfoList& batch, double quality) override;
    void MatricesChanged() override { Complexity = kInitialComplexity; }
    void BeginPicture(const TMPEGVideoFrameInfo& picture, const TRateControlPictureParams& params) override;
    int32_t MacroblockQuantiser(int32_t index, const TMBInfo& mb, int64_t bitsSoFar) override;
    void EndPicture(int64_t bits) override;

    double GetComplexity() const { return Complexity; }

    static constexpr double kInitialComplexity = 300.0;

private:
    double ActivityFactor() const;

    const TMPEGVideoEncoder_Settings& Settings;
    TKernelTable Kernels;
    double BatchDurationRate; // frames per second of display time

    // Per picture.
    const TMPEGVideoFrameInfo* Picture = nullptr;
    TRateControlPictureParams Params;
    double MeanActivity = 1.0;  // k: mean MeanVar1
    double BaseTarget = 0.0;    // Qt
    double BaseMinimum = 0.0;   // Qm
    double MeanMinVar = 0.0;    // A
    double MeanWeight = 0.0;    // W
    double WeightSum = 0.0;     // the picture's weight sum
    double WeightsUsed = 0.0;
    double BaseQuantisersUsed = 0.0;
    int32_t MacroblocksUsed = 0;
    double ErrorAccumulator = 0.0;
    double FeedbackTarget = 0.8;  // Ft
    double FeedbackMinimum = 0.8; // Fm

    double Complexity = kInitialComplexity; // X
};

} // namespace quillset
