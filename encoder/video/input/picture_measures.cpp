#include "encoder/video/input/picture_measures.h"

#include <cassert>
#include <cstddef>

namespace quillset {

namespace {

// One plane of a picture: its first line, pitch, width and height.
struct TPlane {
    const uint8_t* Data;
    int32_t Pitch;
    int32_t Width;
    int32_t Height;

    const uint8_t* Line(int32_t n) const { return Data + static_cast<ptrdiff_t>(n) * Pitch; }
};

void PlanesOf(const TMPEGVideo_YUVImage& image, TPlane planes[3]) {
    const TMPEGVideo_YUVImageFormat& f = image.Format;
    planes[0] = {image.Y, image.LumaStride, f.Width, f.Height};
    planes[1] = {image.Cb, image.ChromaStride, f.ChromaWidth, f.ChromaHeight};
    planes[2] = {image.Cr, image.ChromaStride, f.ChromaWidth, f.ChromaHeight};
}

// (luma + k x chroma) / 128 of a per-plane measure.
template <typename PlaneMeasure>
int64_t Measure(const TMPEGVideo_YUVImage& a, const TMPEGVideo_YUVImage& b, PlaneMeasure&& measure) {
    assert(a.Format.Width == b.Format.Width && a.Format.Height == b.Format.Height &&
           a.Format.ChromaFormat == b.Format.ChromaFormat);
    TPlane pa[3], pb[3];
    PlanesOf(a, pa);
    PlanesOf(b, pb);
    const int64_t luma = measure(pa[0], pb[0]);
    const int64_t chroma = measure(pa[1], pb[1]) + measure(pa[2], pb[2]);
    return (luma + ChromaWeight(a) * chroma) / 128;
}

} // namespace

int32_t ChromaWeight(const TMPEGVideo_YUVImage& image) { return image.Format.ChromaFormat == 2 ? 2 : 4; }

int64_t PictureDifference(const TKernelTable& k, const TMPEGVideo_YUVImage& a, const TMPEGVideo_YUVImage& b) {
    return Measure(a, b, [&](const TPlane& x, const TPlane& y) {
        int64_t sum = 0;
        for (int32_t n = 0; n < x.Height; ++n)
            sum += k.ExcessDiffEnergy(x.Line(n), y.Line(n), x.Width, 8);
        return sum;
    });
}

int64_t FieldDifference(const TKernelTable& k, const TMPEGVideo_YUVImage& a, const TMPEGVideo_YUVImage& b,
                        int32_t parity) {
    return Measure(a, b, [&](const TPlane& x, const TPlane& y) {
        int64_t sum = 0;
        for (int32_t n = parity; n < x.Height; n += 2)
            sum += k.ExcessDiffEnergy(x.Line(n), y.Line(n), x.Width, 16);
        return sum;
    });
}

int64_t Combing(const TKernelTable& k, const TMPEGVideo_YUVImage& a, const TMPEGVideo_YUVImage& b) {
    return Measure(a, b, [&](const TPlane& pa, const TPlane& pb) {
        int64_t sum = 0;
        for (int32_t n = 1; n + 1 < pa.Height; ++n) {
            const TPlane& centre = (n & 1) ? pb : pa;
            const TPlane& outer = (n & 1) ? pa : pb;
            sum += k.ExcessDiffEnergy3(centre.Line(n), outer.Line(n - 1), outer.Line(n + 1), 16, pa.Width);
        }
        return sum;
    });
}

} // namespace quillset
