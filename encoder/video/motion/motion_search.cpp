#include "encoder/video/motion/motion_search.h"

#include <cassert>

#include "encoder/video/motion/fast_search.h"
#include "encoder/video/motion/fast_zoom_search.h"
#include "encoder/video/motion/motion_estimate.h"
#include "encoder/video/motion/rgb_zoom_search.h"
#include "encoder/video/motion/zoom_search.h"

namespace quillset {

namespace {

// The class each speed stands for, frame-mode and field-mode.
struct TDesignatedClasses {
    const char* FrameMode;
    const char* FieldMode;
};

constexpr TDesignatedClasses kDesignatedClasses[] = {
    {"TMotionSearch_FrameMode_FastSearch", "TMotionSearch_FieldMode_FastSearch"},
    {"TMotionSearch_FrameMode_FastZoomSearch", "TMotionSearch_FieldMode_FastZoomSearch"},
    {"TMotionSearch_FrameMode_ZoomSearch_Normal", "TMotionSearch_FieldMode_ZoomSearch_Normal"},
    {"TMotionSearch_FrameMode_ZoomSearch_Slow", "TMotionSearch_FieldMode_ZoomSearch_Slow"},
    {"TMotionSearch_FrameMode_RGBZoomSearch_HighCQ", "TMotionSearch_FieldMode_ZoomSearch_HighCQ"},
    {"TMotionSearch_FrameMode_MotionEstimate", "TMotionSearch_FieldMode_MotionEstimate"},
    {"TMotionSearch_FrameMode_FastSearch", "TMotionSearch_FieldMode_FastSearch"},
    {"TMotionSearch_FrameMode_FastSearch", "TMotionSearch_FieldMode_FastSearch"},
};
constexpr int32_t kSpeedCount = static_cast<int32_t>(sizeof(kDesignatedClasses) / sizeof(kDesignatedClasses[0]));

// The class of each speed, frame-mode and field-mode.
TMotionSearchClass BuiltClass(int32_t speed, bool fieldMode) {
    switch (speed) {
    case 0:
    case 6:
    case 7:
        return fieldMode ? &TMotionSearch_FieldMode_FastSearch::ClassInfo
                         : &TMotionSearch_FrameMode_FastSearch::ClassInfo;
    case 1:
        return fieldMode ? &TMotionSearch_FieldMode_FastZoomSearch::ClassInfo
                         : &TMotionSearch_FrameMode_FastZoomSearch::ClassInfo;
    case 2:
        return fieldMode ? &TMotionSearch_FieldMode_ZoomSearch_Normal::ClassInfo
                         : &TMotionSearch_FrameMode_ZoomSearch_Normal::ClassInfo;
    case 3:
        return fieldMode ? &TMotionSearch_FieldMode_ZoomSearch_Slow::ClassInfo
                         : &TMotionSearch_FrameMode_ZoomSearch_Slow::ClassInfo;
    case 4:
        return fieldMode ? &TMotionSearch_FieldMode_ZoomSearch_HighCQ::ClassInfo
                         : &TMotionSearch_FrameMode_RGBZoomSearch_HighCQ::ClassInfo;
    case 5:
        return fieldMode ? &TMotionSearch_FieldMode_MotionEstimate::ClassInfo
                         : &TMotionSearch_FrameMode_MotionEstimate::ClassInfo;
    default: return nullptr;
    }
}

} // namespace

TMotionSearch::TMotionSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
                             const TMotionSearchParams& params)
    : Kernels(kernels), HalfPel(params.HalfPel), AlwaysHalfPel(params.AlwaysHalfPel), Reference(reference),
      Current(current) {
    assert(reference != nullptr && current != nullptr);
    assert(reference->GetWidth() == current->GetWidth() && reference->GetHeight() == current->GetHeight());
    Width = current->GetWidth();
    Height = current->GetHeight();
    WidthMinus16 = Width - 16;
    HalfWidthLimit = 2 * Width - 32;
    HeightMinus16 = Height - 16;
    HalfHeightLimit = 2 * Height - 32;
    Pitch = Width;
    FieldPitch = 2 * Width;
    MBWidth = Width / 16;
    MBHeight = Height / 16;
}

void TMotionSearch::SearchFrame(int32_t, int32_t, TMotionSearchResult&) {}

void TMotionSearch::SearchFieldMode(int32_t, int32_t, int32_t, TMotionSearchResult&, TMotionSearchResult&,
                                    TMotionSearchResult&) {}

TSearchArea TMotionSearch::LumaArea() const {
    TSearchArea a;
    a.Current = Current->GetY();
    a.Reference = Reference->GetY();
    a.Width = Width;
    a.Height = Height;
    a.HalfPel = HalfPel != 0;
    a.AlwaysHalfPel = AlwaysHalfPel != 0;
    return a;
}

void TMotionSearch::SearchFieldModeWith(int32_t x, int32_t y, int32_t mode, int32_t threshold,
                                        TMotionSearchResult& frameResult, TMotionSearchResult& topResult,
                                        TMotionSearchResult& bottomResult) {
    if (mode == MotionSearchFieldMode_FieldOnly) {
        SetNotSearched(frameResult, x, y);
    } else {
        SearchFrameForFieldMode(x, y, frameResult);
        if (mode == MotionSearchFieldMode_FrameOnly || frameResult.Cost < threshold) {
            SetNotSearched(topResult, x, y);
            SetNotSearched(bottomResult, x, y);
            return;
        }
    }
    SearchOneField(x, y, 0, topResult);
    SearchOneField(x, y, 1, bottomResult);
}

void SetNotSearched(TMotionSearchResult& result, int32_t x, int32_t y) {
    result.FieldSelect = 0;
    result.MvX = 0;
    result.MvY = 0;
    result.BestX = x;
    result.BestY = y;
    result.Cost = kMotionCostNotSearched;
}

TMotionSearchClassChoice ChooseMotionSearchClass(uint8_t speed, bool fieldMode) {
    const TMotionSearchClass fast = BuiltClass(0, fieldMode);
    if (speed >= kSpeedCount)
        return {fast, "", true};
    const TDesignatedClasses& designated = kDesignatedClasses[speed];
    const TMotionSearchClass built = BuiltClass(speed, fieldMode);
    return {built != nullptr ? built : fast, fieldMode ? designated.FieldMode : designated.FrameMode,
            built == nullptr};
}

TMotionSearchClass GetMotionSearchClass(const TMotionSearchPicture& picture, bool fieldMode) {
    return ChooseMotionSearchClass(picture.GetSearchSpeed(), fieldMode).Class;
}

std::unique_ptr<TMotionSearch> CreateMotionSearch(TMotionSearchClass searchClass, const TKernelTable& kernels,
                                                  TMotionSearchPicture& reference, TMotionSearchPicture& current,
                                                  const TMotionSearchParams& params) {
    TMotionSearchBuffer* referenceBuffer = GetMotionSearchBuffer(reference, searchClass->BufferClass, kernels);
    TMotionSearchBuffer* currentBuffer = GetMotionSearchBuffer(current, searchClass->BufferClass, kernels);
    return searchClass->Create(kernels, referenceBuffer, currentBuffer, params);
}

} // namespace quillset
