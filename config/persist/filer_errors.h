// The errors of reading and writing property streams, and of copying persistent objects.
#pragma once

#include <string>

#include "stream/exceptions.h"

namespace quillset {

extern const char* const SInvalidImage;          // "Illegal stream format"
extern const char* const SUnknownProperty;       // "There is no property."
extern const char* const SInvalidPropertyValue;  // "Illegal property value"
extern const char* const SInvalidPropertyPath;   // "Illegal property path"
extern const char* const SAssignError;           // "Cannot assign a %s to a %s"

// Errors of the object-tree layer of a property stream.
class EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The stream is not a property stream of the expected kind: wrong head, resource header,
// signature, root class, unknown value tag, or a damaged text form.
class EInvalidImage : public EFilerError {
public:
    using EFilerError::EFilerError;
};

// A damaged text form. The message is "Illegal stream format"; Line (from 1) and Detail say
// where and what, for callers that show more.
class EParserError : public EInvalidImage {
public:
    EParserError(int line, const std::string& detail)
        : EInvalidImage(SInvalidImage), Line(line), Detail(detail) {}

    int Line;
    std::string Detail;
};

// One property that cannot be read: unknown name, wrong value type or a path through something
// that is not an object. The reader offers it to the error hook; when the hook does not handle
// it, reading stops with an EReadError carrying the same message.
class EPropertyError : public EReadError {
public:
    using EReadError::EReadError;
};

// Assign between objects of different classes.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace quillset
