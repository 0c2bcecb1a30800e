#include "config/model/config_list.h"

#include "config/persist/object_stream.h"
#include "config/persist/property_info.h"

namespace quillset {

const char* const MPEGListResourceName = "MPEGLIST";

namespace {

using Item = TMPEGConfigListItem;

constexpr TPropertyInfo kItemProperties[] = {
    StringProperty<&Item::FileName>("FileName"),
    ObjectProperty<&Item::MPEGConfig>("MPEGConfig"),
};

constexpr TPropertyInfo ListProperty() {
    auto p = property_detail::Blank("List", TPropertyKind::Collection);
    p.GetObject = [](TPersistent& root) -> TPersistent& { return static_cast<TVidmaroMPEGConfigList&>(root).List; };
    return p;
}

constexpr TPropertyInfo kRootProperties[] = {ListProperty()};

} // namespace

Item::TMPEGConfigListItem() {
    ResetDefaults();
}

const TClassInfo& Item::StaticClassInfo() {
    static const TClassInfo info{"TMPEGConfigListItem", &TCollectionItem::StaticClassInfo(), kItemProperties};
    return info;
}

const TClassInfo& TMPEGConfigList::StaticClassInfo() {
    static const TClassInfo info{"TMPEGConfigList", &TCollection::StaticClassInfo(), {}};
    return info;
}

void TMPEGConfigList::LoadFromStream(TLargeStream& stream) {
    TVidmaroMPEGConfigList root(*this);
    LoadObjectStream(stream, root, MPEGListResourceName);
}

void TMPEGConfigList::SaveToStream(TLargeStream& stream) {
    const TVidmaroMPEGConfigList root(*this);
    SaveObjectStream(stream, root, MPEGListResourceName);
}

int TMPEGConfigList::IndexOfFileName(const std::string& fileName) const {
    for (int i = 0; i < Count(); ++i)
        if (SameIdentifier((*this)[i].FileName, fileName))
            return i;
    return -1;
}

const TClassInfo& TVidmaroMPEGConfigList::StaticClassInfo() {
    static const TClassInfo info{"TVidmaroMPEGConfigList", &TComponent::StaticClassInfo(), kRootProperties};
    return info;
}

} // namespace quillset
