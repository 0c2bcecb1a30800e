// The temporal (3D) noise reduction filter: the process-wide filter object of Velnor3D.
//
// Each pixel is averaged with the pixels at the same place in the previous and the next picture,
// each neighbour weighed down, to nothing, where the picture moves:
//   Dp = squared B, G, R distance of current and previous at every pixel (Dn likewise for next);
//   Mp = the maximum of Dp over the 5 x 5 window of the pixel (rows j-2..j+2, in field mode
//        j-4, j-2, j, j+2, j+4 of its own field), clipped to the picture (Mn likewise);
//   Wp = max(0, S - Mp), Wn = max(0, S - Mn), the current picture weighs S = 10 * strength;
//   each channel trunc((S * current + Wp * previous + Wn * next) * r) limited to 255, with r the
//   reciprocal estimate of S + Wp + Wn (reciprocal_estimate.h).
// A missing neighbour is the current picture (difference 0, weight S). Every sum is an integer
// below 2^24, so single precision computes it exactly.
#pragma once

#include <cstdint>

#include "plugins/nr2d/host_protocol.h"
#include "plugins/nr2d/plugin_support.h"
#include "plugins/nr3d/temporal_kernels.h"

namespace quillset::noise_reduction {

class TTemporalFilter {
public:
    explicit TTemporalFilter(TFilterPath path);

    TFilterPath Path() const { return path_; }
    THostSession& Host() { return host_; }

    // Filters one picture (see the file comment). `current` must be set; `destination` may be
    // any of the input pictures. Returns the rows written: `height` when filtered, 0 for an
    // empty picture or when the working memory could not be had (then nothing is written).
    int32_t Run(uint8_t* destination, const uint8_t* current, const uint8_t* previous, const uint8_t* next,
                int32_t strength, int32_t width, int32_t height, int32_t fieldMode, const TProgressReport& progress);

private:
    struct TGeometry {
        int32_t Width, Height, Step;
        float Strength;
        int32_t RingRows;
        size_t Stride;
    };
    struct TInputs {
        const uint8_t* Pictures[3]; // current, previous, next
    };

    bool Reserve(const TGeometry& g);
    float* Plane(const TGeometry& g, int32_t row, int32_t plane) const;
    const float* Motion(const TGeometry& g, int32_t row, int32_t neighbour) const;
    float* MotionPlane(const TGeometry& g, int32_t row, int32_t neighbour) const;
    void ReadRow(const TGeometry& g, const TInputs& inputs, int32_t row);
    void WriteRow(const TGeometry& g, uint8_t* destination, int32_t row, const TProgressReport& progress);

    TFilterPath path_;
    TTemporalKernels kernels_;
    THostSession host_;
    TWorkBlock pixelRing_;  // per ring row: B, G, R planes of current, previous and next
    TWorkBlock motionRing_; // per ring row: row maxima of the previous and next difference maps
    TWorkBlock scratch_;    // a difference row with zero margins, and a row of zeros
};

} // namespace quillset::noise_reduction
