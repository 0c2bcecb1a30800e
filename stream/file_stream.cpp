#include "stream/file_stream.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>


namespace quillset {

const char* const SFCreateError = "File %s can not be created.";
const char* const SFOpenError = "File %s can not be opened.";

namespace {

std::atomic<bool> useNoBufferingFileStream{false};

int AccessFlags(uint16_t mode) {
    if (mode == fmCreate)
        return O_RDWR | O_CREAT | O_TRUNC;
    switch (mode & 3) {
    case fmOpenRead:
        return O_RDONLY;
    case fmOpenWrite:
        return O_WRONLY;
    default:
        return O_RDWR;
    }
}

} // namespace

int32_t TLargeHandleStream::Read(void* buffer, int32_t count) {
    auto* bytes = static_cast<char*>(buffer);
    int32_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(Handle, bytes + done, static_cast<size_t>(count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<int32_t>(got);
    }
    return done;
}

int32_t TLargeHandleStream::Write(const void* buffer, int32_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    int32_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(Handle, bytes + done, static_cast<size_t>(count - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += static_cast<int32_t>(put);
    }
    return done;
}

int64_t TLargeHandleStream::Seek(int64_t offset, uint16_t origin) {
    const int whence = origin == soFromBeginning ? SEEK_SET : origin == soFromCurrent ? SEEK_CUR : SEEK_END;
    if (origin > soFromEnd)
        return -1;
    return ::lseek(Handle, static_cast<off_t>(offset), whence);
}

void TLargeHandleStream::SetSize(int64_t newSize) {
    if (newSize < 0)
        throw ELargeStreamError(SStreamSizeNotCorrect);
    struct stat info{};
    if (::fstat(Handle, &info) != 0)
        RaiseOSError(errno);
    if (newSize > info.st_size)
        ReserveFileSpace(Handle, info.st_size, newSize);
    else if (::ftruncate(Handle, static_cast<off_t>(newSize)) != 0)
        RaiseOSError(errno);
    if (::lseek(Handle, static_cast<off_t>(newSize), SEEK_SET) < 0)
        RaiseOSError(errno);
}

void ReserveFileSpace(int handle, int64_t from, int64_t to) {
    if (to <= from)
        return;
    int result = ::fallocate(handle, 0, static_cast<off_t>(from), static_cast<off_t>(to - from));
    if (result == 0)
        return;
    const int error = errno;
    if (error != EOPNOTSUPP && error != ENOSYS)
        RaiseOSError(error);
    // The file system cannot preallocate: at least refuse what cannot fit, then extend sparsely.
    struct statvfs volume{};
    if (::fstatvfs(handle, &volume) == 0 &&
        static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize < static_cast<uint64_t>(to - from))
        RaiseOSError(ENOSPC);
    if (::ftruncate(handle, static_cast<off_t>(to)) != 0)
        RaiseOSError(errno);
}

TLargeFileStream::TLargeFileStream(NoOpen, const std::string& fileName, uint32_t flagsAndAttributes)
    : TLargeHandleStream(-1), FileName(fileName), FlagsAndAttributes(flagsAndAttributes | FILE_ATTRIBUTE_NORMAL) {}

TLargeFileStream::TLargeFileStream(const std::string& fileName, uint32_t flagsAndAttributes, uint16_t mode)
    : TLargeFileStream(NoOpen{}, fileName, flagsAndAttributes) {
    Handle = OpenDescriptor(fileName, FlagsAndAttributes, mode);
    if (Handle < 0)
        RaiseOpenError(fileName, mode);
}

TLargeFileStream::~TLargeFileStream() {
    if (Handle >= 0)
        ::close(Handle);
    if (GetDeleteOnClose())
        ::unlink(FileName.c_str());
}

std::unique_ptr<TLargeFileStream> TLargeFileStream::New(const std::string& fileName, uint32_t flagsAndAttributes,
                                                        uint16_t mode) {
    return std::make_unique<TLargeFileStream>(fileName, flagsAndAttributes, mode);
}

int TLargeFileStream::OpenDescriptor(const std::string& fileName, uint32_t flagsAndAttributes, uint16_t mode) {
    const int flags = AccessFlags(mode) | O_CLOEXEC;
    if ((flagsAndAttributes & FILE_FLAG_NO_BUFFERING) != 0) {
        const int handle = ::open(fileName.c_str(), flags | O_DIRECT, 0666);
        if (handle >= 0 || errno != EINVAL)
            return handle;
        // tmpfs and a few others refuse O_DIRECT; the block logic of the caller still holds.
    }
    return ::open(fileName.c_str(), flags, 0666);
}

void TLargeFileStream::RaiseOpenError(const std::string& fileName, uint16_t mode) {
    if (mode == fmCreate)
        throw EFCreateError(FormatText(SFCreateError, fileName.c_str()));
    throw EFOpenError(FormatText(SFOpenError, fileName.c_str()));
}

std::unique_ptr<TLargeFileStream> CreateTemporaryFileStream(TLargeFileStreamClass fileClass,
                                                            const std::string& fileName) {
    return fileClass(fileName, FILE_FLAG_DELETE_ON_CLOSE, fmCreate);
}

void SetUseNoBufferingFileStream(bool value) {
    useNoBufferingFileStream = value;
}

bool GetUseNoBufferingFileStream() {
    return useNoBufferingFileStream;
}

} // namespace quillset
