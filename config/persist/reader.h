// Reading binary property streams into existing objects.
//
// A property record names a path ("MPEGConfig.Video.Width"): every name before the last must be
// a published sub-object (or collection) of the current object; the last is a published
// property of the object reached, or one of its defined properties. Integer properties accept
// the integer tags; float properties the extended tag (finite values only) or an integer;
// strings short, long and wide strings; enumerations and Booleans an identifier that is one of
// the type's names (False, True, nil and Null may also come as their own tags); collections a
// collection value.
//
// A property that cannot be read ("There is no property.", "Illegal property value",
// "Illegal property path") has its value skipped and is offered to OnError; when OnError does
// not set handled, reading stops with EReadError carrying that message. Structural damage
// raises EInvalidImage ("Illegal stream format"); running out of data raises EReadError
// ("Stream reading error"). No length read from the stream is trusted beyond the data present.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "config/persist/persistent.h"
#include "config/persist/value_tags.h"

namespace quillset {

class TLargeStream;
class TCollection;

class TReader : public TFiler {
public:
    using TErrorHook = std::function<void(const std::string& message, bool& handled)>;

    // Reads from the stream's current position up to its current size.
    explicit TReader(TLargeStream& stream);

    TErrorHook OnError;

    // Values.
    TValueType ReadValue();
    TValueType NextValue();
    // True when the next byte is 0: the end of a list, a collection, an item or a run of
    // property records (where the next byte is otherwise a name's length, not a tag).
    bool EndOfList();
    void ReadListEnd();
    int64_t ReadInteger();  // tags 2, 3, 4 and 19
    bool ReadBoolean();
    double ReadFloat();     // tag 5 or an integer
    std::string ReadString();
    std::string ReadIdent(); // tag 7; tags 8, 9, 13 and 0 read as False, True, nil and Null
    std::string ReadStr();   // one length byte and the characters
    void SkipValue();
    // Raw payload bytes; asking for more than the stream holds raises EReadError.
    void ReadBytes(void* buffer, int64_t count);
    // A 32-bit length that must be 0 or more and no larger than the data left.
    int64_t ReadInt32Length();

    // Object trees.
    void ReadSignature();
    // Signature, prefix, class name (must be the root's, ignoring case), object name (stored
    // into a TComponent root), properties, then child objects, which are skipped.
    void ReadRootObject(TPersistent& root);
    // The optional prefix byte of an object record: returns its flags (0 without a prefix) and
    // the child position when ffChildPos is set (else -1).
    uint8_t ReadPrefix(int64_t& childPosition);
    void ReadProperty(TPersistent& instance);
    void ReadCollection(TCollection& collection);

    void DefineProperty(const char* name, const TReadValueProc& readData, const TWriteValueProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const char* name, const TReadBinaryProc& readData, const TWriteBinaryProc& writeData,
                              bool hasData) override;

    TLargeStream& GetStream() { return Stream; }

private:
    // Lists, sets, collections and child objects may nest only this deep.
    static constexpr int kMaxDepth = 64;

    void SkipBytes(int64_t count);
    int64_t Remaining();
    uint8_t ReadByte();
    void ReadPropValue(TPersistent& instance, const TPropertyInfo& property);
    void ReadPropertyPath(TPersistent& instance, const std::string& path);
    void SkipCollection();
    void SkipObject();
    // Counts one level of nesting for its lifetime; too deep raises EInvalidImage.
    struct TNesting {
        explicit TNesting(TReader& reader);
        ~TNesting() { --Reader.Depth; }
        TNesting(const TNesting&) = delete;
        TNesting& operator=(const TNesting&) = delete;
        TReader& Reader;
    };

    TLargeStream& Stream;
    int64_t End;
    int Depth = 0;
    std::string PendingName; // the defined property being looked for
    bool PendingFound = false;
};

// Checks 0xFF and type 10, then skips the name and the fixed fields of a resource header;
// anything else raises EInvalidImage.
void ReadResourceHeader(TLargeStream& stream);

} // namespace quillset
