// The spatial (2D) noise reduction filter: the process-wide filter object of Velnor2D.
//
// Each pixel P becomes the weighted mean of itself and its neighbours Q within `radius` columns
// and `radius` rows of its field (without field mode any row; with field mode rows P.row +-2,
// +-4, ..., +-2 * radius), clipped to the picture. A neighbour weighs w = max(0, S - d^2), d^2 the
// squared B, G, R distance of the unfiltered pixels and S = 10 * strength; P itself weighs 2S.
// Each channel is trunc(N * r) limited to 255, where N is the weighted sum and r the reciprocal
// estimate of the weight sum (reciprocal_estimate.h).
//
// The sums are single floats. Because they may exceed 2^24 for large strengths and radii, the
// order in which they are added is part of the result; it is, for every pixel P at (row p,
// column x), with step 1 (2 in field mode) and e the radius:
//   1. the start value 2S * P, weight 2S;
//   2. rows above, farthest first: for k = e .. 1, row p - step * k, columns x - e .. x + e;
//   3. its own row: for k = 1 .. e, column x - k, then column x + k;
//   4. rows below, nearest first: for k = 1 .. e, row p + step * k, columns x + e .. x - e;
// skipping what lies outside the picture. This is the order in which rows read from the top
// reach a pixel when every pair is weighed once.
#pragma once

#include <cstdint>

#include "plugins/nr2d/host_protocol.h"
#include "plugins/nr2d/plugin_support.h"
#include "plugins/nr2d/spatial_kernels.h"

namespace quillset::noise_reduction {

class TSpatialFilter {
public:
    explicit TSpatialFilter(TFilterPath path);

    TFilterPath Path() const { return path_; }
    THostSession& Host() { return host_; }

    // Filters one picture (see the file comment). `source` 0 filters `destination` in place.
    // Returns the rows written: `height` when filtered, 0 for an empty picture or when the
    // working memory could not be had (then the destination is untouched).
    int32_t Run(uint8_t* destination, const uint8_t* source, int32_t strength, int32_t radius, int32_t width,
                int32_t height, int32_t fieldMode, const TProgressReport& progress);

private:
    struct TGeometry {
        int32_t Width, Height, Step, Radius;
        float Strength;
        int32_t RingRows;
        size_t Stride;
    };

    bool Reserve(const TGeometry& g);
    float* Pixels(const TGeometry& g, int32_t row, int32_t channel) const;
    float* Sums(const TGeometry& g, int32_t row, int32_t component) const;
    void ReadRow(const TGeometry& g, const uint8_t* source, int32_t row);
    void WeighPairs(const TGeometry& g, int32_t lowerRow, int32_t upperRow, int32_t columnOffset);
    void WriteRow(const TGeometry& g, uint8_t* destination, int32_t row, const TProgressReport& progress);

    TFilterPath path_;
    TSpatialKernels kernels_;
    THostSession host_;
    TWorkBlock pixelRing_;   // per ring row: B, G, R planes of the unfiltered pixels
    TWorkBlock accumulators_; // per ring row: B, G, R and weight sums
};

} // namespace quillset::noise_reduction
