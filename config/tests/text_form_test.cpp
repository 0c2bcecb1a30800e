#include "config/persist/text_to_binary.h"

#include <gtest/gtest.h>

#include "config/persist/filer_errors.h"
#include "config/persist/object_stream.h"
#include "config/persist/reader.h"
#include "config/persist/writer.h"
#include "config/tests/stream_bytes.h"

namespace quillset::testing {
namespace {

std::string ToBinary(const std::string& text) {
    auto input = StreamOf(text);
    TLargeMemoryStream output;
    ObjectTextToBinary(*input, output);
    return BytesOf(output);
}

std::string ToText(const std::string& binary) {
    auto input = StreamOf(binary);
    TLargeMemoryStream output;
    ObjectBinaryToText(*input, output);
    return BytesOf(output);
}

void ReadInto(TTestRoot& root, const std::string& binary) {
    auto stream = StreamOf(binary);
    ReadResourceHeader(*stream);
    TReader reader(*stream);
    reader.OnError = [](const std::string& message, bool& handled) { handled = message == "There is no property."; };
    reader.ReadRootObject(root);
}

TEST(TextForm, ReadsEveryValueNotation) {
    const std::string text = "object Main: TTestRoot\n"
                             "  Count = -1234\n"
                             "  Big = 5000000000\n"
                             "  Enabled = True\n"
                             "  Color = TestColor_Blue\n"
                             "  Ratio = -2.5E-2\n"
                             "  Gain = 3\n"
                             "  Name2 = 'it''s'#13#10'two' +\n"
                             "    ' lines'\n"
                             "  Middle.Leaf.Blob = {\n"
                             "    0A0b\n"
                             "    FF00}\n"
                             "  Unknown = (1 'x' [a, b] nil)\n"
                             "  Items = <\n"
                             "    item [4]\n"
                             "      Value = $10\n"
                             "    end\n"
                             "    item\n"
                             "      Label = ''\n"
                             "    end>\n"
                             "  object Child: TOther\n"
                             "  end\n"
                             "end\n";
    const std::string binary = ToBinary(text);
    EXPECT_EQ(binary.substr(0, 13), std::string("\xFF\x0A\x00TTESTROOT\x00", 13));
    TTestRoot root;
    ReadInto(root, binary);
    EXPECT_EQ(root.Name, "Main");
    EXPECT_EQ(root.Count, -1234);
    EXPECT_EQ(root.Big, 5000000000);
    EXPECT_TRUE(root.Enabled);
    EXPECT_EQ(root.Color, TestColor_Blue);
    EXPECT_DOUBLE_EQ(root.Ratio, -0.025);
    EXPECT_EQ(root.Gain, 3.0);
    EXPECT_EQ(root.Name2, "it's\r\ntwo lines");
    EXPECT_EQ(root.Middle.Leaf.Blob, (std::array<uint8_t, 4>{0x0A, 0x0B, 0xFF, 0x00}));
    ASSERT_EQ(root.Items.Count(), 2);
    EXPECT_EQ(root.Items[0].Value, 16);
}

TEST(TextForm, ProgramWrittenStreamsSurviveTheTextForm) {
    TTestRoot original;
    original.Name = "R";
    original.Count = 123456;
    original.Big = -9;
    original.Gain = 0.1;
    original.Ratio = 1e300;
    original.Name2 = "x'\x01" + std::string(200, 'y') + "\xC3\xA9";
    original.Middle.Leaf.Blob = {0, 255, 16, 1};
    original.Items.Add().Label = "first";
    original.Items.Add();
    TLargeMemoryStream stream;
    WriteObjectStream(stream, original, "TTestRoot");
    const std::string binary = BytesOf(stream);
    const std::string text = ToText(binary);
    EXPECT_NE(text.find("object R: TTestRoot\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Gain = 0.1\n"), std::string::npos) << text;
    EXPECT_EQ(ToBinary(text), binary) << text;
}

TEST(TextForm, DamagedTextsAreRefused) {
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"no class", "object\n"},
        {"no end", "object TTestRoot\n Count = 1\n"},
        {"missing equals", "object TTestRoot\n Count 1\nend"},
        {"unterminated string", "object TTestRoot\n Name2 = 'abc\nend"},
        {"odd hex digits", "object TTestRoot\n Blob = {ABC}\nend"},
        {"non-hex digit", "object TTestRoot\n Blob = {AG}\nend"},
        {"item without end", "object TTestRoot\n Items = <item Value = 1>\nend"},
        {"bad character", "object TTestRoot\n Count = @\nend"},
        {"integer too large", "object TTestRoot\n Count = 99999999999999999999\nend"},
        {"character code too large", "object TTestRoot\n Name2 = #70000\nend"},
        {"nested too deeply", "object TTestRoot\n X = " + std::string(100, '(') + std::string(100, ')') + "\nend"},
        {"class name too long", "object T" + std::string(70, 'x') + "\nend"},
        {"string joined to a number", "object TTestRoot\n Name2 = 'a' + 1\nend"},
    };
    for (const auto& [what, text] : cases) {
        try {
            ToBinary(text);
            ADD_FAILURE() << what << " was accepted";
        } catch (const EParserError& error) {
            EXPECT_STREQ(error.what(), "Illegal stream format") << what;
            EXPECT_GE(error.Line, 1) << what;
        }
    }
}

