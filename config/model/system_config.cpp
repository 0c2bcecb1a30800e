#include "config/model/system_config.h"

#include "config/persist/property_info.h"

namespace quillset {

namespace {

using S = TMPEGSystemConfig;

constexpr TPropertyInfo kSystemProperties[] = {
    EnumProperty<&S::StreamType>("StreamType", MPEGSystemEncoder_StreamType_Info, MPEGSystemEncoder_StreamType_MPEG1),
    BooleanProperty<&S::StreamType_ReadOnly>("StreamType_ReadOnly", false),
    BooleanProperty<&S::EnableCommentText>("EnableCommentText", false),
    StringProperty<&S::CommentText>("CommentText"),
};

} // namespace

TMPEGSystemConfig::TMPEGSystemConfig() {
    ResetDefaults();
}

const TClassInfo& TMPEGSystemConfig::StaticClassInfo() {
    static const TClassInfo info{"TMPEGSystemConfig", &TPersistent::StaticClassInfo(), kSystemProperties};
    return info;
}

} // namespace quillset
