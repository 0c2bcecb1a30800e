#include "plugins/nr2d/spatial_filter.h"

#include <algorithm>

namespace quillset::noise_reduction {

namespace {

TSpatialKernels KernelsFor(TFilterPath path) {
#ifdef QS_NR_X86_KERNELS
    if (path == TFilterPath::Avx2)
        return SpatialKernels_Avx2();
    if (path == TFilterPath::Sse2)
        return SpatialKernels_Sse2();
#endif
    (void)path;
    return SpatialKernels_Portable();
}

constexpr size_t kPixelPlanes = 3; // B, G, R
constexpr size_t kSumPlanes = 4;   // B, G, R, weight

} // namespace

TSpatialFilter::TSpatialFilter(TFilterPath path)
    : path_(path), kernels_(KernelsFor(path)), host_(NoiseReductionKind_Spatial) {}

int32_t TSpatialFilter::Run(uint8_t* destination, const uint8_t* source, int32_t strength, int32_t radius,
                            int32_t width, int32_t height, int32_t fieldMode, const TProgressReport& progress) {
    if (height < 1 || width < 1 || destination == nullptr)
        return 0;
    if (source == nullptr)
        source = destination;
    const int32_t s = 10 * ClampArgument(strength, 0, 1000);
    if (s == 0) {
        // Every weight and the divisor would be 0: the picture stays as it is.
        CopyPicture(destination, source, width, height, progress);
        return height;
    }
    TGeometry g{};
    g.Width = width;
    g.Height = height;
    g.Step = fieldMode != 0 ? 2 : 1;
    g.Radius = ClampArgument(radius, 1, 100);
    g.Strength = static_cast<float>(s);
    const int32_t reach = g.Step * g.Radius; // rows below a pixel that still add to it
    g.RingRows = std::min(height, reach + 1);
    g.Stride = PlaneStride(width);
    if (!Reserve(g))
        return 0;

    // A pixel's sums are complete once the rows `reach` below it have been read; every source row
    // is read before any output row at or below it is written, which makes in-place filtering safe.
    const int32_t columnReach = std::min(g.Radius, width - 1);
    for (int32_t row = 0; row < height; ++row) {
        ReadRow(g, source, row);
        for (int32_t k = g.Radius; k >= 1; --k) {
            const int32_t above = row - g.Step * k;
            if (above < 0)
                continue;
            for (int32_t dx = -columnReach; dx <= columnReach; ++dx)
                WeighPairs(g, row, above, dx);
        }
        for (int32_t dx = 1; dx <= columnReach; ++dx)
            WeighPairs(g, row, row, dx);
        if (row >= reach)
            WriteRow(g, destination, row - reach, progress);
    }
    for (int32_t row = std::max(0, height - reach); row < height; ++row)
        WriteRow(g, destination, row, progress);
    return height;
}

bool TSpatialFilter::Reserve(const TGeometry& g) {
    const size_t rows = static_cast<size_t>(g.RingRows);
    return pixelRing_.Reserve(PlaneBytes(g.Stride, kPixelPlanes, rows)) &&
           accumulators_.Reserve(PlaneBytes(g.Stride, kSumPlanes, rows));
}

float* TSpatialFilter::Pixels(const TGeometry& g, int32_t row, int32_t channel) const {
    const size_t slot = static_cast<size_t>(row % g.RingRows);
    return pixelRing_.Floats() + (slot * kPixelPlanes + static_cast<size_t>(channel)) * g.Stride;
}

float* TSpatialFilter::Sums(const TGeometry& g, int32_t row, int32_t component) const {
    const size_t slot = static_cast<size_t>(row % g.RingRows);
    return accumulators_.Floats() + (slot * kSumPlanes + static_cast<size_t>(component)) * g.Stride;
}

// Converts a source row into the ring and starts its sums with the centre pixel's weight 2S.
void TSpatialFilter::ReadRow(const TGeometry& g, const uint8_t* source, int32_t row) {
    const uint8_t* in = source + RowOffset(g.Width, row);
    float* pixels[3] = {Pixels(g, row, 0), Pixels(g, row, 1), Pixels(g, row, 2)};
    float* sums[4] = {Sums(g, row, 0), Sums(g, row, 1), Sums(g, row, 2), Sums(g, row, 3)};
    const float centre = 2.0f * g.Strength;
    for (int32_t x = 0; x < g.Width; ++x, in += 3) {
        for (int32_t c = 0; c < 3; ++c) {
            const float value = static_cast<float>(in[c]);
            pixels[c][x] = value;
            sums[c][x] = centre * value;
        }
        sums[3][x] = centre;
    }
}

// Weighs every pixel of `lowerRow` with the pixel `columnOffset` columns to its right in
// `upperRow`, where both lie inside the picture.
void TSpatialFilter::WeighPairs(const TGeometry& g, int32_t lowerRow, int32_t upperRow, int32_t columnOffset) {
    const int32_t first = std::max(0, -columnOffset);
    const int32_t end = std::min(g.Width, g.Width - columnOffset);
    if (end <= first)
        return;
    TPairRun run{};
    for (int32_t c = 0; c < 3; ++c) {
        run.Lower[c] = Pixels(g, lowerRow, c) + first;
        run.Upper[c] = Pixels(g, upperRow, c) + first + columnOffset;
    }
    for (int32_t c = 0; c < 4; ++c) {
        run.LowerSums[c] = Sums(g, lowerRow, c) + first;
        run.UpperSums[c] = Sums(g, upperRow, c) + first + columnOffset;
    }
    kernels_.AccumulatePairs(run, end - first, g.Strength);
}

void TSpatialFilter::WriteRow(const TGeometry& g, uint8_t* destination, int32_t row, const TProgressReport& progress) {
    const float* sums[4] = {Sums(g, row, 0), Sums(g, row, 1), Sums(g, row, 2), Sums(g, row, 3)};
    kernels_.ResolveRow(sums, destination + RowOffset(g.Width, row), g.Width);
    progress.RowDone(row);
}

} // namespace quillset::noise_reduction
