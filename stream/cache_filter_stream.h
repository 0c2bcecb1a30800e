// A 65536-byte window in front of another stream for sequential reading, patching in place and
// appending: the multiplexer rewrites header fields of a finished output through it, and the
// demultiplexer reads sources through it.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/large_stream.h"

namespace quillset {

// Source is not owned and must outlive the filter; the filter starts at position 0 of it.
// Short transfers of the source on write-back raise EWriteError.
class TLargeCasheFilterStream : public TLargeRandomStream {
public:
    static constexpr int32_t kBufferSize = 65536;

    explicit TLargeCasheFilterStream(TLargeStream& source);
    // Writes pending data back; the source stays open. A failure here cannot be reported.
    ~TLargeCasheFilterStream() override;

    int64_t GetSize() override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    // Inside the window only the window position moves; elsewhere the window is written back
    // and starts empty at the target.
    int64_t Seek(int64_t offset, uint16_t origin) override;

    // Writes pending data back to the source now.
    void Flush();

private:
    void Refill();

    TLargeStream& Source;
    std::unique_ptr<uint8_t[]> Buffer;
    int32_t BufferPos = 0;
    int32_t BufferLen = 0;
    int64_t BufferStart = 0;
    bool Dirty = false;
    bool Appending = false;
    int64_t SourceSize = 0;
};

} // namespace quillset
