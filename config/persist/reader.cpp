#include "config/persist/reader.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "config/persist/extended_float.h"
#include "config/persist/filer_errors.h"
#include "stream/large_stream.h"
#include "stream/memory_stream.h"

namespace quillset {

namespace {

uint64_t GetLittle(const uint8_t* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= uint64_t{bytes[i]} << (8 * i);
    return value;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16 little-endian to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::vector<uint8_t>& bytes) {
    std::string out;
    const size_t count = bytes.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        uint32_t unit = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count) {
            const uint32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            unit = 0xFFFD;
        AppendUtf8(out, unit);
    }
    return out;
}

[[noreturn]] void InvalidImage() { throw EInvalidImage(SInvalidImage); }
[[noreturn]] void InvalidValue() { throw EPropertyError(SInvalidPropertyValue); }

bool IsIntegerTag(TValueType tag) { return tag == vaInt8 || tag == vaInt16 || tag == vaInt32 || tag == vaInt64; }

} // namespace

TReader::TReader(TLargeStream& stream) : Stream(stream), End(stream.GetSize()) {}

int64_t TReader::Remaining() {
    const int64_t left = End - Stream.GetPosition();
    return left > 0 ? left : 0;
}

void TReader::ReadBytes(void* buffer, int64_t count) {
    if (count < 0 || count > Remaining())
        throw EReadError(SStreamReadError);
    Stream.ReadBuffer(buffer, static_cast<int32_t>(count));
}

void TReader::SkipBytes(int64_t count) {
    if (count < 0 || count > Remaining())
        throw EReadError(SStreamReadError);
    Stream.Seek(count, soFromCurrent);
}

uint8_t TReader::ReadByte() {
    uint8_t byte;
    ReadBytes(&byte, 1);
    return byte;
}

int64_t TReader::ReadInt32Length() {
    uint8_t bytes[4];
    ReadBytes(bytes, 4);
    const auto length = static_cast<int32_t>(GetLittle(bytes, 4));
    if (length < 0 || length > Remaining())
        throw EReadError(SStreamReadError);
    return length;
}

TReader::TNesting::TNesting(TReader& reader) : Reader(reader) {
    if (Reader.Depth >= kMaxDepth)
        InvalidImage();
    ++Reader.Depth;
}

TValueType TReader::ReadValue() {
    const uint8_t tag = ReadByte();
    if (tag > kLastValueType)
        InvalidImage();
    return static_cast<TValueType>(tag);
}

TValueType TReader::NextValue() {
    const TValueType tag = ReadValue();
    Stream.Seek(-1, soFromCurrent);
    return tag;
}

bool TReader::EndOfList() {
    const uint8_t next = ReadByte();
    Stream.Seek(-1, soFromCurrent);
    return next == 0;
}

void TReader::ReadListEnd() {
    if (ReadValue() != vaNull)
        InvalidImage();
}

std::string TReader::ReadStr() {
    const uint8_t length = ReadByte();
    std::string text(length, '\0');
    ReadBytes(text.data(), length);
    return text;
}

int64_t TReader::ReadInteger() {
    uint8_t bytes[8];
    switch (ReadValue()) {
    case vaInt8:
        ReadBytes(bytes, 1);
        return static_cast<int8_t>(bytes[0]);
    case vaInt16:
        ReadBytes(bytes, 2);
        return static_cast<int16_t>(GetLittle(bytes, 2));
    case vaInt32:
        ReadBytes(bytes, 4);
        return static_cast<int32_t>(GetLittle(bytes, 4));
    case vaInt64:
        ReadBytes(bytes, 8);
        return static_cast<int64_t>(GetLittle(bytes, 8));
    default:
        InvalidValue();
    }
}

double TReader::ReadFloat() {
    if (IsIntegerTag(NextValue()))
        return static_cast<double>(ReadInteger());
    if (ReadValue() != vaExtended)
        InvalidValue();
    TExtended80 bytes;
    ReadBytes(bytes.data(), 10);
    return ExtendedToDouble(bytes);
}

