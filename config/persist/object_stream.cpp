#include "config/persist/object_stream.h"

#include <cstring>
#include <string>

#include "config/persist/filer_errors.h"
#include "config/persist/persistent.h"
#include "config/persist/reader.h"
#include "config/persist/text_to_binary.h"
#include "config/persist/value_tags.h"
#include "config/persist/writer.h"
#include "stream/large_stream.h"
#include "stream/memory_stream.h"

namespace quillset {

namespace {

std::string ReadUpTo(TLargeStream& stream, int count) {
    std::string bytes(static_cast<size_t>(count), '\0');
    int32_t got = 0;
    while (got < count) {
        const int32_t n = stream.Read(bytes.data() + got, count - got);
        if (n <= 0)
            break;
        got += n;
    }
    bytes.resize(static_cast<size_t>(got));
    return bytes;
}

bool IsBinaryHead(TLargeStream& stream, int64_t start, std::string_view resourceName, std::string_view className) {
    const std::string head = ReadUpTo(stream, 79);
    if (head.size() < 3 || static_cast<uint8_t>(head[0]) != kResourceHeaderMark || head[1] != '\x0A' || head[2] != 0)
        return false;
    const std::string_view rest = std::string_view(head).substr(3, 76);
    const std::string_view name = rest.substr(0, rest.find('\0'));
    if (!SameIdentifier(name, resourceName))
        throw EInvalidImage(SInvalidImage);
    stream.SetPosition(start + static_cast<int64_t>(name.size()) + 10);
    const std::string object = ReadUpTo(stream, 80);
    if (object.size() < 5 + className.size() || std::memcmp(object.data(), kFilerSignature, 4) != 0 ||
        static_cast<uint8_t>(object[4]) != className.size() ||
        !SameIdentifier(std::string_view(object).substr(5, className.size()), className))
        throw EInvalidImage(SInvalidImage);
    return true;
}

void CheckTextHead(TLargeStream& stream, int64_t start, std::string_view className) {
    stream.SetPosition(start);
    const std::string head = ReadUpTo(stream, 79);
    size_t first = 0;
    while (first < head.size() && static_cast<uint8_t>(head[first]) <= ' ')
        ++first;
    const std::string_view text = std::string_view(head).substr(first);
    const size_t space = text.find(' ');
    if (text.size() < 6 || !SameIdentifier(text.substr(0, 6), "object") || space == std::string_view::npos ||
        !SameIdentifier(text.substr(space + 1, className.size()), className))
        throw EInvalidImage(SInvalidImage);
}

void ReadBinary(TLargeStream& stream, TPersistent& root, bool skipErrors) {
    ReadResourceHeader(stream);
    TReader reader(stream);
    if (skipErrors)
        reader.OnError = [](const std::string&, bool& handled) { handled = true; };
    reader.ReadRootObject(root);
}

} // namespace

bool CheckStreamHead(TLargeStream& stream, std::string_view resourceName, std::string_view className) {
    const int64_t start = stream.GetPosition();
    bool binary = false;
    try {
        binary = IsBinaryHead(stream, start, resourceName, className);
        if (!binary)
            CheckTextHead(stream, start, className);
    } catch (...) {
        stream.SetPosition(start);
        throw;
    }
    stream.SetPosition(start);
    return binary;
}

void LoadObjectStream(TLargeStream& stream, TPersistent& root, std::string_view resourceName) {
    const int64_t start = stream.GetPosition();
    const bool binary = CheckStreamHead(stream, resourceName, root.ClassName());
    root.ResetDefaults();
    if (binary) {
        // A stream with a binary head is not text: its own error says best what is wrong.
        ReadBinary(stream, root, true);
        return;
    }
    stream.SetPosition(start);
    TLargeMemoryStream converted;
    ObjectTextToBinary(stream, converted);
    converted.SetPosition(0);
    ReadBinary(converted, root, true);
}

void SaveObjectStream(TLargeStream& stream, const TPersistent& root, std::string_view resourceName) {
    WriteObjectStream(stream, root, resourceName);
}

} // namespace quillset
