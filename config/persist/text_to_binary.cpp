#include "config/persist/text_to_binary.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "config/persist/filer_errors.h"
#include "config/persist/persistent.h"
#include "config/persist/value_tags.h"
#include "config/persist/writer.h"
#include "stream/large_stream.h"

namespace quillset {

namespace {

constexpr int kMaxNesting = 64;

enum class TToken { End, Symbol, Identifier, Integer, Float, String, Binary };

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendCode(std::string& out, uint32_t code) {
    if (code < 0x100) { // a byte of the stored text, as the binary form keeps it
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Splits the text into tokens; one token of look-ahead.
class TTokenizer {
public:
    explicit TTokenizer(std::string text) : Text(std::move(text)) { Next(); }

    TToken Kind = TToken::End;
    std::string Value;  // identifier, string, symbol character or binary bytes
    int64_t Integer = 0;
    double Float = 0.0;
    int Line = 1;

    [[noreturn]] void Fail(const std::string& detail) const { throw EParserError(Line, detail); }

    bool IsSymbol(char c) const { return Kind == TToken::Symbol && Value[0] == c; }
    bool IsWord(const char* word) const { return Kind == TToken::Identifier && SameIdentifier(Value, word); }

    void Expect(char c) {
        if (!IsSymbol(c))
            Fail(std::string("'") + c + "' expected");
        Next();
    }
    std::string ExpectIdentifier() {
        if (Kind != TToken::Identifier)
            Fail("identifier expected");
        std::string name = Value;
        Next();
        return name;
    }

    void Next() {
        SkipBlanks();
        Value.clear();
        if (Pos >= Text.size()) {
            Kind = TToken::End;
            return;
        }
        const char c = Text[Pos];
        if (IsIdentStart(c)) {
            const size_t start = Pos;
            while (Pos < Text.size() && IsIdentChar(Text[Pos]))
                ++Pos;
            Kind = TToken::Identifier;
            Value = Text.substr(start, Pos - start);
        } else if (IsDigit(c) || ((c == '-' || c == '+') && Pos + 1 < Text.size() && IsDigit(Text[Pos + 1]))) {
            ReadNumber();
        } else if (c == '$') {
            ReadHexNumber();
        } else if (c == '\'' || c == '#') {
            ReadString();
        } else if (c == '{') {
            ReadBinary();
        } else if (std::string_view("=:[](),<>+").find(c) != std::string_view::npos) {
            Kind = TToken::Symbol;
            Value = std::string(1, c);
            ++Pos;
        } else {
            Fail("unexpected character");
        }
    }

private:
    void SkipBlanks() {
        while (Pos < Text.size() && static_cast<unsigned char>(Text[Pos]) <= ' ') {
            if (Text[Pos] == '\n')
                ++Line;
            ++Pos;
        }
    }

    void ReadNumber() {
        const size_t start = Pos;
        if (Text[Pos] == '-' || Text[Pos] == '+')
            ++Pos;
        bool isFloat = false;
        while (Pos < Text.size() && IsDigit(Text[Pos]))
            ++Pos;
        if (Pos < Text.size() && Text[Pos] == '.') {
            isFloat = true;
            for (++Pos; Pos < Text.size() && IsDigit(Text[Pos]);)
                ++Pos;
        }
        if (Pos < Text.size() && (Text[Pos] == 'e' || Text[Pos] == 'E')) {
            isFloat = true;
            ++Pos;
            if (Pos < Text.size() && (Text[Pos] == '-' || Text[Pos] == '+'))
                ++Pos;
            if (Pos >= Text.size() || !IsDigit(Text[Pos]))
                Fail("invalid number");
            while (Pos < Text.size() && IsDigit(Text[Pos]))
                ++Pos;
        }
        const char* first = Text.data() + start + (Text[start] == '+' ? 1 : 0);
        const char* last = Text.data() + Pos;
        const auto result = isFloat ? std::from_chars(first, last, Float) : std::from_chars(first, last, Integer);
        if (result.ec != std::errc() || result.ptr != last)
            Fail("invalid number");
        Kind = isFloat ? TToken::Float : TToken::Integer;
    }

    void ReadHexNumber() {
        ++Pos;
        uint64_t value = 0;
        int digits = 0;
        for (; Pos < Text.size() && HexValue(Text[Pos]) >= 0; ++Pos, ++digits) {
            if (digits == 16)
                Fail("invalid number");
            value = value << 4 | static_cast<uint64_t>(HexValue(Text[Pos]));
        }
        if (digits == 0)
            Fail("invalid number");
        Kind = TToken::Integer;
        Integer = static_cast<int64_t>(value);
    }

    // Quoted pieces and #codes written next to each other make one string.
    void ReadString() {
        Kind = TToken::String;
        for (;;) {
            if (Pos < Text.size() && Text[Pos] == '\'') {
                for (++Pos;; ++Pos) {
                    if (Pos >= Text.size() || Text[Pos] == '\n' || Text[Pos] == '\r')
                        Fail("unterminated string");
                    if (Text[Pos] == '\'') {
                        if (Pos + 1 < Text.size() && Text[Pos + 1] == '\'') {
                            Value += '\'';
                            ++Pos;
                            continue;
                        }
                        ++Pos;
                        break;
                    }
                    Value += Text[Pos];
                }
            } else if (Pos < Text.size() && Text[Pos] == '#') {
                ++Pos;
                uint32_t code = 0;
                if (Pos >= Text.size() || !IsDigit(Text[Pos]))
                    Fail("invalid character code");
                for (; Pos < Text.size() && IsDigit(Text[Pos]); ++Pos) {
                    code = code * 10 + static_cast<uint32_t>(Text[Pos] - '0');
                    if (code > 0xFFFF)
                        Fail("invalid character code");
                }
                AppendCode(Value, code);
            } else {
                return;
            }
        }
    }

    void ReadBinary() {
        ++Pos;
        int high = -1;
        for (;; ++Pos) {
            if (Pos >= Text.size())
                Fail("'}' expected");
            const char c = Text[Pos];
            if (c == '}')
                break;
            if (c == '\n')
                ++Line;
            if (static_cast<unsigned char>(c) <= ' ')
                continue;
            const int digit = HexValue(c);
            if (digit < 0)
                Fail("invalid binary value");
            if (high < 0) {
                high = digit;
            } else {
                Value += static_cast<char>(high << 4 | digit);
                high = -1;
            }
        }
        if (high >= 0)
            Fail("invalid binary value");
        ++Pos;
        Kind = TToken::Binary;
    }

    std::string Text;
    size_t Pos = 0;
};

struct TObjectHead {
    uint8_t Flags = 0;
    std::string ClassName;
    std::string ObjectName;
    int64_t Index = -1;
};

class TTextConverter {
public:
    TTextConverter(TTokenizer& tokens, TWriter& writer) : Tokens(tokens), Writer(writer) {}

    // "object" / "inherited" / "inline", [name ":"] class, ["[" index "]"].
    TObjectHead ParseObjectHead();
    void WriteObjectHead(const TObjectHead& head);
    // Properties, then child objects, up to and including "end".
    void ConvertObjectBody(int depth);

private:
    void ConvertProperty(int depth);
    void ConvertValue(int depth);
    void ConvertCollection(int depth);
    void Nest(int depth) const {
        if (depth > kMaxNesting)
            Tokens.Fail("nested too deeply");
    }
    bool AtObjectKeyword() const {
        return Tokens.IsWord("object") || Tokens.IsWord("inherited") || Tokens.IsWord("inline");
    }

    TTokenizer& Tokens;
    TWriter& Writer;
};

TObjectHead TTextConverter::ParseObjectHead() {
    TObjectHead head;
    if (Tokens.IsWord("inherited"))
        head.Flags |= ffInherited;
    else if (Tokens.IsWord("inline"))
        head.Flags |= ffInline;
    else if (!Tokens.IsWord("object"))
        Tokens.Fail("'object' expected");
    Tokens.Next();
    head.ClassName = Tokens.ExpectIdentifier();
    if (Tokens.IsSymbol(':')) {
        Tokens.Next();
        head.ObjectName = head.ClassName;
        head.ClassName = Tokens.ExpectIdentifier();
    }
    if (Tokens.IsSymbol('[')) {
        Tokens.Next();
        if (Tokens.Kind != TToken::Integer)
            Tokens.Fail("integer expected");
        head.Index = Tokens.Integer;
        head.Flags |= ffChildPos;
        Tokens.Next();
        Tokens.Expect(']');
    }
    if (head.ClassName.size() > 255 || head.ObjectName.size() > 255)
        Tokens.Fail("name too long");
    return head;
}

void TTextConverter::WriteObjectHead(const TObjectHead& head) {
    if (head.Flags != 0) {
        const auto prefix = static_cast<uint8_t>(kObjectPrefixMark | head.Flags);
        Writer.GetStream().WriteBuffer(&prefix, 1);
        if ((head.Flags & ffChildPos) != 0)
            Writer.WriteInteger(head.Index);
    }
    Writer.WriteStr(head.ClassName);
    Writer.WriteStr(head.ObjectName);
}

void TTextConverter::ConvertObjectBody(int depth) {
    Nest(depth);
    while (!Tokens.IsWord("end") && !AtObjectKeyword())
        ConvertProperty(depth);
    Writer.WriteListEnd();
    while (!Tokens.IsWord("end")) {
        WriteObjectHead(ParseObjectHead());
        ConvertObjectBody(depth + 1);
    }
    Writer.WriteListEnd();
    Tokens.Next(); // "end"
}

void TTextConverter::ConvertProperty(int depth) {
    const std::string name = Tokens.ExpectIdentifier();
    if (name.size() > 255)
        Tokens.Fail("name too long");
    Writer.WriteStr(name);
    Tokens.Expect('=');
    ConvertValue(depth);
}

void TTextConverter::ConvertValue(int depth) {
    Nest(depth);
    switch (Tokens.Kind) {
    case TToken::Integer:
        Writer.WriteInteger(Tokens.Integer);
        Tokens.Next();
        return;
    case TToken::Float:
        Writer.WriteFloat(Tokens.Float);
        Tokens.Next();
        return;
    case TToken::String: {
        std::string text = Tokens.Value;
        for (Tokens.Next(); Tokens.IsSymbol('+'); Tokens.Next()) {
            Tokens.Next();
            if (Tokens.Kind != TToken::String)
                Tokens.Fail("string expected");
            text += Tokens.Value;
        }
        Writer.WriteString(text);
        return;
    }
    case TToken::Identifier:
        if (Tokens.IsWord("False"))
            Writer.WriteValue(vaFalse);
        else if (Tokens.IsWord("True"))
            Writer.WriteValue(vaTrue);
        else if (Tokens.IsWord("nil"))
            Writer.WriteValue(vaNil);
        else if (Tokens.IsWord("Null"))
            Writer.WriteValue(vaNull);
        else if (Tokens.Value.size() > 255)
            Tokens.Fail("name too long");
        else
            Writer.WriteIdent(Tokens.Value);
        Tokens.Next();
        return;
    case TToken::Binary:
        Writer.WriteBinary(Tokens.Value.data(), static_cast<int32_t>(Tokens.Value.size()));
        Tokens.Next();
        return;
    case TToken::Symbol:
        break;
    case TToken::End:
        Tokens.Fail("value expected");
    }
    if (Tokens.IsSymbol('[')) {
        Writer.WriteValue(vaSet);
        Tokens.Next();
        while (!Tokens.IsSymbol(']')) {
            const std::string element = Tokens.ExpectIdentifier();
            if (element.size() > 255)
                Tokens.Fail("name too long");
            Writer.WriteStr(element);
            if (!Tokens.IsSymbol(']'))
                Tokens.Expect(',');
        }
        Writer.WriteStr("");
        Tokens.Next();
    } else if (Tokens.IsSymbol('(')) {
        Writer.WriteValue(vaList);
        for (Tokens.Next(); !Tokens.IsSymbol(')');)
            ConvertValue(depth + 1);
        Writer.WriteListEnd();
        Tokens.Next();
    } else if (Tokens.IsSymbol('<')) {
        ConvertCollection(depth);
    } else {
        Tokens.Fail("value expected");
    }
}

void TTextConverter::ConvertCollection(int depth) {
    Writer.WriteValue(vaCollection);
    for (Tokens.Next(); !Tokens.IsSymbol('>');) {
        if (!Tokens.IsWord("item"))
            Tokens.Fail("'item' expected");
        Tokens.Next();
        if (Tokens.IsSymbol('[')) {
            Tokens.Next();
            if (Tokens.Kind != TToken::Integer)
                Tokens.Fail("integer expected");
            Writer.WriteInteger(Tokens.Integer);
            Tokens.Next();
            Tokens.Expect(']');
        }
        Writer.WriteListBegin();
        while (!Tokens.IsWord("end"))
            ConvertProperty(depth + 1);
        Writer.WriteListEnd();
        Tokens.Next();
    }
    Writer.WriteListEnd();
    Tokens.Next();
}

std::string ReadAll(TLargeStream& input) {
    std::string text;
    char piece[4096];
    for (;;) {
        const int32_t n = input.Read(piece, sizeof piece);
        if (n <= 0)
            return text;
        text.append(piece, static_cast<size_t>(n));
    }
}

} // namespace

void ObjectTextToBinary(TLargeStream& input, TLargeStream& output) {
    TTokenizer tokens(ReadAll(input));
    TWriter writer(output);
    TTextConverter converter(tokens, writer);
    const TObjectHead head = converter.ParseObjectHead();
    if (head.ClassName.size() > static_cast<size_t>(kResourceNameMaxLength))
        tokens.Fail("class name too long");
    const int64_t sizeField = WriteResourceHeader(output, head.ClassName);
    output.WriteBuffer(kFilerSignature, 4);
    converter.WriteObjectHead(head);
    converter.ConvertObjectBody(0);
    PatchResourceHeader(output, sizeField);
}

} // namespace quillset
