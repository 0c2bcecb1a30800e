#include "encoder/video/motion/rgb_zoom_search.h"

#include "encoder/video/motion/search_class_support.h"

namespace quillset {

const TMotionSearchClassInfo TMotionSearch_FrameMode_RGBZoomSearch_HighCQ::ClassInfo = {
    "TMotionSearch_FrameMode_RGBZoomSearch_HighCQ", &TMotionSearchBuffer_FrameMode_RGBZoomSearch::ClassInfo, false,
    CreateSearchOf<TMotionSearch_FrameMode_RGBZoomSearch_HighCQ>};

TMotionSearch_FrameMode_RGBZoomSearch_HighCQ::TMotionSearch_FrameMode_RGBZoomSearch_HighCQ(
    const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
    const TMotionSearchParams& params)
    : TMotionSearch(kernels, reference, current, params) {
    const auto& cur = static_cast<const TMotionSearchBuffer_FrameMode_RGBZoomSearch&>(*current);
    const auto& ref = static_cast<const TMotionSearchBuffer_FrameMode_RGBZoomSearch&>(*reference);
    TRGBZoomSearchPackageParams& b = PackageParams;
    b.CurrentY = cur.GetY();
    b.CurrentRgb = cur.GetRgb();
    b.CurrentRgbSums = cur.GetRgbSums();
    b.ReferenceY = ref.GetY();
    b.ReferenceRgb = ref.GetRgb();
    b.ReferenceRgbSums = ref.GetRgbSums();
    b.WidthMinus16 = WidthMinus16;
    b.HalfWidthLimit = HalfWidthLimit;
    b.HeightMinus16 = HeightMinus16;
    b.HalfHeightLimit = HalfHeightLimit;
    b.Width = Width;
    b.RgbPitch = cur.GetRgbPitch();
    b.SumMaxX = cur.GetRgbSumWidth() - 4;
    b.SumMaxY = cur.GetRgbSumHeight() - 4;
    b.RgbSumPitch = cur.GetRgbSumPitch();
    b.AlwaysHalfPel = PackageFlag(AlwaysHalfPel != 0);
    b.HalfPel = PackageFlag(HalfPel != 0);
}

void TMotionSearch_FrameMode_RGBZoomSearch_HighCQ::SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) {
    if (!CallPackage(Kernels.RGBZoomSearch_FrameSearch, &PackageParams, x, y, &result))
        RGBZoomSearchFrame(Kernels, PackageParams, x, y, result);
}

} // namespace quillset
