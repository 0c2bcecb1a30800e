// The encoding core's error classes. Each carries a 32-bit code of the form 0xD06130xx from which
// its message is taken; placeholders of the message are filled by the raiser's arguments.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "stream/exceptions.h"

namespace quillset {

// One argument of a message placeholder.
using TErrorArgument = std::variant<int64_t, double, std::string>;

// The message text of a code (with "%s" of the package codes 0xD0613036 / 0xD0613038 left for
// the argument), or "Unknown error (0x%.8X)" already formatted with the code.
std::string GetErrorCodeText(uint32_t code);

// printf-like formatting of a message with a list of arguments. Each conversion (%d, %s, %x,
// %.5g, ...) takes the next argument; a missing or mistyped argument is converted rather than
// misread, so a wrong call can never read stray memory.
std::string FormatErrorText(const std::string& format, const std::vector<TErrorArgument>& args);

// The complete message of a code with its arguments.
std::string BuildErrorMessage(uint32_t code, const std::vector<TErrorArgument>& args);

namespace detail {
inline TErrorArgument ToErrorArgument(const std::string& value) { return value; }
inline TErrorArgument ToErrorArgument(const char* value) { return std::string(value); }
inline TErrorArgument ToErrorArgument(double value) { return value; }
inline TErrorArgument ToErrorArgument(float value) { return static_cast<double>(value); }
inline TErrorArgument ToErrorArgument(long double value) { return static_cast<double>(value); }
template <typename T>
TErrorArgument ToErrorArgument(T value) requires std::is_integral_v<T> { return static_cast<int64_t>(value); }
} // namespace detail

class EMPEGError : public Exception {
public:
    // Create (Code) and CreateFmt (Code, Args).
    template <typename... Args>
    explicit EMPEGError(uint32_t code, const Args&... args)
        : Exception(BuildErrorMessage(code, {detail::ToErrorArgument(args)...})), ErrorCode(code) {}

    uint32_t ErrorCode;
};

// Video encoder configuration and input.
class EMPEGVideoEncoderError : public EMPEGError {
public:
    using EMPEGError::EMPEGError;
};

// Picture import and export.
class EMPEGVideoEncoderYUVError : public EMPEGVideoEncoderError {
public:
    using EMPEGVideoEncoderError::EMPEGVideoEncoderError;
};

// MPEG audio encoder.
class EMPEGAudioEncoderError : public EMPEGError {
public:
    using EMPEGError::EMPEGError;
};

// Multiplexer, packetizers and demultiplexer.
class EMPEGSystemEncoderError : public EMPEGError {
public:
    using EMPEGError::EMPEGError;
};

// Linear PCM encoder and WAVE input conversion.
class ELinearPCMAudioEncoderError : public EMPEGAudioEncoderError {
public:
    using EMPEGAudioEncoderError::EMPEGAudioEncoderError;
};

// AC-3 encoder.
class EDolbyAC3AudioEncoderError : public EMPEGAudioEncoderError {
public:
    using EMPEGAudioEncoderError::EMPEGAudioEncoderError;
};

// The codes of the message table.
enum : uint32_t {
    MPEGError_IllegalSystemStream = 0xD061300D,
    MPEGError_IllegalVideoStream = 0xD061300E,
    MPEGError_IllegalAudioStream = 0xD061300F,
    MPEGError_IllegalAC3Stream = 0xD0613010,
    MPEGError_MPEG2NotSupported = 0xD0613011,
    MPEGError_YUVFormatMPEG1 = 0xD0613014,
    MPEGError_IllegalResolution = 0xD0613015,
    MPEGError_IllegalVideoFormat = 0xD0613016,
    MPEGError_InvalidAspectRatio = 0xD0613017,
    MPEGError_InvalidFrameRate = 0xD0613018,
    MPEGError_InterlaceMPEG1 = 0xD0613019,
    MPEGError_PulldownFrameRate = 0xD061301A,
    MPEGError_InversePulldownFrameRate = 0xD061301B,
    MPEGError_BitrateTooLarge = 0xD061301C,
    MPEGError_MaxBelowMinBitrate = 0xD061301D,
    MPEGError_InvalidVBVBufferSize = 0xD061301E,
    MPEGError_InvalidDCPrecision = 0xD061301F,
    MPEGError_ProfileLevelNotSupported = 0xD0613020,
    MPEGError_ProfileNeeds420 = 0xD0613021,
    MPEGError_DCPrecision11NeedsHigh = 0xD0613022,
    MPEGError_LevelFrameRate = 0xD0613023,
    MPEGError_LevelWindowSize = 0xD0613024,
    MPEGError_LevelSamplingRate = 0xD0613025,
    MPEGError_LevelBitrate = 0xD0613026,
    MPEGError_LevelVBVBufferSize = 0xD0613027,
    MPEGError_IllegalPicture = 0xD0613029,
    MPEGError_Layer3NotSupported = 0xD061302C,
    MPEGError_IllegalBitrate = 0xD061302D,
    MPEGError_InvalidChannelMode = 0xD061302E,
    MPEGError_IllegalSampleFormat = 0xD061302F,
    MPEGError_IllegalSampleBlockFormat = 0xD0613030,
    MPEGError_SystemMPEG2NotSupported = 0xD0613031,
    MPEGError_StreamKindNotAllowed = 0xD0613032,
    MPEGError_ElementaryTooManyStreams = 0xD0613033,
    MPEGError_StreamIDNotUsable = 0xD0613034,
    MPEGError_InvalidRateControl = 0xD0613035,
    MPEGError_CantLoadLibrary = 0xD0613036,
    MPEGError_NoChromaQuantMatrix = 0xD0613037,
    MPEGError_CantLoadPentium3Package = 0xD0613038,
    MPEGError_NoHalfPelOptimization = 0xD0613039,
    MPEGError_NoChromaLowPass = 0xD061303A,
    MPEGError_IllegalLinearPCMStream = 0xD061303B,
    MPEGError_InvalidSubPictureStream = 0xD061303C,
};

} // namespace quillset
