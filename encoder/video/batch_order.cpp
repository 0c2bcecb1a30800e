#include "encoder/video/batch_order.h"

#include <vector>

namespace quillset {

void OrderBatchForCoding(TMPEGVideoFrameInfoList& batch) {
    const int32_t count = batch.Count();
    std::vector<TMPEGVideoFrameInfo*> display(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        display[static_cast<size_t>(i)] = batch[i];
    TMPEGVideoFrameInfo* carried = batch.GetCarriedReference();

    for (int32_t i = 0; i < count; ++i) {
        TMPEGVideoFrameInfo* info = display[static_cast<size_t>(i)];
        info->BatchIndex = i;
        info->ForwardRef = info->BackwardRef = nullptr;
        info->ForwardRefIsCarried = 0;
        info->IsReferenced = 0;
        info->NextInDisplay = i + 1 < count ? display[static_cast<size_t>(i + 1)] : nullptr;
        if (info->PrevInDisplayOwned && info->PrevInDisplay)
            info->PrevInDisplay->Release();
        info->PrevInDisplayOwned = 0;
        info->PrevInDisplay = i > 0 ? display[static_cast<size_t>(i - 1)] : carried;
        if (i == 0 && carried) {
            carried->AddRef();
            info->PrevInDisplayOwned = 1;
        }
    }

    // References in display order, and the coded order.
    std::vector<TMPEGVideoFrameInfo*> coded;
    std::vector<TMPEGVideoFrameInfo*> waiting; // B pictures before the next reference
    TMPEGVideoFrameInfo* previous = carried;
    bool carriedUsed = false;
    const auto predictFrom = [&](TMPEGVideoFrameInfo* user, TMPEGVideoFrameInfo* reference, bool forward) {
        (forward ? user->ForwardRef : user->BackwardRef) = reference;
        if (!reference)
            return;
        if (reference == carried) {
            carriedUsed = true;
            user->ForwardRefIsCarried = 1;
        } else {
            reference->IsReferenced = 1;
        }
    };
    for (TMPEGVideoFrameInfo* info : display) {
        if (info->PictureType == PictureType_B) {
            waiting.push_back(info);
            continue;
        }
        if (info->PictureType == PictureType_P)
            predictFrom(info, previous, true);
        coded.push_back(info);
        for (TMPEGVideoFrameInfo* b : waiting) {
            predictFrom(b, previous, true);
            predictFrom(b, info, false);
            coded.push_back(b);
        }
        waiting.clear();
        previous = info;
    }
    // A batch ends in a reference; B pictures left here would have no backward reference.
    for (TMPEGVideoFrameInfo* b : waiting) {
        predictFrom(b, previous, true);
        coded.push_back(b);
    }

    for (TMPEGVideoFrameInfo* info : coded)
        info->AddRef();
    while (batch.Count() > 0)
        batch.TakeOut(0)->Release();
    for (TMPEGVideoFrameInfo* info : coded) {
        batch.Add(info);
        info->Release();
    }
    if (!carriedUsed)
        batch.SetCarriedReference(nullptr);
}

void UnlinkBatch(TMPEGVideoFrameInfoList& batch) {
    for (int32_t i = 0; i < batch.Count(); ++i) {
        TMPEGVideoFrameInfo* info = batch[i];
        if (info->PrevInDisplayOwned && info->PrevInDisplay)
            info->PrevInDisplay->Release();
        info->PrevInDisplayOwned = 0;
        info->PrevInDisplay = nullptr;
        info->NextInDisplay = nullptr;
        info->ForwardRef = nullptr;
        info->BackwardRef = nullptr;
    }
}

void MarkReconstructions(TMPEGVideoFrameInfoList& batch, TPreviewSelection& selection, bool previewable, bool keepAll,
                         bool realtime) {
    const int32_t interval = batch.PreviewInterval;
    bool hasI = false;
    for (int32_t i = 0; i < batch.Count(); ++i) {
        TMPEGVideoFrameInfo* info = batch[i];
        hasI |= info->PictureType == PictureType_I;
        info->KeepReconstruction = interval == 1 || keepAll || info->IsReferenced || info->IsLastReference;
        info->ShowPreview = previewable && interval == 1;
    }
    if (!previewable || interval <= 1)
        return;
    int32_t chosen = 0;
    for (int32_t i = 0; i < batch.Count(); ++i) {
        TMPEGVideoFrameInfo* info = batch[i];
        --selection.Countdown;
        const bool qualifies = hasI ? info->PictureType == PictureType_I : (!realtime && info->KeepReconstruction);
        const bool room = batch.PreviewsPerBatch <= 0 || chosen < batch.PreviewsPerBatch;
        if (selection.Countdown <= 0 && qualifies && room) {
            info->KeepReconstruction = 1;
            info->ShowPreview = 1;
            ++chosen;
            selection.Countdown = interval;
        }
    }
}

} // namespace quillset
