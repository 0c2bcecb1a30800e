// The error code an action raises, for tests of code that reports failures as EMPEGError.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "encoder/framework/mpeg_errors.h"

namespace quillset::testing {

// Runs the action; the ErrorCode of the TError it raises (0 when it raises none), with the
// error's message in *message when asked for. Other exceptions pass through.
template <typename TError = EMPEGError>
uint32_t CodeOf(const std::function<void()>& action, std::string* message = nullptr) {
    try {
        action();
    } catch (const TError& error) {
        if (message != nullptr)
            *message = error.Message();
        return error.ErrorCode;
    }
    return 0;
}

} // namespace quillset::testing