std::string TReader::ReadString() {
    switch (ReadValue()) {
    case vaString:
        return ReadStr();
    case vaLString: {
        std::string text(static_cast<size_t>(ReadInt32Length()), '\0');
        ReadBytes(text.data(), static_cast<int64_t>(text.size()));
        return text;
    }
    case vaWString: {
        uint8_t head[4];
        ReadBytes(head, 4);
        const auto count = static_cast<int32_t>(GetLittle(head, 4));
        if (count < 0 || int64_t{count} * 2 > Remaining())
            throw EReadError(SStreamReadError);
        std::vector<uint8_t> units(static_cast<size_t>(count) * 2);
        ReadBytes(units.data(), static_cast<int64_t>(units.size()));
        return WideToUtf8(units);
    }
    default:
        InvalidValue();
    }
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
    case vaIdent:
        return ReadStr();
    case vaFalse:
        return "False";
    case vaTrue:
        return "True";
    case vaNil:
        return "nil";
    case vaNull:
        return "Null";
    default:
        InvalidValue();
    }
}

bool TReader::ReadBoolean() {
    const std::string ident = ReadIdent();
    if (SameIdentifier(ident, "True"))
        return true;
    if (SameIdentifier(ident, "False"))
        return false;
    InvalidValue();
}

void TReader::SkipValue() {
    switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
        return;
    case vaList: {
        const TNesting nesting(*this);
        while (!EndOfList())
            SkipValue();
        ReadListEnd();
        return;
    }
    case vaInt8:
        return SkipBytes(1);
    case vaInt16:
        return SkipBytes(2);
    case vaInt32:
    case vaSingle:
        return SkipBytes(4);
    case vaExtended:
        return SkipBytes(10);
    case vaCurrency:
    case vaDate:
    case vaInt64:
        return SkipBytes(8);
    case vaString:
    case vaIdent:
        return SkipBytes(ReadByte());
    case vaBinary:
    case vaLString:
        return SkipBytes(ReadInt32Length());
    case vaWString: {
        uint8_t head[4];
        ReadBytes(head, 4);
        return SkipBytes(int64_t{static_cast<int32_t>(GetLittle(head, 4))} * 2);
    }
    case vaSet:
        while (!ReadStr().empty()) {
        }
        return;
    case vaCollection:
        return SkipCollection();
    }
    InvalidImage();
}

void TReader::SkipCollection() {
    const TNesting nesting(*this);
    while (!EndOfList()) {
        if (IsIntegerTag(NextValue()))
            SkipValue();
        if (ReadValue() != vaList)
            InvalidImage();
        while (!EndOfList()) {
            ReadStr();
            SkipValue();
        }
        ReadListEnd();
    }
    ReadListEnd();
}

void TReader::ReadSignature() {
    char signature[4];
    ReadBytes(signature, 4);
    if (std::memcmp(signature, kFilerSignature, 4) != 0)
        InvalidImage();
}

uint8_t TReader::ReadPrefix(int64_t& childPosition) {
    childPosition = -1;
    uint8_t next;
    ReadBytes(&next, 1);
    Stream.Seek(-1, soFromCurrent);
    if ((next & kObjectPrefixMark) != kObjectPrefixMark)
        return 0;
    const uint8_t flags = ReadByte() & 0x0F;
    if ((flags & ffChildPos) != 0) {
        if (!IsIntegerTag(NextValue()))
            InvalidImage();
        childPosition = ReadInteger();
    }
    return flags;
}

void TReader::SkipObject() {
    const TNesting nesting(*this);
    int64_t childPosition;
    ReadPrefix(childPosition);
    ReadStr(); // class name
    ReadStr(); // object name
    while (!EndOfList()) {
        ReadStr();
        SkipValue();
    }
    ReadListEnd();
    while (!EndOfList())
        SkipObject();
    ReadListEnd();
}

void TReader::ReadRootObject(TPersistent& root) {
    ReadSignature();
    int64_t childPosition;
    ReadPrefix(childPosition);
    const std::string className = ReadStr();
    if (!SameIdentifier(className, root.ClassName()))
        InvalidImage();
    std::string objectName = ReadStr();
    if (auto* component = dynamic_cast<TComponent*>(&root))
        component->Name = std::move(objectName);
    while (!EndOfList())
        ReadProperty(root);
    ReadListEnd();
    while (!EndOfList())
        SkipObject();
    ReadListEnd();
}

