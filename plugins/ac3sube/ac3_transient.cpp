#include "plugins/ac3sube/ac3_transient.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace quillset::ac3sube {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSilence = 100.0 / 32768.0;
// Per level (256, 128 and 64 samples): a third of the ratios A/52 suggests, so that only sharp
// attacks out of quiet, whose pre-echo nothing would mask, pay for the short transforms' poorer
// frequency resolution.
constexpr double kRatio[3] = {0.1 / 3, 0.075 / 3, 0.05 / 3};
constexpr double kCutoff = 8000.0;

} // namespace

double TAC3TransientDetector::TBiquad::Run(double x) {
    const double y = B0 * x + B1 * X1 + B2 * X2 - A1 * Y1 - A2 * Y2;
    X2 = X1;
    X1 = x;
    Y2 = Y1;
    Y1 = y;
    return y;
}

TAC3TransientDetector::TAC3TransientDetector(int sampleRate) {
    // Second-order Butterworth high-pass sections by the bilinear transform.
    const double k = std::tan(kPi * std::min(kCutoff, 0.45 * sampleRate) / sampleRate);
    const double norm = 1.0 / (1.0 + std::sqrt(2.0) * k + k * k);
    for (TBiquad& f : Filters) {
        f.B0 = norm;
        f.B1 = -2.0 * norm;
        f.B2 = norm;
        f.A1 = 2.0 * (k * k - 1.0) * norm;
        f.A2 = (1.0 - std::sqrt(2.0) * k + k * k) * norm;
    }
}

void TAC3TransientDetector::Reset() {
    for (TBiquad& f : Filters)
        f.X1 = f.X2 = f.Y1 = f.Y2 = 0;
    std::fill(std::begin(LastPeak), std::end(LastPeak), 0.0);
}

bool TAC3TransientDetector::Detect(const double* samples) {
    double peaks[4] = {0, 0, 0, 0}; // the four 64-sample segments
    for (int i = 0; i < 256; ++i) {
        // A tiny tone at half the sampling frequency passes the filters, so that their state
        // never decays into subnormal numbers (which are slow) in silence; it is far below the
        // silence threshold.
        const double x = samples[i] + ((i & 1) != 0 ? 1e-20 : -1e-20);
        const double y = std::fabs(Filters[1].Run(Filters[0].Run(x)));
        peaks[i >> 6] = std::max(peaks[i >> 6], y);
    }
    const double level2[2] = {std::max(peaks[0], peaks[1]), std::max(peaks[2], peaks[3])};
    const double level1 = std::max(level2[0], level2[1]);
    bool transient = false;
    if (level1 >= kSilence) {
        transient = level1 * kRatio[0] > LastPeak[0];
        double previous = LastPeak[1];
        for (double p : level2) {
            transient = transient || p * kRatio[1] > previous;
            previous = p;
        }
        previous = LastPeak[2];
        for (double p : peaks) {
            transient = transient || p * kRatio[2] > previous;
            previous = p;
        }
    }
    LastPeak[0] = level1;
    LastPeak[1] = level2[1];
    LastPeak[2] = peaks[3];
    return transient;
}

} // namespace quillset::ac3sube
