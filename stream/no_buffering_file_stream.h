// A file stream that bypasses the system file cache (O_DIRECT): every transfer to the file is a
// whole block of about 64 KiB at a block-aligned offset from block-aligned memory, staged in a
// four-block write-back cache.
#pragma once

#include <memory>
#include <string>

#include "stream/block_cache.h"
#include "stream/file_stream.h"

namespace quillset {

class TLargeNoBufferingFileStream_NonOverlaped : public TLargeFileStream, private TLargeBlockCacheDevice {
public:
    // Mode fmCreate creates (or truncates) the file; any other mode opens an existing one.
    // Write-only access is widened to read-write, as partial blocks are read before they are
    // rewritten. Raises EFCreateError / EFOpenError when the file cannot be created / opened or
    // its block size cannot be learnt.
    TLargeNoBufferingFileStream_NonOverlaped(const std::string& fileName, uint32_t flagsAndAttributes,
                                             uint16_t mode);
    // Writes out the cache and, when the stream changed the file (and does not delete it), cuts
    // the file back from whole blocks to its true length.
    ~TLargeNoBufferingFileStream_NonOverlaped() override;

    // The virtual constructor (a TLargeFileStreamClass).
    static std::unique_ptr<TLargeFileStream> New(const std::string& fileName, uint32_t flagsAndAttributes,
                                                 uint16_t mode);

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    // Origins soFromBeginning/soFromCurrent/soFromEnd act on the stream position, clamped to
    // 0 .. size; other origins go to the handle stream (which refuses them with -1).
    int64_t Seek(int64_t offset, uint16_t origin) override;
    // Writes out the cache and sets the size; growing reserves the disk space (EDiskFullError
    // when it does not fit), other system failures raise EOSError.
    void SetSize(int64_t newSize) override;

    int32_t GetBlockSize() const { return BlockSize; }

private:
    int32_t LoadBlock(TLargeCacheBlock& block, int32_t wanted) override;
    bool StoreBlock(const TLargeCacheBlock& block) override;
    bool AddBlocks(int64_t blockCount) override;
    bool MoveHandleTo(int64_t offset);
    static int32_t QueryBlockSize(int handle);

    int32_t BlockSize = 0;
    bool Writable = false;
    bool Readable = false;
    bool DeleteOnClose = false;
    bool Modified = false;
    int64_t Position = 0;
    int64_t HandlePosition = 0; // where the descriptor's file offset is known to be; -1 unknown
    std::unique_ptr<TLargeBlockCache> Cache; // holds FileSize and BlockCount
};

} // namespace quillset
