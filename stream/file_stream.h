// Streams over operating-system files: the plain handle stream, the file stream that opens a
// path with an open-mode word, and the choice of file-stream class for outputs and temporaries.
#pragma once

#include <memory>
#include <string>

#include "stream/large_stream.h"

namespace quillset {

// Open-mode word: fmCreate creates or truncates; otherwise the low two bits are the access and
// bits 4 to 7 the sharing (kept for callers, meaningless on POSIX and ignored).
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// Flags and attributes of a file open.
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr uint32_t FILE_FLAG_DELETE_ON_CLOSE = 0x04000000; // unlinked when the stream goes
constexpr uint32_t FILE_FLAG_NO_BUFFERING = 0x20000000;    // O_DIRECT where the file system allows

extern const char* const SFCreateError; // "File %s can not be created."
extern const char* const SFOpenError;   // "File %s can not be opened."

// A stream over an open file descriptor. The descriptor belongs to the caller.
class TLargeHandleStream : public TLargeRandomStream {
public:
    explicit TLargeHandleStream(int handle) : Handle(handle) {}

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    // -1 when the system refuses the move.
    int64_t Seek(int64_t offset, uint16_t origin) override;
    // Sets the end of file at newSize. Growing reserves the disk space for real, so that a full
    // disk is reported here (EDiskFullError) and not in the middle of a later write.
    void SetSize(int64_t newSize) override;

    int GetHandle() const { return Handle; }

protected:
    int Handle;
};

// A file opened by name; the descriptor is closed (and, with FILE_FLAG_DELETE_ON_CLOSE, the file
// removed) when the stream is destroyed.
class TLargeFileStream : public TLargeHandleStream {
public:
    // Raises EFCreateError / EFOpenError when the file cannot be created / opened.
    TLargeFileStream(const std::string& fileName, uint32_t flagsAndAttributes, uint16_t mode);
    ~TLargeFileStream() override;

    // The "virtual constructor": every file-stream class provides one of this shape.
    static std::unique_ptr<TLargeFileStream> New(const std::string& fileName, uint32_t flagsAndAttributes,
                                                 uint16_t mode);

    const std::string& GetFileName() const { return FileName; }
    bool GetDeleteOnClose() const { return (FlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0; }

protected:
    // For subclasses that open the file themselves.
    struct NoOpen {};
    TLargeFileStream(NoOpen, const std::string& fileName, uint32_t flagsAndAttributes);

    // Opens fileName as the mode word says (with O_DIRECT for FILE_FLAG_NO_BUFFERING, falling back
    // to a plain open where the file system refuses it); -1 and errno on failure.
    static int OpenDescriptor(const std::string& fileName, uint32_t flagsAndAttributes, uint16_t mode);
    // Raises the open or create error of the mode for fileName.
    [[noreturn]] static void RaiseOpenError(const std::string& fileName, uint16_t mode);

    std::string FileName;
    uint32_t FlagsAndAttributes;
};

// Constructs a file stream of some class: TLargeFileStream::New or its unbuffered counterpart.
using TLargeFileStreamClass = std::unique_ptr<TLargeFileStream> (*)(const std::string& fileName,
                                                                     uint32_t flagsAndAttributes, uint16_t mode);

// A new temporary file (created, removed again when the stream is destroyed) of the given class.
std::unique_ptr<TLargeFileStream> CreateTemporaryFileStream(TLargeFileStreamClass fileClass,
                                                            const std::string& fileName);

// Process-wide switch: output and temporary files bypass the system file cache when true.
void SetUseNoBufferingFileStream(bool value);
bool GetUseNoBufferingFileStream();

// The class to construct output and temporary files with, by UseNoBufferingFileStream.
TLargeFileStreamClass GetLargeFileStreamClass();

// Reserves disk space for bytes [from, to) of the open file and sets its end at `to`.
// Raises EDiskFullError when the file system cannot hold them.
void ReserveFileSpace(int handle, int64_t from, int64_t to);

} // namespace quillset
