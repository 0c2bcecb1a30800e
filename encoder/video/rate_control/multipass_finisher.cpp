#include "encoder/video/rate_control/multipass_finisher.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "encoder/video/rate_control/quality_model.h"
#include "encoder/video/frame_info.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {

struct TKnot {
    double Quality;
    double Value;
};

// Measured rows of the quality model, with the extremes of the curves between them. The
// remaining rows follow a shape-preserving (monotone piecewise cubic Hermite) fit through these
// points, so the fit never overshoots between two measured rows.
constexpr TKnot kSlopeKnots[] = {
    {1, 8.7662725},    {2, 9.594953},     {5, 9.5122819},   {10, 10.5436645}, {20, 11.9966465}, {30, 14.1699757},
    {40, 17.8308551},  {50, 22.8338567},  {60, 33.1665963}, {70, 42.8407546}, {80, 58.0578629}, {85, 63.5753835},
    {90, 62.1739116},  {94, 56.6},        {95, 56.6909651}, {100, 65.7712464}};
constexpr TKnot kInterceptKnots[] = {
    {1, 9.464696},     {2, 10.4186743},   {5, 10.3433128},  {10, 11.5695027}, {20, 13.3152156}, {30, 15.8967764},
    {40, 20.1408906},  {50, 25.991912},   {60, 37.4794784}, {70, 47.2001516}, {80, 58.1068827}, {84, 59.4},
    {85, 57.6224048},  {90, 45.3360493},  {95, 22.6125425}, {96, 22.5},       {100, 29.1830026}};

template <size_t N>
std::array<double, 100> FitRows(const TKnot (&knots)[N]) {
    std::array<double, N - 1> slope{};
    for (size_t i = 0; i + 1 < N; ++i)
        slope[i] = (knots[i + 1].Value - knots[i].Value) / (knots[i + 1].Quality - knots[i].Quality);
    // Fritsch-Carlson tangents: zero at a local extreme, a weighted harmonic mean elsewhere.
    std::array<double, N> tangent{};
    tangent[0] = slope[0];
    tangent[N - 1] = slope[N - 2];
    for (size_t i = 1; i + 1 < N; ++i) {
        if (slope[i - 1] * slope[i] <= 0.0)
            continue;
        const double h0 = knots[i].Quality - knots[i - 1].Quality, h1 = knots[i + 1].Quality - knots[i].Quality;
        const double w0 = 2 * h1 + h0, w1 = h1 + 2 * h0;
        tangent[i] = (w0 + w1) / (w0 / slope[i - 1] + w1 / slope[i]);
    }
    std::array<double, 100> rows{};
    size_t k = 0;
    for (int32_t n = 1; n <= 100; ++n) {
        while (k + 2 < N && knots[k + 1].Quality < n)
            ++k;
        const double h = knots[k + 1].Quality - knots[k].Quality;
        const double t = (n - knots[k].Quality) / h;
        const double t2 = t * t, t3 = t2 * t;
        rows[static_cast<size_t>(n - 1)] = (2 * t3 - 3 * t2 + 1) * knots[k].Value + (t3 - 2 * t2 + t) * h * tangent[k] +
                                           (-2 * t3 + 3 * t2) * knots[k + 1].Value + (t3 - t2) * h * tangent[k + 1];
    }
    return rows;
}

struct TQualityModel {
    std::array<double, 100> Slope = FitRows(kSlopeKnots);
    std::array<double, 100> Intercept = FitRows(kInterceptKnots);
};

const TQualityModel& Model() {
    static const TQualityModel model;
    return model;
}

double FrameWeightedMean(const std::vector<TMPEGVideoEncoder_MultipassStats>& records, const std::vector<double>& values) {
    double sum = 0.0, frames = 0.0;
    for (size_t i = 0; i < records.size(); ++i) {
        sum += values[i] * records[i].Frames;
        frames += records[i].Frames;
    }
    return frames > 0.0 ? sum / frames : 0.0;
}

// Step 3 and 4 of the constant-quality finisher: the motion scale K_i of every batch.
std::vector<double> MotionScales(const std::vector<TMPEGVideoEncoder_MultipassStats>& records) {
    double changeSum = 0.0, changeFrames = 0.0, motionSum = 0.0, motionMin = 0.0;
    int32_t motionCount = 0;
    for (const auto& r : records) {
        if (r.StartChange >= 0.0) {
            changeSum += r.StartChange * r.Frames;
            changeFrames += r.Frames;
        }
        if (r.Motion >= 0.0) {
            motionMin = motionCount == 0 ? r.Motion : std::min(motionMin, r.Motion);
            motionSum += r.Motion;
            ++motionCount;
        }
    }
    const double meanChange = changeFrames > 0.0 ? changeSum / changeFrames : 1.0;
    const double meanMotion = motionCount > 0 ? motionSum / motionCount : 0.0;
    std::vector<double> scale(records.size());
    double carry = 1.0;
    for (size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        double k = carry;
        if (r.StartChange >= 0.0)
            k = CompressRatio(3.0 / std::max(0.01, meanChange), std::sqrt(std::max(0.0, meanChange - r.StartChange)));
        scale[i] = std::min(2.0, std::max(carry, k));
        carry = CompressRatio(std::max(0.1, 0.8 - r.Duration), scale[i]);
    }
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        if (records[i + 1].Motion < 0.0)
            continue;
        const double e = (meanMotion - records[i + 1].Motion) / std::max(0.01, meanMotion - motionMin);
        if (e > 0.0) {
            scale[i] = std::max(scale[i], e * scale[i + 1]);
            scale[i + 1] = std::max(scale[i + 1], e * scale[i]);
        }
    }
    return scale;
}

} // namespace

