// The root of the byte-stream family: signed 64-bit positions and sizes, so that multi-gigabyte
// MPEG outputs and temporary files go through one interface.
#pragma once

#include <cstdint>

#include "stream/exceptions.h"

namespace quillset {

// Size errors of streams: "This stream size can not be changed." and
// "New size of the stream is not correct.".
class ELargeStreamError : public Exception {
public:
    using Exception::Exception;
};

extern const char* const SStreamSizeCannotChange; // "This stream size can not be changed."
extern const char* const SStreamSizeNotCorrect;   // "New size of the stream is not correct."
extern const char* const SStreamReadError;        // "Stream reading error"
extern const char* const SStreamWriteError;       // "Stream writing error"

// Seek origins.
constexpr uint16_t soFromBeginning = 0;
constexpr uint16_t soFromCurrent = 1;
constexpr uint16_t soFromEnd = 2;

class TLargeStream {
public:
    TLargeStream() = default;
    TLargeStream(const TLargeStream&) = delete;
    TLargeStream& operator=(const TLargeStream&) = delete;
    virtual ~TLargeStream() = default;

    // Default: remembers the position, seeks to the end and back.
    virtual int64_t GetSize();
    virtual void GetPositionAndSize(int64_t& position, int64_t& size);
    // Transfer up to count bytes; the result is the number transferred (0 on failure).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // Origins soFromBeginning, soFromCurrent, soFromEnd; returns the new position.
    virtual int64_t Seek(int64_t offset, uint16_t origin) = 0;
    // Default: raises ELargeStreamError "This stream size can not be changed.".
    virtual void SetSize(int64_t newSize);

    int64_t GetPosition() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t position) { Seek(position, soFromBeginning); }

    // Whole transfers: a short count raises EReadError / EWriteError.
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);

    // count < 0 copies until Source is exhausted, count > 0 exactly count bytes (4096 at a time).
    void CopyFrom(TLargeStream& source, int64_t count);
};

// Marks the streams on which Seek may go anywhere; the others are written front to back only.
class TLargeRandomStream : public TLargeStream {};

// Clamps a position into 0 .. size.
inline int64_t ClampPosition(int64_t position, int64_t size) {
    return position < 0 ? 0 : (position > size ? size : position);
}

// The target position of a seek on a stream that keeps its own position and size;
// an unknown origin raises EAbstractError.
int64_t SeekTarget(int64_t offset, uint16_t origin, int64_t position, int64_t size);

} // namespace quillset
