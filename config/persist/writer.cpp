#include "config/persist/writer.h"

#include <cctype>
#include <limits>

#include "config/persist/extended_float.h"
#include "config/persist/filer_errors.h"
#include "stream/large_stream.h"
#include "stream/memory_stream.h"

namespace quillset {

namespace {

void PutLittle(uint8_t* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

void TWriter::WriteBytes(const void* data, int32_t size) {
    Stream.WriteBuffer(data, size);
}

void TWriter::WriteValue(TValueType value) {
    const auto tag = static_cast<uint8_t>(value);
    WriteBytes(&tag, 1);
}

void TWriter::WriteInteger(int64_t value) {
    uint8_t bytes[9];
    int size;
    if (value >= -128 && value <= 127) {
        bytes[0] = vaInt8;
        size = 1;
    } else if (value >= -32768 && value <= 32767) {
        bytes[0] = vaInt16;
        size = 2;
    } else if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
        bytes[0] = vaInt32;
        size = 4;
    } else {
        bytes[0] = vaInt64;
        size = 8;
    }
    PutLittle(bytes + 1, static_cast<uint64_t>(value), size);
    WriteBytes(bytes, size + 1);
}

void TWriter::WriteBoolean(bool value) {
    WriteValue(value ? vaTrue : vaFalse);
}

void TWriter::WriteFloat(double value) {
    uint8_t bytes[11];
    bytes[0] = vaExtended;
    const TExtended80 extended = DoubleToExtended(value);
    for (int i = 0; i < 10; ++i)
        bytes[i + 1] = extended[i];
    WriteBytes(bytes, 11);
}

void TWriter::WriteStr(std::string_view value) {
    if (value.size() > 255)
        throw EWriteError(SStreamWriteError);
    const auto length = static_cast<uint8_t>(value.size());
    WriteBytes(&length, 1);
    WriteBytes(value.data(), length);
}

void TWriter::WriteString(std::string_view value) {
    if (value.size() <= 255) {
        WriteValue(vaString);
        WriteStr(value);
        return;
    }
    if (value.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw EWriteError(SStreamWriteError);
    uint8_t head[5];
    head[0] = vaLString;
    PutLittle(head + 1, value.size(), 4);
    WriteBytes(head, 5);
    WriteBytes(value.data(), static_cast<int32_t>(value.size()));
}

void TWriter::WriteIdent(std::string_view value) {
    WriteValue(vaIdent);
    WriteStr(value);
}

void TWriter::WriteBinary(const void* data, int32_t size) {
    uint8_t head[5];
    head[0] = vaBinary;
    PutLittle(head + 1, static_cast<uint32_t>(size), 4);
    WriteBytes(head, 5);
    WriteBytes(data, size);
}

void TWriter::WritePropName(std::string_view name) {
    if (PropPath.empty()) {
        WriteStr(name);
        return;
    }
    WriteStr(PropPath + std::string(name));
}

void TWriter::WriteProperty(const TPersistent& object, const TPropertyInfo& p) {
    switch (p.Kind) {
    case TPropertyKind::Integer:
    case TPropertyKind::Int64:
    case TPropertyKind::Boolean:
    case TPropertyKind::Enumeration: {
        const int64_t value = p.GetOrdinal(object);
        if (p.OmitDefault && value == p.DefaultOrdinal)
            return;
        WritePropName(p.Name);
        if (p.Kind == TPropertyKind::Boolean)
            WriteBoolean(value != 0);
        else if (p.Kind != TPropertyKind::Enumeration)
            WriteInteger(value);
        else if (const char* name = p.EnumType->NameOf(value))
            WriteIdent(name);
        else
            WriteInteger(value); // not a value of the type: readers refuse it and keep their default
        return;
    }
    case TPropertyKind::Float: {
        const double value = p.GetFloat(object);
        if (value == 0.0 && p.DefaultFloat == 0.0)
            return;
        WritePropName(p.Name);
        WriteFloat(value);
        return;
    }
    case TPropertyKind::String: {
        const std::string& value = p.GetString(object);
        if (value.empty() && p.DefaultString[0] == '\0')
            return;
        WritePropName(p.Name);
        WriteString(value);
        return;
    }
    case TPropertyKind::Object: {
        const std::string saved = PropPath;
        PropPath += p.Name;
        PropPath += '.';
        WriteProperties(p.GetObject(const_cast<TPersistent&>(object)));
        PropPath = saved;
        return;
    }
    case TPropertyKind::Collection:
        WritePropName(p.Name);
        WriteCollection(static_cast<const TCollection&>(p.GetObject(const_cast<TPersistent&>(object))));
        return;
    }
}

void TWriter::WriteProperties(const TPersistent& object) {
    object.GetClassInfo().ForEachProperty([&](const TPropertyInfo& p) { WriteProperty(object, p); });
    const_cast<TPersistent&>(object).DefineProperties(*this);
}

void TWriter::WriteCollection(const TCollection& collection) {
    WriteValue(vaCollection);
    const std::string saved = PropPath;
    PropPath.clear(); // item properties are named from the item
    for (int i = 0; i < collection.Count(); ++i) {
        WriteListBegin();
        WriteProperties(collection.GetItem(i));
        WriteListEnd();
    }
    PropPath = saved;
    WriteListEnd();
}

void TWriter::WriteRootObject(const TPersistent& root) {
    WriteBytes(kFilerSignature, 4);
    WriteStr(root.ClassName());
    const auto* component = dynamic_cast<const TComponent*>(&root);
    WriteStr(component != nullptr ? std::string_view(component->Name) : std::string_view());
    const std::string saved = PropPath;
    PropPath.clear();
    WriteProperties(root);
    PropPath = saved;
    WriteListEnd(); // end of properties
    WriteListEnd(); // no children
}

void TWriter::DefineProperty(const char* name, const TReadValueProc&, const TWriteValueProc& writeData, bool hasData) {
    if (!hasData || !writeData)
        return;
    WritePropName(name);
    writeData(*this);
}

void TWriter::DefineBinaryProperty(const char* name, const TReadBinaryProc&, const TWriteBinaryProc& writeData,
                                   bool hasData) {
    if (!hasData || !writeData)
        return;
    TLargeMemoryStream data;
    writeData(data);
    WritePropName(name);
    WriteBinary(data.GetMemory(), static_cast<int32_t>(data.GetSize()));
}

int64_t WriteResourceHeader(TLargeStream& stream, std::string_view name) {
    if (name.size() > static_cast<size_t>(kResourceNameMaxLength))
        throw EWriteError(SStreamWriteError);
    std::string header;
    header += static_cast<char>(kResourceHeaderMark);
    header += static_cast<char>(kResourceTypeRCData & 0xFF);
    header += static_cast<char>(kResourceTypeRCData >> 8);
    for (char c : name)
        header += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    header += '\0';
    header += static_cast<char>(kResourceFlags & 0xFF);
    header += static_cast<char>(kResourceFlags >> 8);
    stream.WriteBuffer(header.data(), static_cast<int32_t>(header.size()));
    const int64_t sizeField = stream.GetPosition();
    const uint8_t zero[4] = {0, 0, 0, 0};
    stream.WriteBuffer(zero, 4);
    return sizeField;
}

void PatchResourceHeader(TLargeStream& stream, int64_t sizeFieldPosition) {
    const int64_t end = stream.GetPosition();
    const int64_t size = end - (sizeFieldPosition + 4);
    uint8_t bytes[4];
    PutLittle(bytes, static_cast<uint64_t>(size), 4);
    stream.SetPosition(sizeFieldPosition);
    stream.WriteBuffer(bytes, 4);
    stream.SetPosition(end);
}

void WriteObjectStream(TLargeStream& stream, const TPersistent& root, std::string_view resourceName) {
    int64_t sizeField = -1;
    if (!resourceName.empty())
        sizeField = WriteResourceHeader(stream, resourceName);
    TWriter writer(stream);
    writer.WriteRootObject(root);
    if (sizeField >= 0)
        PatchResourceHeader(stream, sizeField);
}

} // namespace quillset
