#include "encoder/video/frame_info.h"

#include <algorithm>
#include <cassert>

namespace quillset {

const char* PictureTypeLetter(uint8_t pictureType) {
    switch (pictureType) {
    case PictureType_I:
        return "I";
    case PictureType_P:
        return "P";
    default:
        return "B";
    }
}

TMPEGVideoFrameInfo::TMPEGVideoFrameInfo(int32_t macroblockCount)
    : Macroblocks(static_cast<size_t>(std::max(macroblockCount, 0))) {}

TMPEGVideoFrameInfo::~TMPEGVideoFrameInfo() {
    SearchBuffers.Release();
    if (PrevInDisplayOwned && PrevInDisplay)
        PrevInDisplay->Release();
}

void TMPEGVideoFrameInfo::AddRef() {
    std::lock_guard lock(Lock);
    ++RefCount;
}

void TMPEGVideoFrameInfo::Release() {
    bool last;
    {
        std::lock_guard lock(Lock);
        --RefCount;
        last = RefCount < 1;
    }
    if (last)
        delete this;
}

int32_t TMPEGVideoFrameInfo::GetRefCount() {
    std::lock_guard lock(Lock);
    return RefCount;
}

TMPEGVideoFrameInfoList::~TMPEGVideoFrameInfoList() { Clear(); }

void TMPEGVideoFrameInfoList::Add(TMPEGVideoFrameInfo* info) {
    assert(info);
    info->AddRef();
    Items.push_back(info);
}

void TMPEGVideoFrameInfoList::Insert(int32_t index, TMPEGVideoFrameInfo* info) {
    assert(info && index >= 0 && index <= Count());
    info->AddRef();
    Items.insert(Items.begin() + index, info);
}

TMPEGVideoFrameInfo* TMPEGVideoFrameInfoList::TakeOut(int32_t index) {
    assert(index >= 0 && index < Count());
    TMPEGVideoFrameInfo* info = Items[static_cast<size_t>(index)];
    Items.erase(Items.begin() + index);
    return info;
}

void TMPEGVideoFrameInfoList::Clear() {
    std::vector<TMPEGVideoFrameInfo*> items;
    items.swap(Items);
    for (TMPEGVideoFrameInfo* info : items)
        info->Release();
    CarriedReference.Reset();
}

void TMPEGVideoFrameInfoList::ReleaseAnalysisBuffers() {
    for (TMPEGVideoFrameInfo* info : Items)
        info->SearchBuffers.Release();
}

void TMPEGVideoFrameInfoList::Assign(const TMPEGVideoFrameInfoList& other) {
    if (&other == this)
        return;
    Clear();
    for (TMPEGVideoFrameInfo* info : other.Items)
        Add(info);
    CarriedReference = other.CarriedReference;
    Sequence = other.Sequence;
    SegmentRate = other.SegmentRate;
    EndOfStream = other.EndOfStream;
    StartsGOP = other.StartsGOP;
    PreviewInterval = other.PreviewInterval;
    PreviewsPerBatch = other.PreviewsPerBatch;
}

void TMPEGVideoFrameInfoList::MoveFrom(TMPEGVideoFrameInfoList& other) {
    if (&other == this)
        return;
    Clear();
    Items.swap(other.Items);
    CarriedReference = std::move(other.CarriedReference);
    Sequence = other.Sequence;
    SegmentRate = other.SegmentRate;
    EndOfStream = other.EndOfStream;
    StartsGOP = other.StartsGOP;
    PreviewInterval = other.PreviewInterval;
    PreviewsPerBatch = other.PreviewsPerBatch;
}

int64_t TMPEGVideoFrameInfoList::FieldTotal() const {
    int64_t fields = 0;
    for (const TMPEGVideoFrameInfo* info : Items)
        fields += 2 + info->RepeatFirstField;
    return fields;
}

std::vector<TMPEGVideoFrameInfo*> TMPEGVideoFrameInfoList::SortedByBatchIndex() const {
    std::vector<TMPEGVideoFrameInfo*> sorted = Items;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TMPEGVideoFrameInfo* a, const TMPEGVideoFrameInfo* b) { return a->BatchIndex < b->BatchIndex; });
    return sorted;
}

void TMPEGVideoFrameInfoList::SetCarriedReference(TMPEGVideoFrameInfo* info) { CarriedReference = TFrameInfoRef(info); }

} // namespace quillset
