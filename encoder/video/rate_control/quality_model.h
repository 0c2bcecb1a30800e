// The small numeric models of rate control: the compression function that pulls ratios toward 1,
// the quality-to-quantiser mapping of constant-quality coding and the bits-per-pixel model that
// links a quality to the bits it needs.
#pragma once

#include <algorithm>
#include <cmath>

namespace quillset {

// g(a, x): for a < 1 pulls a ratio x toward 1 (g(a, 1) = 1); ratios below 1 are compressed in
// their reciprocal; x <= 0 passes unchanged.
inline double CompressRatio(double a, double x) {
    if (x >= 1.0)
        return a * (x - 1.0) + 1.0;
    if (x > 0.0)
        return 1.0 / (a * (1.0 / x - 1.0) + 1.0);
    return x;
}

// The quantiser base of a quality 0..100: 1 at quality 100, about 7.7 at quality 0.
inline double QualityBase(double quality) { return (100.0 - quality) / 15.0 + 1.0; }

// The quantiser scale of a base.
inline double QuantiserScaleOfBase(double base) { return std::max(1.0, (base * base - 1.0) * 0.62 + 1.0); }

// Bits per pixel a quality needs: 0.015488 e^(0.052697 q) + 0.186.
inline double BitsPerPixelOfQuality(double quality) { return 0.015488 * std::exp(0.052697 * quality) + 0.186; }

// The inverse of BitsPerPixelOfQuality (not limited to 0..100).
inline double QualityOfBitsPerPixel(double bitsPerPixel) {
    return std::log(std::max(0.001, bitsPerPixel - 0.186) / 0.015488) / 0.052697;
}

} // namespace quillset
