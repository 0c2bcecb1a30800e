// Writing persistent objects as binary property streams.
//
// Properties are written in declaration order, base class first: an ordinal property declared
// with a stream default only when it differs from it, others always; a string only when it is
// not empty and a float only when it is not 0 (unless the class default is non-empty / non-zero,
// so that every value reads back as written); a sub-object as its own properties under
// "Name." + property name (recursively); a collection as one collection value. The object's
// defined properties follow under the same path prefix.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/persist/persistent.h"
#include "config/persist/value_tags.h"

namespace quillset {

class TLargeStream;

class TWriter : public TFiler {
public:
    explicit TWriter(TLargeStream& stream) : Stream(stream) {}

    // Values. Integers take the smallest of the 8, 16, 32-bit tags that holds them (64-bit only
    // beyond); strings up to 255 bytes are short strings, longer ones long strings.
    void WriteValue(TValueType value);
    void WriteInteger(int64_t value);
    void WriteBoolean(bool value);
    void WriteFloat(double value);
    void WriteString(std::string_view value);
    void WriteIdent(std::string_view value);
    void WriteBinary(const void* data, int32_t size);
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    // One length byte and the characters; longer than 255 raises EWriteError.
    void WriteStr(std::string_view value);

    // A property name with the current path prefix.
    void WritePropName(std::string_view name);
    // The published and defined properties of an object (without the terminating 0).
    void WriteProperties(const TPersistent& object);
    void WriteCollection(const TCollection& collection);
    // Signature, class name, object name, properties, 0, no children, 0.
    void WriteRootObject(const TPersistent& root);

    void DefineProperty(const char* name, const TReadValueProc& readData, const TWriteValueProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const char* name, const TReadBinaryProc& readData, const TWriteBinaryProc& writeData,
                              bool hasData) override;

    TLargeStream& GetStream() { return Stream; }

private:
    void WriteProperty(const TPersistent& object, const TPropertyInfo& property);
    void WriteBytes(const void* data, int32_t size);

    TLargeStream& Stream;
    std::string PropPath;
};

// Writes the resource header for name (upper-cased, at most 63 characters) with a size of 0,
// and returns the position of the size field for PatchResourceHeader.
int64_t WriteResourceHeader(TLargeStream& stream, std::string_view name);
// Sets the size field to the number of bytes from the end of the header to the current end.
void PatchResourceHeader(TLargeStream& stream, int64_t sizeFieldPosition);

// The whole stream of one root object, with a resource header when resourceName is not empty.
void WriteObjectStream(TLargeStream& stream, const TPersistent& root, std::string_view resourceName);

} // namespace quillset
