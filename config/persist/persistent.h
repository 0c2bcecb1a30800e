// Persistent objects. C++ has no published properties, so every persistent class describes its
// properties once, in a table of TPropertyInfo (name, kind, default, accessors; see
// property_info.h). Writing, reading, Assign, ResetDefaults and Equals all follow from that table,
// plus three optional hooks for state that is not a published property.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillset {

class TLargeStream;
class TPersistent;
class TReader;
class TWriter;

// An enumeration's identifiers, by ordinal.
struct TEnumTypeInfo {
    const char* TypeName;
    std::span<const char* const> Names;

    // The ordinal of an identifier (compared ignoring case), or -1.
    int Find(std::string_view name) const;
    // The identifier of an ordinal, or nullptr when it is out of range.
    const char* NameOf(int64_t ordinal) const;
};

// How a property is held and streamed.
enum class TPropertyKind : uint8_t {
    Integer,     // 32-bit signed
    Int64,       // 64-bit signed
    Boolean,
    Enumeration, // streamed as the identifier of its TEnumTypeInfo
    Float,       // double in memory, 80-bit extended in streams
    String,
    Object,      // an owned persistent sub-object; streamed as its own properties under "Name."
    Collection,  // an owned TCollection; streamed as one collection value
};

struct TPropertyInfo {
    const char* Name;
    TPropertyKind Kind;
    const TEnumTypeInfo* EnumType;
    // Ordinal kinds: true when the property is declared with a stream default, so that it is
    // written only when its value differs from DefaultOrdinal; false: always written.
    bool OmitDefault;
    int64_t DefaultOrdinal;
    double DefaultFloat;
    const char* DefaultString;
    int64_t (*GetOrdinal)(const TPersistent&);
    void (*SetOrdinal)(TPersistent&, int64_t);
    double (*GetFloat)(const TPersistent&);
    void (*SetFloat)(TPersistent&, double);
    const std::string& (*GetString)(const TPersistent&);
    void (*SetString)(TPersistent&, const std::string&);
    TPersistent& (*GetObject)(TPersistent&); // Object and Collection kinds

    bool IsOrdinal() const {
        return Kind == TPropertyKind::Integer || Kind == TPropertyKind::Int64 ||
               Kind == TPropertyKind::Boolean || Kind == TPropertyKind::Enumeration;
    }
};

// The published properties of one class, in declaration order, and its base class.
struct TClassInfo {
    const char* ClassName;
    const TClassInfo* Parent;
    std::span<const TPropertyInfo> Properties;

    // Looks in this class and its bases (names compared ignoring case); nullptr when absent.
    const TPropertyInfo* FindProperty(std::string_view name) const;
    // Calls visit for every property, base class first, each class in declaration order.
    void ForEachProperty(const std::function<void(const TPropertyInfo&)>& visit) const;
};

// Properties an object streams besides its published ones (matrices, names of older versions).
// The reader calls the read procedure of the one whose name it is looking for; the writer writes
// every one that has data and a write procedure.
class TFiler {
public:
    using TReadValueProc = std::function<void(TReader&)>;
    using TWriteValueProc = std::function<void(TWriter&)>;
    using TReadBinaryProc = std::function<void(TLargeStream&)>;
    using TWriteBinaryProc = std::function<void(TLargeStream&)>;

    virtual ~TFiler() = default;
    virtual void DefineProperty(const char* name, const TReadValueProc& readData, const TWriteValueProc& writeData,
                                bool hasData) = 0;
    virtual void DefineBinaryProperty(const char* name, const TReadBinaryProc& readData,
                                      const TWriteBinaryProc& writeData, bool hasData) = 0;
};

class TPersistent {
public:
    TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;
    virtual ~TPersistent() = default;

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& GetClassInfo() const { return StaticClassInfo(); }
    const char* ClassName() const { return GetClassInfo().ClassName; }

    // Deep copy of every published property (sub-objects and collections included) and of the
    // unpublished state. A source of another class raises EConvertError
    // "Cannot assign a <source class> to a <this class>".
    virtual void Assign(const TPersistent& source);
    // Every published property to its default; sub-objects reset, collections emptied.
    void ResetDefaults();
    // Field-by-field equality of two objects of the same class (false for different classes).
    bool Equals(const TPersistent& other) const;

    virtual void DefineProperties(TFiler& filer) {}

protected:
    // The state that is not a published property; the source is of the same class.
    virtual void AssignUnpublished(const TPersistent& source) {}
    virtual void ResetUnpublished() {}
    virtual bool EqualsUnpublished(const TPersistent& other) const { return true; }
};

// Root objects of streams carry an object name.
class TComponent : public TPersistent {
public:
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    std::string Name;

protected:
    void AssignUnpublished(const TPersistent& source) override;
    bool EqualsUnpublished(const TPersistent& other) const override;
};

class TCollectionItem : public TPersistent {
public:
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }
};

// An owned list of items of one class. Assign copies the items; ResetDefaults empties it.
class TCollection : public TPersistent {
public:
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    int Count() const { return static_cast<int>(Items.size()); }
    TCollectionItem& GetItem(int index) const { return *Items.at(static_cast<size_t>(index)); }
    // A new item with its defaults, appended.
    TCollectionItem& AddItem();
    void Delete(int index);
    void Clear() { Items.clear(); }

protected:
    virtual std::unique_ptr<TCollectionItem> NewItem() const = 0;

    void AssignUnpublished(const TPersistent& source) override;
    void ResetUnpublished() override { Clear(); }
    bool EqualsUnpublished(const TPersistent& other) const override;

private:
    std::vector<std::unique_ptr<TCollectionItem>> Items;
};

// A collection whose items are of class Item.
template <class Item>
class TTypedCollection : public TCollection {
public:
    Item& Add() { return static_cast<Item&>(AddItem()); }
    Item& operator[](int index) const { return static_cast<Item&>(GetItem(index)); }

protected:
    std::unique_ptr<TCollectionItem> NewItem() const override { return std::make_unique<Item>(); }
};

// Compares two identifiers as the stream does: ASCII letters ignoring case.
bool SameIdentifier(std::string_view a, std::string_view b);

} // namespace quillset
