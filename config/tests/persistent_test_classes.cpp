#include "config/tests/stream_bytes.h"

#include "config/persist/property_info.h"
#include "stream/large_stream.h"

namespace quillset::testing {

namespace {
constexpr const char* kColors[] = {"TestColor_Red", "TestColor_Green", "TestColor_Blue"};

constexpr TPropertyInfo kItemProperties[] = {
    IntegerProperty<&TTestItem::Value>("Value", 0),
    StringProperty<&TTestItem::Label>("Label"),
};
constexpr TPropertyInfo kLeafProperties[] = {IntegerProperty<&TTestLeaf::Depth>("Depth", 0)};
constexpr TPropertyInfo kMiddleProperties[] = {
    BooleanProperty<&TTestMiddle::Flag>("Flag", false),
    ObjectProperty<&TTestMiddle::Leaf>("Leaf"),
};
constexpr TPropertyInfo kRootProperties[] = {
    IntegerProperty<&TTestRoot::Count>("Count", 7),
    IntegerProperty<&TTestRoot::Big>("Big", 0),
    BooleanProperty<&TTestRoot::Enabled>("Enabled", false),
    BooleanProperty<&TTestRoot::Quiet>("Quiet", false, true),
    EnumProperty<&TTestRoot::Color>("Color", TestColor_Info, TestColor_Green),
    FloatProperty<&TTestRoot::Ratio>("Ratio", 0.0),
    FloatProperty<&TTestRoot::Gain>("Gain", 1.5),
    StringProperty<&TTestRoot::Name2>("Name2"),
    ObjectProperty<&TTestRoot::Middle>("Middle"),
    CollectionProperty<&TTestRoot::Items>("Items"),
};
} // namespace

const TEnumTypeInfo TestColor_Info{"TTestColor", kColors};

const TClassInfo& TTestItem::StaticClassInfo() {
    static const TClassInfo info{"TTestItem", &TCollectionItem::StaticClassInfo(), kItemProperties};
    return info;
}
const TClassInfo& TTestLeaf::StaticClassInfo() {
    static const TClassInfo info{"TTestLeaf", &TPersistent::StaticClassInfo(), kLeafProperties};
    return info;
}
const TClassInfo& TTestMiddle::StaticClassInfo() {
    static const TClassInfo info{"TTestMiddle", &TPersistent::StaticClassInfo(), kMiddleProperties};
    return info;
}
const TClassInfo& TTestRoot::StaticClassInfo() {
    static const TClassInfo info{"TTestRoot", &TComponent::StaticClassInfo(), kRootProperties};
    return info;
}

void TTestLeaf::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        "Blob",
        [this](TLargeStream& data) {
            Blob = {};
            data.Read(Blob.data(), 4);
        },
        [this](TLargeStream& data) { data.WriteBuffer(Blob.data(), 4); }, Blob != std::array<uint8_t, 4>{});
}

} // namespace quillset::testing
