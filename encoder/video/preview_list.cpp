#include "encoder/video/preview_list.h"

#include <utility>

namespace quillset {

TMPEGVideoEncoder_PreviewList::TMPEGVideoEncoder_PreviewList(int32_t previewInterval, TShow show)
    : Ordered(previewInterval == 1), ShowPicture(std::move(show)) {}

void TMPEGVideoEncoder_PreviewList::Show(TMPEGVideoFrameInfo* picture) {
    ShowPicture(picture->ShowPreview ? picture->Reconstructed : nullptr, picture->DisplayNumber);
}

void TMPEGVideoEncoder_PreviewList::Offer(TMPEGVideoFrameInfo* picture) {
    if (!Ordered) {
        Show(picture);
        return;
    }
    if (picture->BatchIndex != NextIndex) {
        Held.emplace(picture->BatchIndex, TFrameInfoRef(picture));
        return;
    }
    Show(picture);
    ++NextIndex;
    for (auto it = Held.begin(); it != Held.end() && it->first == NextIndex; it = Held.erase(it)) {
        Show(it->second.Get());
        ++NextIndex;
    }
}

void TMPEGVideoEncoder_PreviewList::Finish() {
    for (auto& [index, picture] : Held)
        Show(picture.Get());
    Held.clear();
    NextIndex = 0;
}

} // namespace quillset
