// Builders of property descriptions from member pointers, so that each persistent property is
// declared exactly once:
//
//   constexpr TPropertyInfo kProperties[] = {
//       IntegerProperty<&TMyClass::Width>("Width", 352),
//       EnumProperty<&TMyClass::Mode>("Mode", MyModeInfo, MyMode_Fast),
//       ObjectProperty<&TMyClass::Sub>("Sub"),
//   };
//
// The member's class must derive (non-virtually) from TPersistent.
#pragma once

#include <string>
#include <type_traits>

#include "config/persist/persistent.h"

namespace quillset {

namespace property_detail {

template <typename M>
struct MemberOf;
template <typename C, typename T>
struct MemberOf<T C::*> {
    using Class = C;
    using Type = T;
};
template <auto M>
using ClassOf = typename MemberOf<decltype(M)>::Class;
template <auto M>
using TypeOf = typename MemberOf<decltype(M)>::Type;

template <auto M>
int64_t GetOrdinal(const TPersistent& object) {
    return static_cast<int64_t>(static_cast<const ClassOf<M>&>(object).*M);
}
template <auto M>
void SetOrdinal(TPersistent& object, int64_t value) {
    static_cast<ClassOf<M>&>(object).*M = static_cast<TypeOf<M>>(value);
}
template <auto M>
void SetBoolean(TPersistent& object, int64_t value) {
    static_cast<ClassOf<M>&>(object).*M = value != 0;
}
template <auto M>
double GetFloat(const TPersistent& object) {
    return static_cast<const ClassOf<M>&>(object).*M;
}
template <auto M>
void SetFloat(TPersistent& object, double value) {
    static_cast<ClassOf<M>&>(object).*M = value;
}
template <auto M>
const std::string& GetString(const TPersistent& object) {
    return static_cast<const ClassOf<M>&>(object).*M;
}
template <auto M>
void SetString(TPersistent& object, const std::string& value) {
    static_cast<ClassOf<M>&>(object).*M = value;
}
template <auto M>
TPersistent& GetObject(TPersistent& object) {
    return static_cast<ClassOf<M>&>(object).*M;
}

constexpr TPropertyInfo Blank(const char* name, TPropertyKind kind) {
    return TPropertyInfo{name,    kind,    nullptr, false,   0,       0.0,     "",
                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}

} // namespace property_detail

// A 32-bit or 64-bit integer member. With omitDefault the value is written only when it differs
// from the default; otherwise it is always written.
template <auto M>
constexpr TPropertyInfo IntegerProperty(const char* name, int64_t defaultValue, bool omitDefault = false) {
    using T = property_detail::TypeOf<M>;
    static_assert(std::is_integral_v<T> && sizeof(T) >= 4, "an integer property holds int32_t or int64_t");
    auto p = property_detail::Blank(name, sizeof(T) == 8 ? TPropertyKind::Int64 : TPropertyKind::Integer);
    p.OmitDefault = omitDefault;
    p.DefaultOrdinal = defaultValue;
    p.GetOrdinal = &property_detail::GetOrdinal<M>;
    p.SetOrdinal = &property_detail::SetOrdinal<M>;
    return p;
}

template <auto M>
constexpr TPropertyInfo BooleanProperty(const char* name, bool defaultValue, bool omitDefault = false) {
    static_assert(std::is_same_v<property_detail::TypeOf<M>, bool>, "a Boolean property holds bool");
    auto p = property_detail::Blank(name, TPropertyKind::Boolean);
    p.OmitDefault = omitDefault;
    p.DefaultOrdinal = defaultValue ? 1 : 0;
    p.GetOrdinal = &property_detail::GetOrdinal<M>;
    p.SetOrdinal = &property_detail::SetBoolean<M>;
    return p;
}

template <auto M>
constexpr TPropertyInfo EnumProperty(const char* name, const TEnumTypeInfo& type, property_detail::TypeOf<M> defaultValue,
                                     bool omitDefault = false) {
    static_assert(std::is_enum_v<property_detail::TypeOf<M>>, "an enumeration property holds an enum");
    auto p = property_detail::Blank(name, TPropertyKind::Enumeration);
    p.EnumType = &type;
    p.OmitDefault = omitDefault;
    p.DefaultOrdinal = static_cast<int64_t>(defaultValue);
    p.GetOrdinal = &property_detail::GetOrdinal<M>;
    p.SetOrdinal = &property_detail::SetOrdinal<M>;
    return p;
}

template <auto M>
constexpr TPropertyInfo FloatProperty(const char* name, double defaultValue) {
    static_assert(std::is_same_v<property_detail::TypeOf<M>, double>, "a float property holds double");
    auto p = property_detail::Blank(name, TPropertyKind::Float);
    p.DefaultFloat = defaultValue;
    p.GetFloat = &property_detail::GetFloat<M>;
    p.SetFloat = &property_detail::SetFloat<M>;
    return p;
}

template <auto M>
constexpr TPropertyInfo StringProperty(const char* name, const char* defaultValue = "") {
    static_assert(std::is_same_v<property_detail::TypeOf<M>, std::string>, "a string property holds std::string");
    auto p = property_detail::Blank(name, TPropertyKind::String);
    p.DefaultString = defaultValue;
    p.GetString = &property_detail::GetString<M>;
    p.SetString = &property_detail::SetString<M>;
    return p;
}

// An owned sub-object (not a collection).
template <auto M>
constexpr TPropertyInfo ObjectProperty(const char* name) {
    using T = property_detail::TypeOf<M>;
    static_assert(std::is_base_of_v<TPersistent, T> && !std::is_base_of_v<TCollection, T>,
                  "an object property holds a persistent object");
    auto p = property_detail::Blank(name, TPropertyKind::Object);
    p.GetObject = &property_detail::GetObject<M>;
    return p;
}

template <auto M>
constexpr TPropertyInfo CollectionProperty(const char* name) {
    static_assert(std::is_base_of_v<TCollection, property_detail::TypeOf<M>>, "a collection property holds a TCollection");
    auto p = property_detail::Blank(name, TPropertyKind::Collection);
    p.GetObject = &property_detail::GetObject<M>;
    return p;
}

} // namespace quillset
