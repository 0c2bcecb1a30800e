#include "config/persist/reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "config/persist/filer_errors.h"
#include "config/persist/writer.h"
#include "config/tests/stream_bytes.h"

namespace quillset::testing {
namespace {

std::string Int32Bytes(int32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
    return bytes;
}

// "TPF0", the root object with these property records, and the two end bytes.
std::string RootStream(const std::string& properties, const std::string& className = "TTestRoot") {
    return "TPF0" + Str(className) + Str("") + properties + std::string(2, '\0');
}

std::string Prop(const std::string& name, const std::string& value) { return Str(name) + value; }

struct TLoadResult {
    std::vector<std::string> Errors; // messages the hook saw
    std::string Failure;             // message of the exception that ended reading, if any
};

TLoadResult Load(TTestRoot& root, const std::string& bytes, bool handleErrors = true) {
    TLoadResult result;
    auto stream = StreamOf(bytes);
    TReader reader(*stream);
    reader.OnError = [&](const std::string& message, bool& handled) {
        result.Errors.push_back(message);
        handled = handleErrors;
    };
    try {
        reader.ReadRootObject(root);
    } catch (const Exception& error) {
        result.Failure = error.what();
    }
    return result;
}

TEST(PropertyReader, RoundTripOfEveryKind) {
    TTestRoot original;
    original.Name = "Named";
    original.Count = -70000;
    original.Big = -(int64_t{1} << 40);
    original.Enabled = true;
    original.Quiet = true;
    original.Color = TestColor_Blue;
    original.Ratio = 1e-300;
    original.Gain = 0.0;
    original.Name2 = std::string(300, 'q') + "'\r\n";
    original.Middle.Flag = true;
    original.Middle.Leaf.Depth = 2;
    original.Middle.Leaf.Blob = {9, 8, 7, 6};
    original.Items.Add().Value = 5;
    original.Items.Add().Label = "two";

    TLargeMemoryStream stream;
    WriteObjectStream(stream, original, "");
    stream.SetPosition(0);
    TTestRoot copy;
    TReader reader(stream);
    reader.ReadRootObject(copy);
    EXPECT_TRUE(copy.Equals(original));
    EXPECT_EQ(copy.Name, "Named");
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
}

TEST(PropertyReader, UnknownPropertiesOfEveryValueTypeAreSkippedExactly) {
    const std::string collection = std::string("\x0E", 1) + "\x02\x05" + "\x01" + Prop("A", std::string("\x01\x02\x01\x00", 4)) +
                                   std::string(1, '\0') + "\x01" + std::string(2, '\0');
    const std::pair<const char*, std::string> values[] = {
        {"null", std::string(1, '\0')},
        {"list", std::string("\x01\x02\x07\x01\x06\x01x\x00\x00", 9)},
        {"int8", "\x02\x05"},
        {"int16", "\x03\x05\x06"},
        {"int32", "\x04" + Int32Bytes(77)},
        {"extended", "\x05" + std::string(10, '\x11')},
        {"string", "\x06" + Str("abc")},
        {"identifier", "\x07" + Str("Ident")},
        {"false", "\x08"},
        {"true", "\x09"},
        {"binary", "\x0A" + Int32Bytes(3) + "xyz"},
        {"set", "\x0B" + Str("a") + Str("b") + Str("")},
        {"long string", "\x0C" + Int32Bytes(300) + std::string(300, 'L')},
        {"nil", "\x0D"},
        {"collection", collection},
        {"single", "\x0F" + Int32Bytes(0x3F800000)},
        {"currency", "\x10" + std::string(8, '\x01')},
        {"date", "\x11" + std::string(8, '\x02')},
        {"wide string", "\x12" + Int32Bytes(2) + std::string("a\0b\0", 4)},
        {"int64", "\x13" + std::string(8, '\x03')},
    };
    for (const auto& [what, value] : values) {
        TTestRoot root;
        const auto result = Load(root, RootStream(Prop("Count", "\x02\x01") + Prop("Unknown", value) +
                                                  Prop("Enabled", "\x09") + Prop("Nested.UnknownWithALongerName", value) +
                                                  Prop("Count", "\x02\x03")));
        EXPECT_EQ(result.Failure, "") << what;
        EXPECT_EQ(result.Errors, (std::vector<std::string>{"There is no property.", "There is no property."})) << what;
        EXPECT_TRUE(root.Enabled) << what;
        EXPECT_EQ(root.Count, 3) << what;
    }
}

TEST(PropertyReader, PropertyErrorsAreOfferedToTheHookOrEndTheLoad) {
    struct Case {
        const char* what;
        std::string record;
        const char* message; // "" when the record is accepted
    };
    const Case cases[] = {
        {"integer from int16", Prop("Count", "\x03\x10\x27"), ""},
        {"integer from a string", Prop("Count", "\x06" + Str("12")), "Illegal property value"},
        {"32-bit integer from int64", Prop("Count", "\x13" + std::string(8, '\0')), "Illegal property value"},
        {"64-bit integer from int64", Prop("Big", "\x13" + std::string(8, '\x01')), ""},
        {"float from an integer", Prop("Ratio", "\x02\x02"), ""},
        {"float that is not finite", Prop("Ratio", "\x05" + std::string("\0\0\0\0\0\0\0\x80\xFF\x7F", 10)),
         "Illegal property value"},
        {"float from a string", Prop("Ratio", "\x06" + Str("1.0")), "Illegal property value"},
        {"enumeration by name, any case", Prop("Color", "\x07" + Str("testcolor_red")), ""},
        {"enumeration, unknown name", Prop("Color", "\x07" + Str("TestColor_Pink")), "Illegal property value"},
        {"enumeration from False", Prop("Color", "\x08"), "Illegal property value"},
        {"Boolean from an identifier", Prop("Enabled", "\x07" + Str("True")), ""},
        {"Boolean from nil", Prop("Enabled", "\x0D"), "Illegal property value"},
        {"string from a long string", Prop("Name2", "\x0C" + Int32Bytes(1) + "z"), ""},
        {"string from a wide string", Prop("Name2", "\x12" + Int32Bytes(1) + std::string("\xE9\x00", 2)), ""},
        {"string from an integer", Prop("Name2", "\x02\x01"), "Illegal property value"},
        {"collection from a list", Prop("Items", std::string("\x01\x00", 2)), "Illegal property value"},
        {"sub-object given a value", Prop("Middle", "\x0D"), "Illegal property value"},
        {"path through a value", Prop("Count.Value", "\x02\x01"), "Illegal property path"},
        {"path through nothing", Prop("Nope.Value", "\x02\x01"), "There is no property."},
        {"unknown name", Prop("Nope", "\x02\x01"), "There is no property."},
        {"names ignore case", Prop("middle.leaf.DEPTH", "\x02\x04"), ""},
        {"names longer than any tag", Prop("Middle.Leaf.Depth.Too.Long", "\x02\x04"), "Illegal property path"},
        {"binary of the wrong type", Prop("Middle.Leaf.Blob", "\x02\x01"), "Illegal property value"},
    };
    for (const auto& c : cases) {
        TTestRoot handled;
        const auto result = Load(handled, RootStream(c.record + Prop("Enabled", "\x09")));
        EXPECT_EQ(result.Failure, "") << c.what;
        EXPECT_TRUE(handled.Enabled) << c.what << ": the next property must still be read";
        if (c.message[0] == '\0') {
            EXPECT_TRUE(result.Errors.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(result.Errors, std::vector<std::string>{c.message}) << c.what;
        TTestRoot unhandled;
        const auto stopped = Load(unhandled, RootStream(c.record + Prop("Enabled", "\x09")), false);
        EXPECT_EQ(stopped.Failure, c.message) << c.what;
        EXPECT_FALSE(unhandled.Enabled) << c.what;
    }
}

TEST(PropertyReader, ValuesReadIntoTheirProperties) {
    TTestRoot root;
    Load(root, RootStream(Prop("Color", "\x07" + Str("TestColor_Red")) + Prop("Name2", "\x12" + Int32Bytes(2) +
                                                                               std::string("\xE9\x00\x3D\xD8", 4)) +
                          Prop("Middle.Leaf.Blob", "\x0A" + Int32Bytes(2) + "\x05\x06")));
    EXPECT_EQ(root.Color, TestColor_Red);
    EXPECT_EQ(root.Name2, "\xC3\xA9\xEF\xBF\xBD"); // U+00E9, then an unpaired surrogate
    EXPECT_EQ(root.Middle.Leaf.Blob, (std::array<uint8_t, 4>{5, 6, 0, 0}));
}

TEST(PropertyReader, AnEmptyCollectionKeepsTheItemsANonEmptyOneReplacesThem) {
    TTestRoot root;
    root.Items.Add().Value = 1;
    root.Items.Add().Value = 2;
    Load(root, RootStream(Prop("Items", std::string("\x0E\x00", 2))));
    ASSERT_EQ(root.Items.Count(), 2);

    const std::string oneItem = "\x0E\x01" + Prop("Value", "\x02\x09") + std::string(2, '\0');
    Load(root, RootStream(Prop("Items", oneItem)));
    ASSERT_EQ(root.Items.Count(), 1);
    EXPECT_EQ(root.Items[0].Value, 9);
}

TEST(PropertyReader, DamagedStreamsFailWithTheirMessages) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    std::string deepList = Prop("Unknown", std::string(100, '\x01') + std::string(101, '\0'));
    const Case cases[] = {
        {"wrong signature", "TPF1" + Str("TTestRoot") + Str("") + std::string(2, '\0'), "Illegal stream format"},
        {"other root class", RootStream("", "TOther"), "Illegal stream format"},
        {"unknown value tag", RootStream(Prop("Unknown", "\x20")), "Illegal stream format"},
        {"lists nested too deeply", RootStream(deepList), "Illegal stream format"},
        {"item without its list tag", RootStream(Prop("Items", "\x0E\x02\x01\x02" + std::string(2, '\0'))),
         "Illegal stream format"},
        {"long string longer than the stream", RootStream(Prop("Name2", "\x0C" + Int32Bytes(0x7FFFFFF0) + "abc")),
         "Stream reading error"},
        {"negative binary length", RootStream(Prop("Unknown", "\x0A" + Int32Bytes(-5))), "Stream reading error"},
        {"no end bytes", "TPF0" + Str("TTestRoot") + Str(""), "Stream reading error"},
    };
    for (const auto& c : cases) {
        TTestRoot root;
        EXPECT_EQ(Load(root, c.bytes).Failure, c.message) << c.what;
    }
}

TEST(PropertyReader, EveryTruncationOfAStreamFailsCleanly) {
    TTestRoot original;
    original.Name2 = std::string(280, 'n');
    original.Middle.Leaf.Blob = {1, 2, 3, 4};
    original.Items.Add().Label = "item";
    TLargeMemoryStream stream;
    WriteObjectStream(stream, original, "");
    const std::string bytes = BytesOf(stream);
    for (size_t length = 0; length < bytes.size(); ++length) {
        TTestRoot root;
        const std::string failure = Load(root, bytes.substr(0, length)).Failure;
        EXPECT_TRUE(failure == "Stream reading error" || failure == "Illegal stream format") << length << ": " << failure;
    }
}

TEST(PropertyReader, PrefixAndChildObjectsAreAcceptedAndChildrenSkipped) {
    const std::string child = Str("TChild") + Str("c1") + Prop("X", "\x02\x01") + std::string(1, '\0') +
                              Str("TGrandChild") + Str("") + std::string(2, '\0') + std::string(1, '\0');
    const std::string bytes = "TPF0" + std::string("\xF2\x02\x03", 3) + Str("TTestRoot") + Str("R") +
                              Prop("Count", "\x02\x02") + std::string(1, '\0') + child + std::string(1, '\0');
    TTestRoot root;
    const auto result = Load(root, bytes);
    EXPECT_EQ(result.Failure, "");
    EXPECT_EQ(root.Count, 2);
    EXPECT_EQ(root.Name, "R");
}

TEST(Persistent, AssignCopiesDeeplyAndRefusesOtherClasses) {
    TTestRoot source;
    source.Count = 11;
    source.Middle.Leaf.Blob = {4, 4, 4, 4};
    source.Items.Add().Label = "a";
    TTestRoot target;
    target.Items.Add();
    target.Items.Add();
    target.Assign(source);
    EXPECT_TRUE(target.Equals(source));
    source.Items[0].Label = "changed";
    EXPECT_EQ(target.Items[0].Label, "a");

    target.ResetDefaults();
    EXPECT_TRUE(target.Equals(TTestRoot()));
    EXPECT_EQ(target.Count, 7);

    TTestLeaf leaf;
    try {
        target.Assign(leaf);
        FAIL() << "Assign from another class must fail";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "Cannot assign a TTestLeaf to a TTestRoot");
    }
}

} // namespace
} // namespace quillset::testing
