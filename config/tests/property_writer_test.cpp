#include "config/persist/writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

#include "config/persist/reader.h"
#include "config/tests/stream_bytes.h"

namespace quillset::testing {
namespace {

std::string Written(const std::function<void(TWriter&)>& write) {
    TLargeMemoryStream stream;
    TWriter writer(stream);
    write(writer);
    return BytesOf(stream);
}

TEST(PropertyWriter, IntegersTakeTheSmallestTag) {
    const std::pair<int64_t, std::string> cases[] = {
        {0, std::string("\x02\x00", 2)},
        {127, "\x02\x7F"},
        {128, std::string("\x03\x80\x00", 3)},
        {-128, "\x02\x80"},
        {-129, "\x03\x7F\xFF"},
        {32767, "\x03\xFF\x7F"},
        {32768, std::string("\x04\x00\x80\x00\x00", 5)},
        {-32769, "\x04\xFF\x7F\xFF\xFF"},
        {std::numeric_limits<int32_t>::min(), std::string("\x04\x00\x00\x00\x80", 5)},
        {int64_t{1} << 31, std::string("\x13\x00\x00\x00\x80\x00\x00\x00\x00", 9)},
    };
    for (const auto& [value, bytes] : cases) {
        EXPECT_EQ(Written([&](TWriter& w) { w.WriteInteger(value); }), bytes) << value;
        auto stream = StreamOf(bytes);
        TReader reader(*stream);
        EXPECT_EQ(reader.ReadInteger(), value);
    }
}

TEST(PropertyWriter, StringsUpTo255BytesAreShort) {
    const std::string s255(255, 'a'), s256(256, 'b');
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(s255); }), "\x06\xFF" + s255);
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(s256); }), std::string("\x0C\x00\x01\x00\x00", 5) + s256);
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(""); }), std::string("\x06\x00", 2));
    for (const std::string& text : {s255, s256}) {
        auto stream = StreamOf(Written([&](TWriter& w) { w.WriteString(text); }));
        TReader reader(*stream);
        EXPECT_EQ(reader.ReadString(), text);
    }
}

// The (name, tag) pairs of a run of property records, read back with the reader's own skipping.
std::vector<std::pair<std::string, int>> Records(const std::string& bytes) {
    auto stream = StreamOf(bytes);
    TReader reader(*stream);
    std::vector<std::pair<std::string, int>> records;
    while (stream->GetPosition() < stream->GetSize()) {
        std::string name = reader.ReadStr();
        const int tag = reader.NextValue();
        reader.SkipValue();
        records.emplace_back(std::move(name), tag);
    }
    return records;
}

TEST(PropertyWriter, WritesWhatReadingBackNeedsInDeclarationOrder) {
    TTestRoot root;
    const auto records = Records(Written([&](TWriter& w) { w.WriteProperties(root); }));
    // Quiet (stream default False) and Ratio (0.0 with default 0.0) and the empty string are
    // left out; Gain is written although 1.5 is its default, Enabled although it is False.
    const std::vector<std::pair<std::string, int>> expected = {
        {"Count", vaInt8},       {"Big", vaInt8},          {"Enabled", vaFalse},
        {"Color", vaIdent},      {"Gain", vaExtended},     {"Middle.Flag", vaFalse},
        {"Middle.Leaf.Depth", vaInt8}, {"Items", vaCollection},
    };
    EXPECT_EQ(records, expected);
}

TEST(PropertyWriter, ZeroFloatsAndEmptyStringsAreWrittenWhenTheirDefaultDiffers) {
    TTestRoot root;
    root.Gain = 0.0;  // default 1.5: must be written, or a reader would see 1.5
    root.Quiet = true;
    root.Ratio = 0.25;
    root.Name2 = "x";
    const auto records = Records(Written([&](TWriter& w) { w.WriteProperties(root); }));
    std::vector<std::string> names;
    for (const auto& record : records)
        names.push_back(record.first);
    EXPECT_EQ(names, (std::vector<std::string>{"Count", "Big", "Enabled", "Quiet", "Color", "Ratio", "Gain", "Name2",
                                               "Middle.Flag", "Middle.Leaf.Depth", "Items"}));
}

TEST(PropertyWriter, DefinedPropertiesFollowUnderTheSubObjectPath) {
    TTestRoot root;
    root.Middle.Leaf.Blob = {1, 2, 3, 4};
    const std::string bytes = Written([&](TWriter& w) { w.WriteProperties(root); });
    const std::string blob = Str("Middle.Leaf.Depth") + std::string("\x02\x00", 2) + Str("Middle.Leaf.Blob") +
                             std::string("\x0A\x04\x00\x00\x00\x01\x02\x03\x04", 9);
    EXPECT_NE(bytes.find(blob), std::string::npos);
}

TEST(PropertyWriter, CollectionItemsStartTheirPathAfresh) {
    TTestRoot root;
    root.Items.Add().Value = 300;
    root.Items.Add().Label = "L";
    const std::string bytes = Written([&](TWriter& w) { w.WriteProperties(root); });
    const std::string items = Str("Items") + "\x0E" + "\x01" + Str("Value") + std::string("\x03\x2C\x01", 3) +
                              std::string("\x00\x01", 2) + Str("Value") + std::string("\x02\x00", 2) + Str("Label") +
                              "\x06" + Str("L") + std::string("\x00\x00", 2);
    EXPECT_EQ(bytes.substr(bytes.size() - items.size()), items);
}

TEST(PropertyWriter, ResourceHeaderCountsTheBytesAfterIt) {
    TTestRoot root;
    root.Name = "Root1";
    TLargeMemoryStream stream;
    WriteObjectStream(stream, root, "Test_Res");
    const std::string bytes = BytesOf(stream);
    const std::string head = std::string("\xFF\x0A\x00", 3) + "TEST_RES" + std::string("\x00\x30\x10", 3);
    ASSERT_EQ(bytes.substr(0, head.size()), head);
    const size_t headerLength = 10 + 8;
    const uint32_t size = static_cast<uint8_t>(bytes[14]) | static_cast<uint8_t>(bytes[15]) << 8 |
                          static_cast<uint8_t>(bytes[16]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[17])) << 24;
    EXPECT_EQ(size, bytes.size() - headerLength);
    EXPECT_EQ(bytes.substr(headerLength, 4 + 10 + 6), "TPF0" + Str("TTestRoot") + Str("Root1"));
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("\x00\x00", 2)); // end of properties, no children
}

} // namespace
} // namespace quillset::testing
