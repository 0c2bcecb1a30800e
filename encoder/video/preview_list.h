// The order in which coded pictures of one batch reach the preview hook. With a preview interval
// of 1 every picture is shown in display order: pictures coded early (references) are held
// until those displayed before them have passed. With other intervals pictures pass through as
// they are coded.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "encoder/framework/yuv_image.h"
#include "encoder/video/frame_info.h"

namespace quillset {

class TMPEGVideoEncoder_PreviewList {
public:
    // Receives the picture's image (null when it is not previewed) and display number.
    using TShow = std::function<void(TMPEGVideo_YUVImage* image, int64_t displayNumber)>;

    TMPEGVideoEncoder_PreviewList(int32_t previewInterval, TShow show);

    // A coded picture; its reconstruction must stay unchanged while it is held.
    void Offer(TMPEGVideoFrameInfo* picture);
    // End of the batch: every held picture goes out in ascending BatchIndex.
    void Finish();

private:
    void Show(TMPEGVideoFrameInfo* picture);

    bool Ordered;
    TShow ShowPicture;
    int32_t NextIndex = 0;
    std::map<int32_t, TFrameInfoRef> Held; // by BatchIndex
};

} // namespace quillset
