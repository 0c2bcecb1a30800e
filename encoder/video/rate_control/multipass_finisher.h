// The finishers of multipass variable bit rate coding: they turn the statistics records of the
// analysis pass into the targets of the final pass, and the small measures the analysis pass
// takes of each batch for them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "encoder/video/rate_control/multipass_stats.h"

namespace quillset {

// The rates of the configuration after preparation (bits per second).
struct TMultipassRates {
    double Average = 0.0;
    double Maximum = 0.0;
    double Minimum = 0.0;
};

// Two-pass allocation: each batch's rate follows its complexity per frame relative to the mean
// (never below the average), limited to [minimum, maximum], then scaled three times toward the
// average. Sets TargetRate of every record. `rewrite` is called after every rescaling with the
// records as they stand (the statistics file is rewritten each time).
void FinishTwoPass(std::vector<TMPEGVideoEncoder_MultipassStats>& records, const TMultipassRates& rates,
                   const std::function<void()>& rewrite = {});

// Multipass constant quality: a motion scale per batch from its start change and its neighbours'
// motion, a search of 16 iterations for the qualities whose estimated rates meet the average,
// then nine rescalings of the rates (the last unlimited) so that their frame-weighted mean equals
// the average exactly. Sets FinalQuality, TargetRate, BaseQuality and MotionScale; `log`
// receives the survey line.
void FinishMultipassCQ(std::vector<TMPEGVideoEncoder_MultipassStats>& records, const TMultipassRates& rates,
                       const std::function<void(const std::string&)>& log = {});

// The bits estimate of the quality model at quality q for a batch of activity a (relative units).
double QualityBitsEstimate(double activity, double quality);

// Row n (1..100) of the quality model: slope and intercept of bits over activity.
struct TQualityModelRow {
    double Slope = 0.0;
    double Intercept = 0.0;
};
TQualityModelRow QualityModelRow(int32_t quality);

// The motion measure of a batch: `bits` and `types` of its pictures in coded order. Among the
// runs of w = min(n, 1 + floor(0.2 x pictureRate)) consecutive pictures holding a P or B picture,
// the smallest mean size of their P and B pictures, raised by the share of I pictures, as the
// square of its bits per pixel over the bits per pixel of `quality`, times 8; -1 when no run
// holds a predicted picture.
double BatchMotionMeasure(const std::vector<int64_t>& bits, const std::vector<uint8_t>& types, double pictureRate,
                          int32_t width, int32_t height, double quality);

} // namespace quillset
