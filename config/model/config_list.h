// Template lists: named configurations, stored as a property stream with the resource header
// "MPEGLIST" and the root class TVidmaroMPEGConfigList, whose one property "List" holds the
// items ("List" = <item FileName = '...' MPEGConfig.Video.Width = 720 ... end ...>).
#pragma once

#include <string>

#include "config/model/mpeg_config.h"
#include "config/persist/persistent.h"

namespace quillset {

class TLargeStream;

extern const char* const MPEGListResourceName; // "MPEGLIST"

class TMPEGConfigListItem : public TCollectionItem {
public:
    TMPEGConfigListItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    std::string FileName; // the template's identity, a file name ending ".mcf"
    TMPEGConfig MPEGConfig;
};

class TMPEGConfigList : public TTypedCollection<TMPEGConfigListItem> {
public:
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    // Replaces the items by those of a template list stream (binary, or the text form). A wrong
    // head raises EInvalidImage "Illegal stream format"; unknown or ill-typed properties inside
    // are skipped silently and the rest of their template still loads.
    void LoadFromStream(TLargeStream& stream);
    void SaveToStream(TLargeStream& stream);

    // The index of the item with this file name (compared ignoring ASCII case), or -1.
    int IndexOfFileName(const std::string& fileName) const;
};

// The root object of template list streams; List is the list being read or written.
class TVidmaroMPEGConfigList : public TComponent {
public:
    explicit TVidmaroMPEGConfigList(TMPEGConfigList& list) : List(list) {}
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    TMPEGConfigList& List;
};

} // namespace quillset
