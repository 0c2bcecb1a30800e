// Transient detection for block switching, after the encoder description of A/52 (8.2.2): the
// input is high-pass filtered at 8 kHz, each 256-sample half block is split into one, two and
// four segments, and a segment whose peak rises above its predecessor's by more than the level's
// ratio (30, 40 and 60: three times A/52's) marks a transient, unless the half block is close to
// silence.
#pragma once

namespace quillset::ac3sube {

class TAC3TransientDetector {
public:
    explicit TAC3TransientDetector(int sampleRate = 48000);

    void Reset();
    // Examines the next 256 samples (-1 .. 1) and tells whether they hold a transient.
    bool Detect(const double* samples);

private:
    struct TBiquad {
        double B0 = 0, B1 = 0, B2 = 0, A1 = 0, A2 = 0;
        double X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
        double Run(double x);
    };

    TBiquad Filters[2];
    // The peak of the last segment of the previous half block on each level.
    double LastPeak[3] = {0, 0, 0};
};

} // namespace quillset::ac3sube
