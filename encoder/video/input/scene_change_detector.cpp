#include "encoder/video/input/scene_change_detector.h"

#include <algorithm>

#include "encoder/video/input/picture_measures.h"

namespace quillset {

TMPEGVideoEncoder_DetectSceneChange::TMPEGVideoEncoder_DetectSceneChange(const TKernelTable& kernels)
    : Kernels(kernels) {}

void TMPEGVideoEncoder_DetectSceneChange::Reset() {
    Previous.reset();
    Level = 0;
}

bool TMPEGVideoEncoder_DetectSceneChange::IsSceneChange(const TMPEGVideo_YUVImage& picture) {
    const int64_t area = int64_t{picture.Format.Width} * picture.Format.Height;
    bool change = false;
    int64_t d = 8 * area;
    if (Previous) {
        d = PictureDifference(Kernels, picture, *Previous);
        change = static_cast<double>(d) > 4.5 * static_cast<double>(Level) && d - Level > 3 * area;
    }
    Previous = TMPEGVideo_YUVImage::CreateShared(picture);
    const auto decayed = static_cast<int64_t>(0.8 * static_cast<double>(Level) - 0.3 * static_cast<double>(area));
    Level = std::max(d, decayed);
    return change;
}

} // namespace quillset
