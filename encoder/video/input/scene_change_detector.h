// Scene change detection on the pictures the video encoder takes in: a picture that differs
// from the one before it far more than the recent pictures differed from theirs starts a new
// scene, and the encoder forces an I picture there.
#pragma once

#include <cstdint>
#include <memory>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_table.h"

namespace quillset {

class TMPEGVideoEncoder_DetectSceneChange {
public:
    explicit TMPEGVideoEncoder_DetectSceneChange(const TKernelTable& kernels);

    // One call per input picture in display order; all pictures share one format. With a
    // previous picture, d = D(picture, previous) (picture_measures.h) and the picture is a scene
    // change when d > 4.5 M and d - M > 3 x W x H; the first picture is never one (d is taken
    // as 8 x W x H). Then the level M becomes max(d, trunc(0.8 M - 0.3 x W x H)): it follows
    // rising differences at once and decays by a fifth per picture. Keeps a shared reference to
    // the picture (no pixels are copied; the encoder does not write pictures it was given).
    bool IsSceneChange(const TMPEGVideo_YUVImage& picture);

    // Forgets the previous picture and the level (a new pass).
    void Reset();

    int64_t GetLevel() const { return Level; }

private:
    TKernelTable Kernels;
    std::unique_ptr<TMPEGVideo_YUVImage> Previous;
    int64_t Level = 0;
};

} // namespace quillset
