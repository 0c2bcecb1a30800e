#include "config/model/auto_choose_list.h"

#include <cstdlib>

#include "config/persist/property_info.h"

namespace quillset {

namespace {

using SizeItem = TMPEGConfig_WizardAutoChooseVideoSizeItem;
using GOPItem = TMPEGConfig_WizardAutoChooseVideoGOPItem;
using List = TMPEGConfig_WizardAutoChooseList;

constexpr TPropertyInfo kSizeItemProperties[] = {
    IntegerProperty<&SizeItem::MinVideoBitRate>("MinVideoBitRate", 0),
    IntegerProperty<&SizeItem::Width>("Width", 0),
    IntegerProperty<&SizeItem::Height>("Height", 0),
    EnumProperty<&SizeItem::VideoEncodeMode>("VideoEncodeMode", MPEGVideoEncoder_VideoEncodeMode_Info,
                                             MPEGVideoEncoder_VideoEncodeMode_Progressive),
    IntegerProperty<&SizeItem::FrameRate>("FrameRate", 0),
    IntegerProperty<&SizeItem::AspectRatio>("AspectRatio", 0),
};

constexpr TPropertyInfo kGOPItemProperties[] = {
    IntegerProperty<&GOPItem::MinVideoBitRate>("MinVideoBitRate", 0),
    IntegerProperty<&GOPItem::GOP_I_FrameCount>("GOP_I_FrameCount", 0),
    IntegerProperty<&GOPItem::GOP_P_FrameCount>("GOP_P_FrameCount", 0),
    IntegerProperty<&GOPItem::GOP_B_FrameCount>("GOP_B_FrameCount", 0),
};

constexpr TPropertyInfo kListProperties[] = {
    BooleanProperty<&List::EnableVideoSize>("EnableVideoSize", false),
    CollectionProperty<&List::VideoSize>("VideoSize"),
    BooleanProperty<&List::EnableVideoGOP>("EnableVideoGOP", false),
    CollectionProperty<&List::VideoGOP>("VideoGOP"),
};

} // namespace

SizeItem::TMPEGConfig_WizardAutoChooseVideoSizeItem() {
    ResetDefaults();
}

const TClassInfo& SizeItem::StaticClassInfo() {
    static const TClassInfo info{"TMPEGConfig_WizardAutoChooseVideoSizeItem", &TCollectionItem::StaticClassInfo(),
                                 kSizeItemProperties};
    return info;
}

GOPItem::TMPEGConfig_WizardAutoChooseVideoGOPItem() {
    ResetDefaults();
}

const TClassInfo& GOPItem::StaticClassInfo() {
    static const TClassInfo info{"TMPEGConfig_WizardAutoChooseVideoGOPItem", &TCollectionItem::StaticClassInfo(),
                                 kGOPItemProperties};
    return info;
}

List::TMPEGConfig_WizardAutoChooseList() {
    ResetDefaults();
}

const TClassInfo& List::StaticClassInfo() {
    static const TClassInfo info{"TMPEGConfig_WizardAutoChooseList", &TPersistent::StaticClassInfo(), kListProperties};
    return info;
}

int ChooseByThreshold(const int32_t* thresholds, int count, int64_t rate) {
    if (count <= 0)
        return -1;
    int chosen = 0;
    for (int i = 1; i < count; ++i) {
        const int64_t c = thresholds[chosen];
        const int64_t d = thresholds[i];
        const bool nearerAbove = rate < c && rate < d && std::llabs(rate - d) < std::llabs(rate - c);
        const bool nearerBelow = rate >= d && rate - d < rate - c;
        if (nearerAbove || nearerBelow)
            chosen = i;
    }
    return chosen;
}

} // namespace quillset
