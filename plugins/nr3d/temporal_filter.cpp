#include "plugins/nr3d/temporal_filter.h"

#include <algorithm>
#include <cstring>

namespace quillset::noise_reduction {

namespace {

TTemporalKernels KernelsFor(TFilterPath path) {
#ifdef QS_NR_X86_KERNELS
    if (path == TFilterPath::Avx2)
        return TemporalKernels_Avx2();
    if (path == TFilterPath::Sse2)
        return TemporalKernels_Sse2();
#endif
    (void)path;
    return TemporalKernels_Portable();
}

constexpr size_t kPixelPlanes = 9;  // B, G, R of current, previous, next
constexpr size_t kMotionPlanes = 2; // previous, next
constexpr size_t kMargin = 8;       // floats before a difference row (keeps it aligned)
constexpr int32_t kFirstGroup = 8;  // rows read before the first output row
constexpr int32_t kGroup = 4;       // rows read at a time afterwards

} // namespace

TTemporalFilter::TTemporalFilter(TFilterPath path)
    : path_(path), kernels_(KernelsFor(path)), host_(NoiseReductionKind_Temporal) {}

int32_t TTemporalFilter::Run(uint8_t* destination, const uint8_t* current, const uint8_t* previous,
                             const uint8_t* next, int32_t strength, int32_t width, int32_t height, int32_t fieldMode,
                             const TProgressReport& progress) {
    if (height < 1 || width < 1 || destination == nullptr || current == nullptr)
        return 0;
    const int32_t s = 10 * ClampArgument(strength, 0, 100);
    if (s == 0) {
        // Every weight and the divisor would be 0: the current picture passes unchanged.
        CopyPicture(destination, current, width, height, progress);
        return height;
    }
    const TInputs inputs{{current, previous != nullptr ? previous : current, next != nullptr ? next : current}};
    TGeometry g{};
    g.Width = width;
    g.Height = height;
    g.Step = fieldMode != 0 ? 2 : 1;
    g.Strength = static_cast<float>(s);
    const int32_t reach = 2 * g.Step; // window rows below (and above) a pixel
    // Rows still needed (reach above the next output row) plus a group read ahead.
    g.RingRows = std::min(height, 2 * reach + kFirstGroup);
    g.Stride = PlaneStride(width);
    if (!Reserve(g))
        return 0;

    int32_t read = 0;
    int32_t written = 0;
    int32_t readEnd = std::min(height, kFirstGroup);
    while (written < height) {
        for (; read < readEnd; ++read)
            ReadRow(g, inputs, read);
        // Every row is read before any output row that could overlap it is written.
        for (; written < height && (written + reach < read || read == height); ++written)
            WriteRow(g, destination, written, progress);
        readEnd = std::min(height, read + kGroup);
    }
    return height;
}

bool TTemporalFilter::Reserve(const TGeometry& g) {
    const size_t rows = static_cast<size_t>(g.RingRows);
    if (!pixelRing_.Reserve(PlaneBytes(g.Stride, kPixelPlanes, rows)) ||
        !motionRing_.Reserve(PlaneBytes(g.Stride, kMotionPlanes, rows)) ||
        !scratch_.Reserve(PlaneBytes(g.Stride + 2 * kMargin, 2, 1)))
        return false;
    // The margins of the difference row and the row of zeros stay 0 for the whole call.
    std::memset(scratch_.Floats(), 0, PlaneBytes(g.Stride + 2 * kMargin, 2, 1));
    return true;
}

float* TTemporalFilter::Plane(const TGeometry& g, int32_t row, int32_t plane) const {
    const size_t slot = static_cast<size_t>(row % g.RingRows);
    return pixelRing_.Floats() + (slot * kPixelPlanes + static_cast<size_t>(plane)) * g.Stride;
}

// The row maxima of difference map `neighbour` (0 previous, 1 next); a row of zeros outside the
// picture, which leaves the window maxima clipped to it.
const float* TTemporalFilter::Motion(const TGeometry& g, int32_t row, int32_t neighbour) const {
    if (row < 0 || row >= g.Height)
        return scratch_.Floats() + g.Stride + 2 * kMargin;
    return MotionPlane(g, row, neighbour);
}

float* TTemporalFilter::MotionPlane(const TGeometry& g, int32_t row, int32_t neighbour) const {
    const size_t slot = static_cast<size_t>(row % g.RingRows);
    return motionRing_.Floats() + (slot * kMotionPlanes + static_cast<size_t>(neighbour)) * g.Stride;
}

// Converts row `row` of the three pictures into the ring and forms its difference rows.
void TTemporalFilter::ReadRow(const TGeometry& g, const TInputs& inputs, int32_t row) {
    for (int32_t picture = 0; picture < 3; ++picture) {
        const uint8_t* in = inputs.Pictures[picture] + RowOffset(g.Width, row);
        float* planes[3] = {Plane(g, row, 3 * picture), Plane(g, row, 3 * picture + 1), Plane(g, row, 3 * picture + 2)};
        for (int32_t x = 0; x < g.Width; ++x, in += 3) {
            planes[0][x] = static_cast<float>(in[0]);
            planes[1][x] = static_cast<float>(in[1]);
            planes[2][x] = static_cast<float>(in[2]);
        }
    }
    const float* currentPlanes[3] = {Plane(g, row, 0), Plane(g, row, 1), Plane(g, row, 2)};
    float* difference = scratch_.Floats() + kMargin;
    for (int32_t neighbour = 0; neighbour < 2; ++neighbour) {
        const int32_t first = 3 + 3 * neighbour;
        const float* neighbourPlanes[3] = {Plane(g, row, first), Plane(g, row, first + 1), Plane(g, row, first + 2)};
        kernels_.DifferenceRow(currentPlanes, neighbourPlanes, difference, g.Width);
        kernels_.RowMaximum(difference, MotionPlane(g, row, neighbour), g.Width);
    }
}

void TTemporalFilter::WriteRow(const TGeometry& g, uint8_t* destination, int32_t row, const TProgressReport& progress) {
    TTemporalRow t{};
    for (int32_t c = 0; c < 3; ++c) {
        t.Current[c] = Plane(g, row, c);
        t.Previous[c] = Plane(g, row, 3 + c);
        t.Next[c] = Plane(g, row, 6 + c);
    }
    for (int32_t k = 0; k < 5; ++k) {
        t.PreviousMotion[k] = Motion(g, row + (k - 2) * g.Step, 0);
        t.NextMotion[k] = Motion(g, row + (k - 2) * g.Step, 1);
    }
    t.Out = destination + RowOffset(g.Width, row);
    kernels_.BlendRow(t, g.Width, g.Strength);
    progress.RowDone(row);
}

} // namespace quillset::noise_reduction
