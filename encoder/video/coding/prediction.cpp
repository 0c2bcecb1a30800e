#include "encoder/video/coding/prediction.h"

namespace quillset {

namespace {

// The member of a four-kernel group: base + 2 x horizontal half + vertical half.
template <typename T>
T GroupMember(T full, T v, T h, T hv, int32_t dx, int32_t dy) {
    switch (2 * (dx & 1) + (dy & 1)) {
    case 0:
        return full;
    case 1:
        return v;
    case 2:
        return h;
    default:
        return hv;
    }
}

// A plane of a picture with the macroblock geometry that predictions need.
struct TPlane {
    uint8_t* Data;
    int32_t Stride;
};

TPlane PlaneOf(const TMPEGVideo_YUVImage& image, int32_t component) {
    switch (component) {
    case 0:
        return {image.Y, image.LumaStride};
    case 1:
        return {image.Cb, image.ChromaStride};
    default:
        return {image.Cr, image.ChromaStride};
    }
}

// Predicts one component of one direction: `average` averages into what dst holds.
// Block size w x h at (bx, by) of the component plane; field prediction of field `parity` reads
// reference field `select` with vertical vector dy in field half samples.
void PredictBlock(const TKernelTable& k, const TPlane& dst, const TPlane& ref, int32_t w, int32_t h, int32_t bx,
                  int32_t by, int32_t dx, int32_t dy, bool field, int32_t parity, int32_t select, bool average) {
    uint8_t* d;
    const uint8_t* r;
    int32_t pitch;
    int32_t rows;
    if (!field) {
        d = dst.Data + static_cast<ptrdiff_t>(by) * dst.Stride + bx;
        r = ref.Data + static_cast<ptrdiff_t>(by + (dy >> 1)) * ref.Stride + bx + (dx >> 1);
        pitch = dst.Stride;
        rows = h;
    } else {
        // by is the frame row of the block; its field rows start at by / 2.
        const int32_t fieldRow = by / 2 + (dy >> 1);
        d = dst.Data + static_cast<ptrdiff_t>(by + parity) * dst.Stride + bx;
        r = ref.Data + static_cast<ptrdiff_t>(2 * fieldRow + select) * ref.Stride + bx + (dx >> 1);
        pitch = 2 * dst.Stride;
        rows = h / 2;
    }
    TPredictKernel kernel;
    if (w == 16)
        kernel = average ? PredictAvg16Kernel(k, dx, dy) : Predict16Kernel(k, dx, dy);
    else
        kernel = average ? PredictAvg8Kernel(k, dx, dy) : Predict8Kernel(k, dx, dy);
    kernel(d, r, pitch, rows);
}

void PredictDirection(const TKernelTable& k, TMPEGVideo_YUVImage& target, const TMPEGVideo_YUVImage& reference,
                      int32_t mbX, int32_t mbY, const TMBInfo& mb, const TMBVectorPair& vectors, int32_t chromaFormat,
                      bool average) {
    const bool field = mb.IsFieldPrediction();
    const int32_t chromaHeight = chromaFormat == 1 ? 8 : 16;
    for (int32_t part = 0; part < (field ? 2 : 1); ++part) {
        const TMBMotionVector& mv = vectors[static_cast<size_t>(part)];
        for (int32_t c = 0; c < 3; ++c) {
            const TPlane dst = PlaneOf(target, c);
            const TPlane ref = PlaneOf(reference, c);
            if (c == 0) {
                PredictBlock(k, dst, ref, 16, 16, 16 * mbX, 16 * mbY, mv.MvX, mv.MvY, field, part, mv.FieldSelect,
                             average);
            } else {
                const int32_t cdx = HalveTowardZero(mv.MvX);
                const int32_t cdy = chromaFormat == 1 ? HalveTowardZero(mv.MvY) : mv.MvY;
                PredictBlock(k, dst, ref, 8, chromaHeight, 8 * mbX, chromaHeight * mbY, cdx, cdy, field, part,
                             mv.FieldSelect, average);
            }
        }
    }
}

} // namespace

TFetchKernel FetchPacked16x16Kernel(const TKernelTable& k, int32_t dx, int32_t dy) {
    return GroupMember(k.FetchPacked16x16, k.FetchPacked16x16V, k.FetchPacked16x16H, k.FetchPacked16x16HV, dx, dy);
}

TFetchKernel FetchField16x8Kernel(const TKernelTable& k, int32_t dx, int32_t dy) {
    return GroupMember(k.FetchField16x8, k.FetchField16x8V, k.FetchField16x8H, k.FetchField16x8HV, dx, dy);
}

TPredictKernel Predict16Kernel(const TKernelTable& k, int32_t dx, int32_t dy) {
    return GroupMember(k.Predict16, k.Predict16V, k.Predict16H, k.Predict16HV, dx, dy);
}

TPredictKernel Predict8Kernel(const TKernelTable& k, int32_t dx, int32_t dy) {
    return GroupMember(k.Predict8, k.Predict8V, k.Predict8H, k.Predict8HV, dx, dy);
}

TPredictKernel PredictAvg16Kernel(const TKernelTable& k, int32_t dx, int32_t dy) {
    return GroupMember(k.PredictAvg16, k.PredictAvg16V, k.PredictAvg16H, k.PredictAvg16HV, dx, dy);
}

TPredictKernel PredictAvg8Kernel(const TKernelTable& k, int32_t dx, int32_t dy) {
    return GroupMember(k.PredictAvg8, k.PredictAvg8V, k.PredictAvg8H, k.PredictAvg8HV, dx, dy);
}

void FetchLumaPrediction(const TKernelTable& k, uint8_t* packed, const TMPEGVideo_YUVImage& reference, int32_t x,
                         int32_t y, bool field, const TMBVectorPair& vectors) {
    const int32_t stride = reference.LumaStride;
    if (!field) {
        const TMBMotionVector& mv = vectors[0];
        const uint8_t* r = reference.Y + static_cast<ptrdiff_t>(y + (mv.MvY >> 1)) * stride + x + (mv.MvX >> 1);
        FetchPacked16x16Kernel(k, mv.MvX, mv.MvY)(packed, r, stride);
        return;
    }
    for (int32_t parity = 0; parity < 2; ++parity) {
        const TMBMotionVector& mv = vectors[static_cast<size_t>(parity)];
        const int32_t fieldRow = y / 2 + (mv.MvY >> 1);
        const uint8_t* r =
            reference.Y + static_cast<ptrdiff_t>(2 * fieldRow + mv.FieldSelect) * stride + x + (mv.MvX >> 1);
        FetchField16x8Kernel(k, mv.MvX, mv.MvY)(packed + 16 * parity, r, 2 * stride);
    }
}

void PredictMacroblock(const TKernelTable& k, TMPEGVideo_YUVImage& target, const TMPEGVideo_YUVImage* forward,
                       const TMPEGVideo_YUVImage* backward, int32_t mbX, int32_t mbY, const TMBInfo& mb,
                       int32_t chromaFormat) {
    bool predicted = false;
    if (mb.HasForward() && forward) {
        PredictDirection(k, target, *forward, mbX, mbY, mb, mb.Forward, chromaFormat, false);
        predicted = true;
    }
    if (mb.HasBackward() && backward)
        PredictDirection(k, target, *backward, mbX, mbY, mb, mb.Backward, chromaFormat, predicted);
}

} // namespace quillset
