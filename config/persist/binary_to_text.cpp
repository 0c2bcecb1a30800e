// The text form of a binary object stream (the reverse of ObjectTextToBinary).
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "config/persist/extended_float.h"
#include "config/persist/filer_errors.h"
#include "config/persist/reader.h"
#include "config/persist/text_to_binary.h"
#include "config/persist/value_tags.h"
#include "stream/large_stream.h"

namespace quillset {

namespace {

constexpr size_t kStringPiece = 64;  // characters per quoted piece of a long string
constexpr size_t kBinaryLine = 32;   // bytes per line of a binary block
constexpr int kMaxNesting = 64;

std::string FormatFloat(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

// One quoted piece: printable characters inside quotes, control characters as #codes.
std::string QuotePiece(std::string_view piece) {
    std::string out;
    bool quoted = false;
    for (char c : piece) {
        const auto code = static_cast<unsigned char>(c);
        if (code < ' ' || code == 127) {
            if (quoted)
                out += '\'';
            quoted = false;
            out += '#' + std::to_string(code);
            continue;
        }
        if (!quoted)
            out += '\'';
        quoted = true;
        out += c;
        if (c == '\'')
            out += '\'';
    }
    if (quoted)
        out += '\'';
    return out.empty() ? "''" : out;
}

class TTextWriter {
public:
    explicit TTextWriter(TReader& reader) : Reader(reader) {}

    void ConvertObject(int indent);
    std::string Text;

private:
    void NewLine(int indent) {
        Text += '\n';
        Text.append(static_cast<size_t>(indent) * 2, ' ');
    }
    void ConvertProperties(int indent);
    void ConvertValue(int indent);
    void ConvertString(const std::string& value, int indent);
    void ConvertBinary(int indent);
    void ConvertCollection(int indent);
    void Nest(int indent) const {
        if (indent > kMaxNesting)
            throw EInvalidImage(SInvalidImage);
    }

    TReader& Reader;
};

void TTextWriter::ConvertObject(int indent) {
    Nest(indent);
    int64_t childPosition;
    const uint8_t flags = Reader.ReadPrefix(childPosition);
    Text += (flags & ffInherited) != 0 ? "inherited " : (flags & ffInline) != 0 ? "inline " : "object ";
    const std::string className = Reader.ReadStr();
    const std::string objectName = Reader.ReadStr();
    if (!objectName.empty())
        Text += objectName + ": ";
    Text += className;
    if (childPosition >= 0)
        Text += " [" + std::to_string(childPosition) + "]";
    ConvertProperties(indent + 1);
    while (!Reader.EndOfList()) {
        NewLine(indent + 1);
        ConvertObject(indent + 1);
    }
    Reader.ReadListEnd();
    NewLine(indent);
    Text += "end";
}

void TTextWriter::ConvertProperties(int indent) {
    while (!Reader.EndOfList()) {
        NewLine(indent);
        Text += Reader.ReadStr() + " = ";
        ConvertValue(indent);
    }
    Reader.ReadListEnd();
}

void TTextWriter::ConvertString(const std::string& value, int indent) {
    if (value.size() <= kStringPiece) {
        Text += QuotePiece(value);
        return;
    }
    for (size_t start = 0; start < value.size(); start += kStringPiece) {
        if (start > 0) {
            Text += " +";
            NewLine(indent + 1);
        }
        Text += QuotePiece(std::string_view(value).substr(start, kStringPiece));
    }
}

void TTextWriter::ConvertBinary(int indent) {
    const int64_t size = Reader.ReadInt32Length();
    std::string bytes(static_cast<size_t>(size), '\0');
    Reader.ReadBytes(bytes.data(), size);
    static const char kHex[] = "0123456789ABCDEF";
    Text += '{';
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % kBinaryLine == 0)
            NewLine(indent + 1);
        Text += kHex[static_cast<unsigned char>(bytes[i]) >> 4];
        Text += kHex[static_cast<unsigned char>(bytes[i]) & 15];
    }
    Text += '}';
}

void TTextWriter::ConvertCollection(int indent) {
    Text += '<';
    while (!Reader.EndOfList()) {
        NewLine(indent + 1);
        Text += "item";
        const TValueType next = Reader.NextValue();
        if (next == vaInt8 || next == vaInt16 || next == vaInt32 || next == vaInt64)
            Text += " [" + std::to_string(Reader.ReadInteger()) + "]";
        if (Reader.ReadValue() != vaList)
            throw EInvalidImage(SInvalidImage);
        ConvertProperties(indent + 2);
        NewLine(indent + 1);
        Text += "end";
    }
    Reader.ReadListEnd();
    Text += '>';
}

void TTextWriter::ConvertValue(int indent) {
    Nest(indent);
    uint8_t raw[8];
    switch (const TValueType tag = Reader.NextValue()) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
        Text += std::to_string(Reader.ReadInteger());
        return;
    case vaExtended:
        Text += FormatFloat(Reader.ReadFloat());
        return;
    case vaString:
    case vaLString:
    case vaWString:
        ConvertString(Reader.ReadString(), indent);
        return;
    case vaIdent:
    case vaFalse:
    case vaTrue:
    case vaNil:
    case vaNull:
        Text += Reader.ReadIdent();
        return;
    case vaBinary:
        Reader.ReadValue();
        ConvertBinary(indent);
        return;
    case vaSet: {
        Reader.ReadValue();
        Text += '[';
        for (std::string element = Reader.ReadStr(), separator; !element.empty(); element = Reader.ReadStr()) {
            Text += separator + element;
            separator = ", ";
        }
        Text += ']';
        return;
    }
    case vaList:
        Reader.ReadValue();
        Text += '(';
        while (!Reader.EndOfList()) {
            NewLine(indent + 1);
            ConvertValue(indent + 1);
        }
        Reader.ReadListEnd();
        Text += ')';
        return;
    case vaCollection:
        Reader.ReadValue();
        ConvertCollection(indent);
        return;
    case vaSingle:
    case vaCurrency:
    case vaDate: {
        Reader.ReadValue();
        const int size = tag == vaSingle ? 4 : 8;
        Reader.ReadBytes(raw, size);
        uint64_t bits = 0;
        for (int i = 0; i < size; ++i)
            bits |= uint64_t{raw[i]} << (8 * i);
        if (tag == vaSingle)
            Text += FormatFloat(std::bit_cast<float>(static_cast<uint32_t>(bits)));
        else if (tag == vaDate)
            Text += FormatFloat(std::bit_cast<double>(bits));
        else
            Text += FormatFloat(static_cast<double>(static_cast<int64_t>(bits)) / 10000.0);
        return;
    }
    }
}

} // namespace

void ObjectBinaryToText(TLargeStream& input, TLargeStream& output) {
    uint8_t first = 0;
    const int64_t start = input.GetPosition();
    if (input.Read(&first, 1) == 1 && first == kResourceHeaderMark) {
        input.SetPosition(start);
        ReadResourceHeader(input);
    } else {
        input.SetPosition(start);
    }
    TReader reader(input);
    reader.ReadSignature();
    TTextWriter writer(reader);
    writer.ConvertObject(0);
    writer.Text += '\n';
    output.WriteBuffer(writer.Text.data(), static_cast<int32_t>(writer.Text.size()));
}

} // namespace quillset
