#include "stream/cdxa_stream.h"

#include <algorithm>

namespace quillset {

TLargeCDXAExtractDataStream::TLargeCDXAExtractDataStream(TLargeStream& source)
    : Source(source), Size(source.GetSize() / kSectorSize * kUserDataSize) {}

int32_t TLargeCDXAExtractDataStream::Read(void* buffer, int32_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    const auto total = static_cast<int32_t>(std::clamp<int64_t>(Size - Position, 0, std::max(count, 0)));
    int32_t done = 0;
    while (done < total) {
        const int64_t sector = Position / kUserDataSize;
        const auto inSector = static_cast<int32_t>(Position % kUserDataSize);
        const int32_t n = std::min(total - done, kUserDataSize - inSector);
        const int64_t at = sector * kSectorSize + kUserDataOffset + inSector;
        if (Source.Seek(at, soFromBeginning) != at)
            break;
        const int32_t got = Source.Read(bytes + done, n);
        if (got <= 0)
            break;
        Position += got;
        done += got;
    }
    return done;
}

int64_t TLargeCDXAExtractDataStream::Seek(int64_t offset, uint16_t origin) {
    Position = ClampPosition(SeekTarget(offset, origin, Position, Size), Size);
    return Position;
}

} // namespace quillset
