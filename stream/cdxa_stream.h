// The user data of raw CD-XA sectors as one continuous read-only stream: Video-CD tracks
// (IEC 62107) keep their MPEG data in 2352-byte Mode 2 Form 2 sectors (ISO/IEC 10149 sector
// layout with the CD-ROM XA subheader), of which 2324 bytes are user data.
#pragma once

#include "stream/large_stream.h"

namespace quillset {

// Source (not owned, must outlive the stream) holds whole 2352-byte sectors; a trailing partial
// sector is ignored. Write always returns 0.
class TLargeCDXAExtractDataStream : public TLargeRandomStream {
public:
    static constexpr int32_t kSectorSize = 2352;
    static constexpr int32_t kUserDataOffset = 24; // 12 sync + 4 header + 8 subheader bytes
    static constexpr int32_t kUserDataSize = 2324;

    explicit TLargeCDXAExtractDataStream(TLargeStream& source);

    int64_t GetSize() override { return Size; }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t offset, uint16_t origin) override;

private:
    TLargeStream& Source;
    int64_t Position = 0;
    int64_t Size;
};

} // namespace quillset
