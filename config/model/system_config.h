// The system-stream part of an encoding configuration.
#pragma once

#include <string>

#include "config/model/mpeg_enums.h"
#include "config/persist/persistent.h"

namespace quillset {

class TMPEGSystemConfig : public TPersistent {
public:
    TMPEGSystemConfig();

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    TMPEGSystemEncoder_StreamType StreamType{};
    bool StreamType_ReadOnly = false;
    bool EnableCommentText = false;
    std::string CommentText; // given to the video encoder for its user data when enabled
};

} // namespace quillset
