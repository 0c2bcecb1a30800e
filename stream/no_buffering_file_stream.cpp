#include "stream/no_buffering_file_stream.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quillset {

namespace {

constexpr int32_t kMinSectorSize = 512;
constexpr int32_t kTargetBlockSize = 65536;

} // namespace

TLargeFileStreamClass GetLargeFileStreamClass() {
    return GetUseNoBufferingFileStream() ? &TLargeNoBufferingFileStream_NonOverlaped::New : &TLargeFileStream::New;
}

std::unique_ptr<TLargeFileStream> TLargeNoBufferingFileStream_NonOverlaped::New(const std::string& fileName,
                                                                                 uint32_t flagsAndAttributes,
                                                                                 uint16_t mode) {
    return std::make_unique<TLargeNoBufferingFileStream_NonOverlaped>(fileName, flagsAndAttributes, mode);
}

TLargeNoBufferingFileStream_NonOverlaped::TLargeNoBufferingFileStream_NonOverlaped(const std::string& fileName,
                                                                                   uint32_t flagsAndAttributes,
                                                                                   uint16_t mode)
    : TLargeFileStream(NoOpen{}, fileName, flagsAndAttributes) {
    const bool creating = mode == fmCreate;
    const int access = mode & 3;
    Writable = creating || access == fmOpenWrite || access == fmOpenReadWrite;
    Readable = creating || access == fmOpenRead || access == fmOpenReadWrite;
    DeleteOnClose = (FlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    uint16_t openMode = mode;
    if (!creating && access == fmOpenWrite)
        openMode = static_cast<uint16_t>((mode & ~3) | fmOpenReadWrite);

    FlagsAndAttributes |= FILE_FLAG_NO_BUFFERING;
    Handle = OpenDescriptor(fileName, FlagsAndAttributes, openMode);
    if (Handle < 0)
        RaiseOpenError(fileName, mode);
    // From here on the base destructor closes the descriptor (and removes a delete-on-close file).
    int64_t fileSize = 0;
    if (!creating) {
        struct stat info{};
        if (::fstat(Handle, &info) != 0)
            RaiseOpenError(fileName, mode);
        fileSize = info.st_size;
    }
    const int32_t sector = QueryBlockSize(Handle);
    if (sector <= 0)
        RaiseOpenError(fileName, mode);
    BlockSize = std::max(1, kTargetBlockSize / sector) * sector;
    TLargeBlockCacheDevice& device = *this;
    Cache = std::make_unique<TLargeBlockCache>(device, BlockSize, true, Writable, fileSize);
}

TLargeNoBufferingFileStream_NonOverlaped::~TLargeNoBufferingFileStream_NonOverlaped() {
    if (Handle < 0)
        return;
    Cache->WriteOutAll();
    // The file grew in whole blocks; give it back its true length. Failures cannot be reported.
    if (Modified && !DeleteOnClose)
        (void)::ftruncate(Handle, static_cast<off_t>(Cache->GetSize()));
    ::close(Handle);
    Handle = -1;
}

int32_t TLargeNoBufferingFileStream_NonOverlaped::QueryBlockSize(int handle) {
    // The transfer unit the file system asks for; O_DIRECT needs at least the sector size.
    int64_t size = 0;
    struct stat info{};
    if (::fstat(handle, &info) == 0)
        size = info.st_blksize;
    if (size <= 0) {
        struct statvfs volume{};
        if (::fstatvfs(handle, &volume) != 0)
            return -1;
        size = static_cast<int64_t>(volume.f_bsize);
    }
    if (size > (int64_t{1} << 24))
        return -1;
    return std::max(kMinSectorSize, static_cast<int32_t>(size));
}

bool TLargeNoBufferingFileStream_NonOverlaped::MoveHandleTo(int64_t offset) {
    if (HandlePosition == offset)
        return true;
    if (::lseek(Handle, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset)) {
        HandlePosition = -1;
        return false;
    }
    HandlePosition = offset;
    return true;
}

int32_t TLargeNoBufferingFileStream_NonOverlaped::LoadBlock(TLargeCacheBlock& block, int32_t wanted) {
    if (!MoveHandleTo(block.FileOffset))
        return 0;
    // Always the whole block; near the end of the file the system returns less.
    const int32_t got = TLargeHandleStream::Read(block.Buffer, BlockSize);
    HandlePosition += got;
    return got;
}

bool TLargeNoBufferingFileStream_NonOverlaped::StoreBlock(const TLargeCacheBlock& block) {
    if (!MoveHandleTo(block.FileOffset))
        return false;
    const int32_t put = TLargeHandleStream::Write(block.Buffer, BlockSize);
    HandlePosition += put;
    return put == BlockSize;
}

bool TLargeNoBufferingFileStream_NonOverlaped::AddBlocks(int64_t blockCount) {
    Modified = true;
    // A plain (sparse) extension: writing far into a file must not allocate everything before.
    const int64_t end = blockCount * BlockSize;
    struct stat info{};
    if (::fstat(Handle, &info) != 0)
        return false;
    return info.st_size >= end || ::ftruncate(Handle, static_cast<off_t>(end)) == 0;
}

int32_t TLargeNoBufferingFileStream_NonOverlaped::Read(void* buffer, int32_t count) {
    if (!Readable || count <= 0)
        return 0;
    const int32_t done = Cache->ReadAt(Position, buffer, count);
    Position += done;
    return done;
}

int32_t TLargeNoBufferingFileStream_NonOverlaped::Write(const void* buffer, int32_t count) {
    if (!Writable || count <= 0)
        return 0;
    Modified = true;
    const int32_t done = Cache->WriteAt(Position, buffer, count);
    Position += done;
    return done;
}

int64_t TLargeNoBufferingFileStream_NonOverlaped::Seek(int64_t offset, uint16_t origin) {
    if (origin > soFromEnd)
        return TLargeHandleStream::Seek(offset, origin);
    const int64_t size = Cache->GetSize();
    Position = ClampPosition(SeekTarget(offset, origin, Position, size), size);
    return Position;
}

void TLargeNoBufferingFileStream_NonOverlaped::SetSize(int64_t newSize) {
    if (newSize < 0)
        throw ELargeStreamError(SStreamSizeNotCorrect);
    const int64_t fileSize = Cache->GetSize();
    if (newSize == fileSize)
        return;
    Cache->WriteOutAll();
    struct stat info{};
    if (::fstat(Handle, &info) != 0)
        RaiseOSError(errno);
    // Cut the file at the last byte that stays data, so that whatever lay behind it in its last
    // block cannot reappear as data when the file grows again.
    const int64_t keep = std::min(newSize, fileSize);
    int64_t physical = info.st_size;
    if (physical > keep) {
        if (::ftruncate(Handle, static_cast<off_t>(keep)) != 0)
            RaiseOSError(errno);
        physical = keep;
    }
    const int64_t rounded = (newSize + BlockSize - 1) / BlockSize * BlockSize;
    if (newSize > fileSize)
        ReserveFileSpace(Handle, physical, rounded);
    else if (rounded > physical && ::ftruncate(Handle, static_cast<off_t>(rounded)) != 0)
        RaiseOSError(errno);
    Cache->Resize(newSize);
    Modified = true;
    Position = ClampPosition(Position, newSize);
}

} // namespace quillset