void TReader::ReadPropValue(TPersistent& instance, const TPropertyInfo& p) {
    switch (p.Kind) {
    case TPropertyKind::Integer: {
        const TValueType tag = NextValue();
        if (tag != vaInt8 && tag != vaInt16 && tag != vaInt32)
            InvalidValue();
        p.SetOrdinal(instance, ReadInteger());
        return;
    }
    case TPropertyKind::Int64:
        p.SetOrdinal(instance, ReadInteger());
        return;
    case TPropertyKind::Boolean:
        p.SetOrdinal(instance, ReadBoolean() ? 1 : 0);
        return;
    case TPropertyKind::Enumeration: {
        const int ordinal = p.EnumType->Find(ReadIdent());
        if (ordinal < 0)
            InvalidValue();
        p.SetOrdinal(instance, ordinal);
        return;
    }
    case TPropertyKind::Float: {
        // Infinities and NaNs mean nothing in a setting and would poison every figure made from it.
        const double value = ReadFloat();
        if (!std::isfinite(value))
            InvalidValue();
        p.SetFloat(instance, value);
        return;
    }
    case TPropertyKind::String:
        p.SetString(instance, ReadString());
        return;
    case TPropertyKind::Object:
        InvalidValue();
    case TPropertyKind::Collection:
        if (NextValue() != vaCollection)
            InvalidValue();
        ReadCollection(static_cast<TCollection&>(p.GetObject(instance)));
        return;
    }
}

void TReader::ReadPropertyPath(TPersistent& instance, const std::string& path) {
    TPersistent* target = &instance;
    size_t start = 0;
    for (size_t dot = path.find('.'); dot != std::string::npos; dot = path.find('.', start)) {
        const TPropertyInfo* p = target->GetClassInfo().FindProperty(std::string_view(path).substr(start, dot - start));
        if (p == nullptr)
            throw EPropertyError(SUnknownProperty);
        if (p->Kind != TPropertyKind::Object && p->Kind != TPropertyKind::Collection)
            throw EPropertyError(SInvalidPropertyPath);
        target = &p->GetObject(*target);
        start = dot + 1;
    }
    const std::string last = path.substr(start);
    if (const TPropertyInfo* p = target->GetClassInfo().FindProperty(last)) {
        ReadPropValue(*target, *p);
        return;
    }
    PendingName = last;
    PendingFound = false;
    target->DefineProperties(*this);
    const bool found = PendingFound;
    PendingName.clear();
    PendingFound = false;
    if (!found)
        throw EPropertyError(SUnknownProperty);
}

void TReader::ReadProperty(TPersistent& instance) {
    const std::string path = ReadStr();
    const int64_t valueStart = Stream.GetPosition();
    try {
        ReadPropertyPath(instance, path);
    } catch (const EPropertyError& error) {
        Stream.SetPosition(valueStart);
        SkipValue();
        bool handled = false;
        if (OnError)
            OnError(error.what(), handled);
        if (!handled)
            throw EReadError(error.what());
    }
}

void TReader::ReadCollection(TCollection& collection) {
    if (ReadValue() != vaCollection)
        InvalidValue();
    const TNesting nesting(*this);
    if (!EndOfList())
        collection.Clear();
    while (!EndOfList()) {
        if (IsIntegerTag(NextValue()))
            ReadInteger(); // an item index: not used
        if (ReadValue() != vaList)
            InvalidImage();
        TCollectionItem& item = collection.AddItem();
        while (!EndOfList())
            ReadProperty(item);
        ReadListEnd();
    }
    ReadListEnd();
}

void TReader::DefineProperty(const char* name, const TReadValueProc& readData, const TWriteValueProc&, bool) {
    if (PendingFound || !readData || !SameIdentifier(name, PendingName))
        return;
    PendingFound = true;
    readData(*this);
}

void TReader::DefineBinaryProperty(const char* name, const TReadBinaryProc& readData, const TWriteBinaryProc&, bool) {
    if (PendingFound || !readData || !SameIdentifier(name, PendingName))
        return;
    PendingFound = true;
    if (ReadValue() != vaBinary)
        InvalidValue();
    const int64_t size = ReadInt32Length();
    TLargeMemoryStream data;
    data.SetSize(size);
    ReadBytes(data.GetMemory(), size);
    data.SetPosition(0);
    readData(data);
}

void ReadResourceHeader(TLargeStream& stream) {
    uint8_t fixed[3];
    if (stream.Read(fixed, 3) != 3 || fixed[0] != kResourceHeaderMark || fixed[1] != (kResourceTypeRCData & 0xFF) ||
        fixed[2] != (kResourceTypeRCData >> 8))
        throw EInvalidImage(SInvalidImage);
    // The name ends with a 0 byte; a header never holds more than a short name.
    for (int i = 0;; ++i) {
        uint8_t c;
        if (i > 255 || stream.Read(&c, 1) != 1)
            throw EInvalidImage(SInvalidImage);
        if (c == 0)
            break;
    }
    uint8_t rest[6]; // flags and size
    stream.ReadBuffer(rest, 6);
}

} // namespace quillset
