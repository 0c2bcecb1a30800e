#include "stream/separated_file_stream.h"

#include <algorithm>
#include <cassert>

#include "stream/temp_file.h"

namespace quillset {

TLargeSeparatedFileStream::TLargeSeparatedFileStream(const std::string& folder, const std::string& prefix,
                                                     const std::string& extension, int64_t pieceSize)
    : PieceSize(pieceSize), Folder(folder), Prefix(prefix), Extension(extension) {
    assert(pieceSize > 0);
}

// The piece streams are delete-on-close: freeing them removes the files.
TLargeSeparatedFileStream::~TLargeSeparatedFileStream() = default;

int64_t TLargeSeparatedFileStream::Capacity(const TLargeSeparatedFileStream_FileEntry& piece) const {
    return piece.Growing ? std::max(PieceSize, piece.Size) : piece.Size;
}

int32_t TLargeSeparatedFileStream::NextNonEmptyPiece(int32_t after) const {
    auto next = after + 1;
    while (next < static_cast<int32_t>(Files.size()) && Files[next].Size <= 0)
        ++next;
    return next;
}

bool TLargeSeparatedFileStream::AddPiece() {
    const std::string name = MakeTempFileName(Folder, Prefix, Extension);
    if (name.empty())
        return false;
    TLargeSeparatedFileStream_FileEntry entry;
    entry.FileName = name;
    entry.Stream = CreateTemporaryFileStream(GetLargeFileStreamClass(), name);
    entry.Growing = true;
    if (!Files.empty()) {
        TLargeSeparatedFileStream_FileEntry& last = Files.back();
        entry.Offset = last.Offset + last.Size;
        last.Growing = false;
    }
    Files.push_back(std::move(entry));
    return true;
}

int32_t TLargeSeparatedFileStream::Write(const void* buffer, int32_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        if (Current >= static_cast<int32_t>(Files.size())) {
            if (!AddPiece())
                break;
            Current = static_cast<int32_t>(Files.size()) - 1;
        }
        TLargeSeparatedFileStream_FileEntry& piece = Files[Current];
        const int64_t pieceEnd = piece.Offset + Capacity(piece);
        const auto n = static_cast<int32_t>(std::min<int64_t>(count - done, pieceEnd - Position));
        if (n <= 0)
            break;
        piece.Stream->Seek(Position - piece.Offset, soFromBeginning);
        const int32_t written = std::max(0, piece.Stream->Write(bytes + done, n));
        piece.Size = std::max(piece.Size, Position + written - piece.Offset);
        Position += written;
        Size = std::max(Size, Position);
        done += written;
        if (Position == pieceEnd)
            Current = NextNonEmptyPiece(Current);
        if (written < n)
            break;
    }
    return done;
}

int32_t TLargeSeparatedFileStream::Read(void* buffer, int32_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count && Current < static_cast<int32_t>(Files.size())) {
        TLargeSeparatedFileStream_FileEntry& piece = Files[Current];
        const int64_t pieceEnd = piece.Offset + piece.Size;
        const auto n = static_cast<int32_t>(std::min<int64_t>(count - done, pieceEnd - Position));
        if (n <= 0)
            break;
        piece.Stream->Seek(Position - piece.Offset, soFromBeginning);
        const int32_t got = std::max(0, piece.Stream->Read(bytes + done, n));
        Position += got;
        done += got;
        if (Position == pieceEnd)
            Current = NextNonEmptyPiece(Current);
        if (got < n)
            break;
    }
    return done;
}

int64_t TLargeSeparatedFileStream::Seek(int64_t offset, uint16_t origin) {
    const int64_t target = ClampPosition(SeekTarget(offset, origin, Position, Size), Size);
    if (target != Position) {
        Position = target;
        // The piece whose span [Offset, Offset + capacity) holds the position; at the very end of
        // a full last piece that is none, and the next write starts a new piece.
        Current = static_cast<int32_t>(Files.size());
        for (size_t i = 0; i < Files.size(); ++i) {
            const TLargeSeparatedFileStream_FileEntry& piece = Files[i];
            if (piece.Size > 0 && piece.Offset <= Position && Position < piece.Offset + Capacity(piece)) {
                Current = static_cast<int32_t>(i);
                break;
            }
        }
    }
    return Position;
}

} // namespace quillset