TQualityModelRow QualityModelRow(int32_t quality) {
    const size_t n = static_cast<size_t>(std::clamp(quality, 1, 100) - 1);
    return {Model().Slope[n], Model().Intercept[n]};
}

double QualityBitsEstimate(double activity, double quality) {
    const double q = std::clamp(quality, 1.0, 100.0);
    const int32_t n = static_cast<int32_t>(q);
    const double t = q - n;
    const TQualityModelRow low = QualityModelRow(n), high = QualityModelRow(std::min(n + 1, 100));
    const double e = (1.0 - t) * (low.Slope * activity - low.Intercept) + t * (high.Slope * activity - high.Intercept);
    return std::max(0.2 * BitsPerPixelOfQuality(q), e);
}

void FinishTwoPass(std::vector<TMPEGVideoEncoder_MultipassStats>& records, const TMultipassRates& rates,
                   const std::function<void()>& rewrite) {
    double frames = 0.0, complexity = 0.0, weighted = 0.0;
    for (const auto& r : records) {
        frames += r.Frames;
        complexity += r.Complexity;
    }
    if (frames <= 0.0 || complexity <= 0.0)
        return;
    const double meanComplexity = complexity / frames;
    const auto limit = [&](double rate) { return std::min(rates.Maximum, std::max(rates.Minimum, rate)); };
    for (auto& r : records) {
        const double ratio = r.Frames > 0.0 ? std::max(1.0, r.Complexity / r.Frames / meanComplexity) : 1.0;
        r.TargetRate = limit(rates.Average * ratio);
    }
    if (rewrite)
        rewrite();
    for (int32_t step = 0; step < 3; ++step) {
        weighted = 0.0;
        for (const auto& r : records)
            weighted += r.TargetRate * r.Frames;
        const double s = weighted > 0.0 ? rates.Average / (weighted / frames) : 1.0;
        for (auto& r : records)
            r.TargetRate = limit(r.TargetRate * s);
        if (rewrite)
            rewrite();
    }
}

void FinishMultipassCQ(std::vector<TMPEGVideoEncoder_MultipassStats>& records, const TMultipassRates& rates,
                       const std::function<void(const std::string&)>& log) {
    const size_t count = records.size();
    if (count == 0)
        return;
    const double low = std::min(rates.Maximum, std::min(std::floor(1.1 * rates.Minimum), rates.Minimum + 300000.0));
    const double high = std::max(low, std::max(std::floor(0.95 * rates.Maximum), rates.Maximum - 300000.0));
    const auto limit = [&](double rate) { return std::min(high, std::max(low, rate)); };
    const std::vector<double> scale = MotionScales(records);

    std::vector<double> quality(count), rate(count), base(count);
    for (size_t i = 0; i < count; ++i)
        base[i] = records[i].Quality;
    double average = 0.0;
    for (int32_t j = 0; j < 16; ++j) {
        const double s = j >= 2 && average > 0.0 ? CompressRatio(0.25, rates.Average / average) : 1.0;
        for (size_t i = 0; i < count; ++i) {
            const auto& r = records[i];
            if (j < 2) {
                quality[i] = r.Quality;
                rate[i] = j == 0 ? r.BitRate : limit(r.BitRate);
                continue;
            }
            base[i] = std::min(100.0, std::max(1.0, base[i] * s));
            const double lifted = 100.0 - std::sqrt((100.0 - base[i]) * (100.0 - base[i]) / (scale[i] * scale[i]));
            quality[i] = std::min(100.0, std::max(1.0, std::min(10.0 * base[i], lifted)));
            rate[i] = limit(r.BitRate * QualityBitsEstimate(r.Activity, quality[i]) /
                            QualityBitsEstimate(r.Activity, r.Quality));
        }
        average = FrameWeightedMean(records, rate);
        if (j == 0 && log)
            log(FormatText("Surveyed bitrate : %.0f kbps    average CQ: %f", average / 1000.0,
                           FrameWeightedMean(records, quality)));
    }
    for (int32_t step = 0; step < 9; ++step) {
        const double s = average > 0.0 ? rates.Average / average : 1.0;
        for (double& r : rate)
            r = step < 8 ? limit(r * s) : r * s;
        average = FrameWeightedMean(records, rate);
    }
    for (size_t i = 0; i < count; ++i) {
        records[i].FinalQuality = quality[i];
        records[i].TargetRate = rate[i];
        records[i].BaseQuality = base[i];
        records[i].MotionScale = scale[i];
    }
}

double BatchMotionMeasure(const std::vector<int64_t>& bits, const std::vector<uint8_t>& types, double pictureRate,
                          int32_t width, int32_t height, double quality) {
    const size_t n = bits.size();
    if (n == 0)
        return -1.0;
    const size_t w = std::min(n, static_cast<size_t>(1 + std::floor(0.2 * pictureRate)));
    double best = -1.0;
    for (size_t start = 0; start + w <= n; ++start) {
        double sum = 0.0;
        int32_t predicted = 0;
        for (size_t i = start; i < start + w; ++i) {
            if (types[i] == PictureType_I)
                continue;
            sum += static_cast<double>(bits[i]);
            ++predicted;
        }
        if (predicted > 0 && (best < 0.0 || sum / predicted < best))
            best = sum / predicted;
    }
    if (best < 0.0)
        return -1.0;
    const auto intra = static_cast<double>(std::count(types.begin(), types.end(), PictureType_I));
    best *= 1.0 + intra / static_cast<double>(n);
    const double ratio = best / (static_cast<double>(width) * height) / BitsPerPixelOfQuality(quality);
    return 8.0 * ratio * ratio;
}

} // namespace quillset
