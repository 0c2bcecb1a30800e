// The ZoomSearch classes (speeds Normal, Slow, and HighCQ in field mode): spiral scans on the
// sum pictures, then on full samples (zoom_search_core.h), with candidate counts per class.
// Frame searches go through package slot 124, field searches through slot 126.
#pragma once

#include "encoder/video/motion/motion_search.h"
#include "encoder/video/motion/zoom_search_core.h"

namespace quillset {

// The candidate counts of a class (numbers of SpiralOrder entries) and its frame-cost threshold
// T for mode 0 of SearchFieldMode (0 for frame-mode classes).
struct TZoomSearchCounts {
    int32_t Coarse = 0;
    int32_t Fine = 0;
    int32_t Second = 0;
    int32_t FieldPreSearch = 0;
    int32_t FieldCoarse = 0;
    int32_t FieldFine = 0;
    int32_t FrameCostThreshold = 0;
};

class TMotionSearch_FrameMode_ZoomSearch_Base : public TMotionSearch {
public:
    TMotionSearchBufferClass GetBufferClass() const override {
        return &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo;
    }
    void SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) override;

    const TZoomSearchPackageParams& GetPackageParams() const { return PackageParams; }

protected:
    TMotionSearch_FrameMode_ZoomSearch_Base(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                            TMotionSearchBuffer* current, const TMotionSearchParams& params,
                                            const TZoomSearchCounts& counts, bool fieldMode);

    TZoomSearchPackageParams PackageParams;
};

class TMotionSearch_FrameMode_ZoomSearch_Normal : public TMotionSearch_FrameMode_ZoomSearch_Base {
public:
    static const TMotionSearchClassInfo ClassInfo;
    TMotionSearch_FrameMode_ZoomSearch_Normal(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                              TMotionSearchBuffer* current, const TMotionSearchParams& params);
};

class TMotionSearch_FrameMode_ZoomSearch_Slow : public TMotionSearch_FrameMode_ZoomSearch_Base {
public:
    static const TMotionSearchClassInfo ClassInfo;
    TMotionSearch_FrameMode_ZoomSearch_Slow(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                            TMotionSearchBuffer* current, const TMotionSearchParams& params);
};

class TMotionSearch_FieldMode_ZoomSearch_Base : public TMotionSearch_FrameMode_ZoomSearch_Base {
public:
    TMotionSearchBufferClass GetBufferClass() const override {
        return &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo;
    }
    void SearchFieldMode(int32_t x, int32_t y, int32_t mode, TMotionSearchResult& frameResult,
                         TMotionSearchResult& topResult, TMotionSearchResult& bottomResult) override;

protected:
    TMotionSearch_FieldMode_ZoomSearch_Base(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                            TMotionSearchBuffer* current, const TMotionSearchParams& params,
                                            const TZoomSearchCounts& counts);
    void SearchOneField(int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result) override;

    int32_t FrameCostThreshold;
};

class TMotionSearch_FieldMode_ZoomSearch_Normal : public TMotionSearch_FieldMode_ZoomSearch_Base {
public:
    static const TMotionSearchClassInfo ClassInfo;
    TMotionSearch_FieldMode_ZoomSearch_Normal(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                              TMotionSearchBuffer* current, const TMotionSearchParams& params);

    // Nd: the coarse count grows with the picture size and with the time between the pictures:
    // d = max(W, H) div 4 + 255, s = |display distance| / rate x 5 + 0.5 limited to 0.5 .. 1,
    // Nd = min(1024, trunc(d x sqrt(s))).
    static int32_t CoarseCount(int32_t width, int32_t height, int64_t displayDistance, double pictureRate);
};

class TMotionSearch_FieldMode_ZoomSearch_Slow : public TMotionSearch_FieldMode_ZoomSearch_Base {
public:
    static const TMotionSearchClassInfo ClassInfo;
    TMotionSearch_FieldMode_ZoomSearch_Slow(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                            TMotionSearchBuffer* current, const TMotionSearchParams& params);
};

class TMotionSearch_FieldMode_ZoomSearch_HighCQ : public TMotionSearch_FieldMode_ZoomSearch_Base {
public:
    static const TMotionSearchClassInfo ClassInfo;
    TMotionSearch_FieldMode_ZoomSearch_HighCQ(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                              TMotionSearchBuffer* current, const TMotionSearchParams& params);
};

} // namespace quillset
