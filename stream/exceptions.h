// The exception classes of the platform layer: the root of every error the system raises, and
// the stream, file and operating-system errors the byte streams report.
#pragma once

#include <stdexcept>
#include <string>

namespace quillset {

// Root of all errors: a message text and a help context, as the user interface shows them.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message, int helpContext = 0)
        : std::runtime_error(message), HelpContext(helpContext) {}

    std::string Message() const { return what(); }

    int HelpContext;
};

// A call reached an operation that the object's class does not implement.
class EAbstractError : public Exception {
public:
    using Exception::Exception;
};

// Short transfers and failed opens of streams.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// A failed operating-system call that the caller cannot repair; ErrorCode is the errno value.
class EOSError : public Exception {
public:
    explicit EOSError(int errorCode);
    EOSError(int errorCode, const std::string& message) : Exception(message), ErrorCode(errorCode) {}

    int ErrorCode;
};

// The file system has no room left (ENOSPC) or the file cannot grow that large (EFBIG).
// The encode run turns it into its disk-space message.
class EDiskFullError : public EOSError {
public:
    using EOSError::EOSError;
};

// Raises EOSError, or EDiskFullError when the code means that the disk is full.
[[noreturn]] void RaiseOSError(int errorCode);

// printf-style formatting into a std::string, for the "%s" messages of the platform layer.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace quillset
