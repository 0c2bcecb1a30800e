// Test helpers: memory streams from and to byte strings, and a persistent class family with one
// property of every kind.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "config/persist/persistent.h"
#include "stream/memory_stream.h"

namespace quillset::testing {

inline std::unique_ptr<TLargeMemoryStream> StreamOf(const std::string& bytes) {
    auto stream = std::make_unique<TLargeMemoryStream>();
    stream->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream->SetPosition(0);
    return stream;
}

inline std::string BytesOf(TLargeMemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.GetMemory()), static_cast<size_t>(stream.GetSize()));
}

// A short string as the stream stores it.
inline std::string Str(const std::string& text) {
    return std::string(1, static_cast<char>(text.size())) + text;
}

enum TTestColor : uint8_t { TestColor_Red = 0, TestColor_Green = 1, TestColor_Blue = 2 };
extern const TEnumTypeInfo TestColor_Info;

class TTestItem : public TCollectionItem {
public:
    TTestItem() { ResetDefaults(); }
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }
    int32_t Value = 0;
    std::string Label;
};

class TTestLeaf : public TPersistent {
public:
    TTestLeaf() { ResetDefaults(); }
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }
    void DefineProperties(TFiler& filer) override;
    int32_t Depth = 0;
    std::array<uint8_t, 4> Blob{}; // binary defined property "Blob", written when not all zero

protected:
    void AssignUnpublished(const TPersistent& source) override { Blob = static_cast<const TTestLeaf&>(source).Blob; }
    void ResetUnpublished() override { Blob = {}; }
    bool EqualsUnpublished(const TPersistent& other) const override {
        return Blob == static_cast<const TTestLeaf&>(other).Blob;
    }
};

class TTestMiddle : public TPersistent {
public:
    TTestMiddle() { ResetDefaults(); }
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }
    bool Flag = false;
    TTestLeaf Leaf;
};

class TTestRoot : public TComponent {
public:
    TTestRoot() { ResetDefaults(); }
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }
    int32_t Count = 0;          // default 7
    int64_t Big = 0;
    bool Enabled = false;       // no stream default: always written
    bool Quiet = false;         // stream default False: written only when True
    TTestColor Color{};         // default Green
    double Ratio = 0.0;         // default 0.0
    double Gain = 0.0;          // default 1.5
    std::string Name2;          // default empty
    TTestMiddle Middle;
    TTypedCollection<TTestItem> Items;
};

} // namespace quillset::testing
