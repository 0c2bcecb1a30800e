// A stream spread over a chain of temporary files ("pieces") of at most PieceSize bytes each, for
// temporary data that may outgrow what one file should hold. The pieces are created on demand
// and removed when the stream is destroyed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "stream/file_stream.h"

namespace quillset {

struct TLargeSeparatedFileStream_FileEntry {
    std::string FileName;
    std::unique_ptr<TLargeFileStream> Stream; // delete-on-close
    int64_t Offset = 0;                       // where the piece starts in the whole
    int64_t Size = 0;                         // bytes in the piece
    bool Growing = false;                     // true only for the last piece
};

class TLargeSeparatedFileStream : public TLargeRandomStream {
public:
    // Pieces are named by MakeTempFileName(folder, prefix, extension) and created with the class
    // of GetLargeFileStreamClass(). pieceSize must be positive.
    TLargeSeparatedFileStream(const std::string& folder, const std::string& prefix, const std::string& extension,
                              int64_t pieceSize);
    ~TLargeSeparatedFileStream() override;

    int64_t GetSize() override { return Size; }
    int32_t Read(void* buffer, int32_t count) override;
    // A short count when no further piece can be named; EFCreateError when one cannot be created.
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, uint16_t origin) override;
    // SetSize keeps the root behaviour: the size cannot be changed.

    const std::vector<TLargeSeparatedFileStream_FileEntry>& GetFiles() const { return Files; }

private:
    int64_t Capacity(const TLargeSeparatedFileStream_FileEntry& piece) const;
    bool AddPiece();
    int32_t NextNonEmptyPiece(int32_t after) const;

    std::vector<TLargeSeparatedFileStream_FileEntry> Files;
    int32_t Current = 0; // index into Files; Files.size() means past the last piece
    int64_t Position = 0;
    int64_t Size = 0;
    int64_t PieceSize;
    bool TemporaryNames = true;
    std::string Folder;
    std::string Prefix;
    std::string Extension;
};

} // namespace quillset
