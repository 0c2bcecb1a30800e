// Automatic choices by video bit rate: picture sizes and GOP layouts that a template switches to
// as the wizard's video rate crosses their thresholds.
#pragma once

#include <cstdint>

#include "config/model/mpeg_enums.h"
#include "config/persist/persistent.h"

namespace quillset {

class TMPEGConfig_WizardAutoChooseVideoSizeItem : public TCollectionItem {
public:
    TMPEGConfig_WizardAutoChooseVideoSizeItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    int32_t MinVideoBitRate = 0; // threshold, bits per second
    int32_t Width = 0;
    int32_t Height = 0;
    TMPEGVideoEncoder_VideoEncodeMode VideoEncodeMode{};
    int32_t FrameRate = 0;
    int32_t AspectRatio = 0;
};

class TMPEGConfig_WizardAutoChooseVideoGOPItem : public TCollectionItem {
public:
    TMPEGConfig_WizardAutoChooseVideoGOPItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    int32_t MinVideoBitRate = 0;
    int32_t GOP_I_FrameCount = 0;
    int32_t GOP_P_FrameCount = 0;
    int32_t GOP_B_FrameCount = 0;
};

using TMPEGConfig_WizardAutoChooseVideoSizeList = TTypedCollection<TMPEGConfig_WizardAutoChooseVideoSizeItem>;
using TMPEGConfig_WizardAutoChooseVideoGOPList = TTypedCollection<TMPEGConfig_WizardAutoChooseVideoGOPItem>;

class TMPEGConfig_WizardAutoChooseList : public TPersistent {
public:
    TMPEGConfig_WizardAutoChooseList();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    bool EnableVideoSize = false;
    TMPEGConfig_WizardAutoChooseVideoSizeList VideoSize;
    bool EnableVideoGOP = false;
    TMPEGConfig_WizardAutoChooseVideoGOPList VideoGOP;
};

// The index of the item to choose for rate r among items with the given thresholds, walked in
// order: the first is the candidate; a later threshold d replaces the candidate's c when
// (r < c, r < d and |r - d| < |r - c|) or (r >= d and r - d < r - c). That picks the largest
// threshold not above r; when the first threshold already lies above r, only nearer thresholds
// above r replace it. -1 for no items.
int ChooseByThreshold(const int32_t* thresholds, int count, int64_t rate);

} // namespace quillset