TEST(StreamHead, ChecksResourceNameSignatureAndClass) {
    TTestRoot root;
    TLargeMemoryStream good;
    WriteObjectStream(good, root, "TESTRES");
    const std::string binary = BytesOf(good);
    std::string otherName = binary;
    otherName[3] = 'X';
    std::string noSignature = binary;
    noSignature[18] = 'X';
    std::string otherClass = binary;
    otherClass[23] = 'X';
    struct Case {
        const char* what;
        std::string bytes;
        int expected; // 1 binary, 0 text, -1 refused
    };
    const Case cases[] = {
        {"binary", binary, 1},
        {"resource name in other case", binary, 1},
        {"other resource name", otherName, -1},
        {"no signature", noSignature, -1},
        {"other class", otherClass, -1},
        {"signature without header", binary.substr(17), -1},
        {"text", "object TTestRoot\nend\n", 0},
        {"text after blank lines", "\r\n\t  object ttestroot\nend\n", 0},
        {"text with an object name", "object Name: TTestRoot\nend\n", -1},
        {"text of another class", "object TOther\nend\n", -1},
        {"empty", "", -1},
        {"three bytes", std::string("\xFF\x0A\x00", 3), -1},
    };
    for (const auto& c : cases) {
        auto stream = StreamOf("pad" + c.bytes);
        stream->SetPosition(3);
        const char* resourceName = std::string(c.what) == "resource name in other case" ? "testRes" : "TESTRES";
        int got = -1;
        try {
            got = CheckStreamHead(*stream, resourceName, "TTestRoot") ? 1 : 0;
        } catch (const EInvalidImage& error) {
            EXPECT_STREQ(error.what(), "Illegal stream format");
        }
        EXPECT_EQ(got, c.expected) << c.what;
        EXPECT_EQ(stream->GetPosition(), 3) << c.what << ": the stream must be rewound";
    }
}

TEST(ObjectStream, LoadsBinaryAndTextAndReportsDamage) {
    TTestRoot source;
    source.Count = 42;
    source.Items.Add().Value = 3;
    TLargeMemoryStream binary;
    SaveObjectStream(binary, source, "TESTRES");
    const std::string bytes = BytesOf(binary);

    TTestRoot fromBinary;
    fromBinary.Items.Add();
    fromBinary.Items.Add();
    auto stream = StreamOf(bytes);
    LoadObjectStream(*stream, fromBinary, "TESTRES");
    EXPECT_TRUE(fromBinary.Equals(source));

    TTestRoot fromText;
    auto text = StreamOf(ToText(bytes));
    LoadObjectStream(*text, fromText, "TESTRES");
    EXPECT_TRUE(fromText.Equals(source));

    const std::pair<std::string, const char*> damaged[] = {
        {bytes.substr(0, bytes.size() - 3), "Stream reading error"},
        {"object TTestRoot\n Count = \nend", "Illegal stream format"},
        {"MZ\x90\x00 not a stream at all", "Illegal stream format"},
    };
    for (const auto& [input, message] : damaged) {
        TTestRoot root;
        auto damagedStream = StreamOf(input);
        try {
            LoadObjectStream(*damagedStream, root, "TESTRES");
            ADD_FAILURE() << "accepted: " << input;
        } catch (const EStreamError& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
}

} // namespace
} // namespace quillset::testing
