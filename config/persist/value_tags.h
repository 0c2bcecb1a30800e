// The value tags of the binary property stream: one byte before each value saying how its
// payload is laid out. Multi-byte numbers are little-endian.
#pragma once

#include <cstdint>

namespace quillset {

enum TValueType : uint8_t {
    vaNull = 0,        // no payload; also ends lists, collections and property runs
    vaList = 1,        // values until a vaNull
    vaInt8 = 2,        // 1 byte, signed
    vaInt16 = 3,       // 2 bytes, signed
    vaInt32 = 4,       // 4 bytes, signed
    vaExtended = 5,    // 10 bytes, 80-bit IEEE extended precision
    vaString = 6,      // 1 length byte, characters
    vaIdent = 7,       // 1 length byte, characters
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,     // 4-byte length, bytes
    vaSet = 11,        // short strings until an empty one
    vaLString = 12,    // 4-byte length, characters
    vaNil = 13,
    vaCollection = 14, // items until vaNull: [integer index] vaList, properties, 0
    vaSingle = 15,     // 4 bytes, IEEE single
    vaCurrency = 16,   // 8 bytes, 64-bit integer of value x 10000
    vaDate = 17,       // 8 bytes, IEEE double
    vaWString = 18,    // 4-byte length in characters, 2 bytes per character
    vaInt64 = 19,      // 8 bytes, signed
};

constexpr uint8_t kLastValueType = vaInt64;

// The four bytes every object tree starts with.
constexpr char kFilerSignature[4] = {'T', 'P', 'F', '0'};

// Resource header: 0xFF, type 10 (16-bit), the upper-case name and a 0 byte, flags 0x1030
// (16-bit), then the 32-bit size of everything after the header.
constexpr uint8_t kResourceHeaderMark = 0xFF;
constexpr uint16_t kResourceTypeRCData = 10;
constexpr uint16_t kResourceFlags = 0x1030;
constexpr int kResourceNameMaxLength = 63;

// Object prefix flags (a prefix byte is present only when it is 0xF0 or above).
constexpr uint8_t kObjectPrefixMark = 0xF0;
constexpr uint8_t ffInherited = 1;
constexpr uint8_t ffChildPos = 2;
constexpr uint8_t ffInline = 4;

} // namespace quillset
