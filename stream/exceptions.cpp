#include "stream/exceptions.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace quillset {

EOSError::EOSError(int errorCode)
    : Exception(FormatText("System error %d: %s", errorCode, std::strerror(errorCode))), ErrorCode(errorCode) {}

void RaiseOSError(int errorCode) {
    if (errorCode == ENOSPC || errorCode == EFBIG || errorCode == EDQUOT)
        throw EDiskFullError(errorCode);
    throw EOSError(errorCode);
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

} // namespace quillset
