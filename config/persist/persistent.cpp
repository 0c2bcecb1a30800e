#include "config/persist/persistent.h"

#include <typeinfo>

#include "config/persist/filer_errors.h"

namespace quillset {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameClass(const TPersistent& a, const TPersistent& b) { return typeid(a) == typeid(b); }

} // namespace

bool SameIdentifier(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

int TEnumTypeInfo::Find(std::string_view name) const {
    for (size_t i = 0; i < Names.size(); ++i)
        if (SameIdentifier(Names[i], name))
            return static_cast<int>(i);
    return -1;
}

const char* TEnumTypeInfo::NameOf(int64_t ordinal) const {
    if (ordinal < 0 || ordinal >= static_cast<int64_t>(Names.size()))
        return nullptr;
    return Names[static_cast<size_t>(ordinal)];
}

const TPropertyInfo* TClassInfo::FindProperty(std::string_view name) const {
    for (const TClassInfo* info = this; info != nullptr; info = info->Parent)
        for (const auto& property : info->Properties)
            if (SameIdentifier(property.Name, name))
                return &property;
    return nullptr;
}

void TClassInfo::ForEachProperty(const std::function<void(const TPropertyInfo&)>& visit) const {
    if (Parent != nullptr)
        Parent->ForEachProperty(visit);
    for (const auto& property : Properties)
        visit(property);
}

const TClassInfo& TPersistent::StaticClassInfo() {
    static const TClassInfo info{"TPersistent", nullptr, {}};
    return info;
}

void TPersistent::Assign(const TPersistent& source) {
    if (&source == this)
        return;
    if (!SameClass(*this, source))
        throw EConvertError(FormatText(SAssignError, source.ClassName(), ClassName()));
    auto& target = *this;
    GetClassInfo().ForEachProperty([&](const TPropertyInfo& p) {
        switch (p.Kind) {
        case TPropertyKind::Float:
            p.SetFloat(target, p.GetFloat(source));
            break;
        case TPropertyKind::String:
            p.SetString(target, p.GetString(source));
            break;
        case TPropertyKind::Object:
        case TPropertyKind::Collection:
            p.GetObject(target).Assign(p.GetObject(const_cast<TPersistent&>(source)));
            break;
        default:
            p.SetOrdinal(target, p.GetOrdinal(source));
            break;
        }
    });
    AssignUnpublished(source);
}

void TPersistent::ResetDefaults() {
    auto& target = *this;
    GetClassInfo().ForEachProperty([&](const TPropertyInfo& p) {
        switch (p.Kind) {
        case TPropertyKind::Float:
            p.SetFloat(target, p.DefaultFloat);
            break;
        case TPropertyKind::String:
            p.SetString(target, p.DefaultString);
            break;
        case TPropertyKind::Object:
        case TPropertyKind::Collection:
            p.GetObject(target).ResetDefaults();
            break;
        default:
            p.SetOrdinal(target, p.DefaultOrdinal);
            break;
        }
    });
    ResetUnpublished();
}

bool TPersistent::Equals(const TPersistent& other) const {
    if (!SameClass(*this, other))
        return false;
    bool equal = true;
    auto& self = const_cast<TPersistent&>(*this);
    auto& that = const_cast<TPersistent&>(other);
    GetClassInfo().ForEachProperty([&](const TPropertyInfo& p) {
        if (!equal)
            return;
        switch (p.Kind) {
        case TPropertyKind::Float:
            equal = p.GetFloat(self) == p.GetFloat(that);
            break;
        case TPropertyKind::String:
            equal = p.GetString(self) == p.GetString(that);
            break;
        case TPropertyKind::Object:
        case TPropertyKind::Collection:
            equal = p.GetObject(self).Equals(p.GetObject(that));
            break;
        default:
            equal = p.GetOrdinal(self) == p.GetOrdinal(that);
            break;
        }
    });
    return equal && EqualsUnpublished(other);
}

const TClassInfo& TComponent::StaticClassInfo() {
    static const TClassInfo info{"TComponent", &TPersistent::StaticClassInfo(), {}};
    return info;
}

void TComponent::AssignUnpublished(const TPersistent& source) {
    Name = static_cast<const TComponent&>(source).Name;
}

bool TComponent::EqualsUnpublished(const TPersistent& other) const {
    return Name == static_cast<const TComponent&>(other).Name;
}

const TClassInfo& TCollectionItem::StaticClassInfo() {
    static const TClassInfo info{"TCollectionItem", &TPersistent::StaticClassInfo(), {}};
    return info;
}

const TClassInfo& TCollection::StaticClassInfo() {
    static const TClassInfo info{"TCollection", &TPersistent::StaticClassInfo(), {}};
    return info;
}

TCollectionItem& TCollection::AddItem() {
    Items.push_back(NewItem());
    return *Items.back();
}

void TCollection::Delete(int index) {
    (void)Items.at(static_cast<size_t>(index)); // raises std::out_of_range for a bad index
    Items.erase(Items.begin() + index);
}

void TCollection::AssignUnpublished(const TPersistent& source) {
    const auto& from = static_cast<const TCollection&>(source);
    Clear();
    for (const auto& item : from.Items)
        AddItem().Assign(*item);
}

bool TCollection::EqualsUnpublished(const TPersistent& other) const {
    const auto& that = static_cast<const TCollection&>(other);
    if (Items.size() != that.Items.size())
        return false;
    for (size_t i = 0; i < Items.size(); ++i)
        if (!Items[i]->Equals(*that.Items[i]))
            return false;
    return true;
}

} // namespace quillset
