// The encoder-side allocation of bits: a budget per batch (from the segment's target rate, its
// quality budget, or its rate limits at constant quality), a target and minimum per picture from
// the picture's share of the batch's bit weights, and the running debt (bits produced minus bits
// allocated) that steers the next targets.
#pragma once

#include <cstdint>
#include <string>

#include "encoder/video/encoder_settings.h"
#include "encoder/video/frame_info.h"
#include "encoder/video/rate_control/rate_controller.h"

namespace quillset {

// What one picture may spend.
struct TPictureBudget {
    int64_t Allocation = 0; // a: the picture's share of the batch budget
    int64_t Target = 0;     // bits to aim at (constant quality: the most it may take)
    int64_t Minimum = 0;    // bits it must take at least (0 = none)
    bool ConstantQuality = false;
    double IntraScale = 0.0; // constant quality: quantiser scales
    double InterScale = 0.0;
    bool ActivityAdjust = false; // constant quality adapts to each macroblock's activity
};

class TMPEGVideoEncoder_BitAllocation {
public:
    TMPEGVideoEncoder_BitAllocation() = default;
    explicit TMPEGVideoEncoder_BitAllocation(const TMPEGVideoEncoder_Settings& settings);

    // Pass start: no debt.
    void Reset();

    // Fixes the budget of a planned batch (its pictures' SumBitWeight set); the quality-budget
    // mode asks the controller for its rate. A constant-quality segment that records quality
    // statistics is coded at the initial quality estimate; one that corrects its quality steers
    // it toward its required rate by the bits the earlier batches took.
    void BeginBatch(const TMPEGVideoFrameInfoList& batch, TMPEGVideoEncoder_RateController& controller);
    // After the batch's last picture, with the bits the batch took.
    void EndBatch(int64_t batchBits);
    // The quality the current batch is coded at (after any correction).
    double GetBatchQuality() const { return Segment.Quality; }
    // The quality log line of the current batch ("" when the segment does not log it).
    const std::string& GetQualityLogLine() const { return QualityLogLine; }
    double GetQualityCorrection() const { return QualityCorrection; }
    int64_t GetQualityOverrun() const { return QualityOverrun; }
    TPictureBudget PictureBudget(const TMPEGVideoFrameInfo& picture) const;
    // Realtime modes: whether the GOP of the next picture starts closed (no leading B pictures
    // are counted in its share).
    void SetGOPStartsClosed(bool value) { GOPStartsClosed = value; }
    // After a picture: the debt grows by what it took beyond its allocation (never below 0 in
    // the variable-rate modes).
    void EndPicture(const TPictureBudget& budget, int64_t bits);

    // Bits written outside any picture's allocation (the all-skipped repeat pictures).
    void AddUnallocatedBits(int64_t bits) { Debt += bits; }

    // The zero bits that bring a constant-rate stream to its allocation before the sequence end.
    int64_t EndStuffingBits() const;

    int64_t GetDebt() const { return Debt; }
    int64_t GetBatchBudget() const { return BatchBudget; }
    double GetBatchDuration() const { return BatchDuration; }

private:
    void CorrectSegmentQuality();
    void SetQualityScales(const TMPEGVideoFrameInfo& picture, TPictureBudget& budget) const;
    // The constant-quality bounds of a picture whose share is `a`: at most 1.5 a, at least
    // 0.7 a, less what the debt says.
    int64_t BoundedShare(double a) const;

    bool ConstantRateMode = true;
    double InitialQuality = 0.0;
    const TMPEGVideoEncoder_Settings* Settings = nullptr;
    bool GOPStartsClosed = true;
    bool DebtNeverNegative = false;
    double FrameTimeRate = 30.0;

    TMPEGVideoEncoder_SegmentRate Segment;
    double BatchDuration = 0.0;
    double BatchWeight = 0.0;
    int64_t BatchBudget = 0;    // target-rate modes
    int64_t BatchMaximum = 0;   // constant quality
    int64_t BatchMinimum = 0;
    int64_t Debt = 0;
    double QualityCorrection = 1.0; // Kc
    int64_t QualityOverrun = 0;     // O: bits taken beyond the required rates
    std::string QualityLogLine;
};

// Rounds to the nearest integer, halves to even.
int64_t RoundHalfEven(double value);

} // namespace quillset
