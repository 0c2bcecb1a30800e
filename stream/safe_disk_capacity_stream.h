// A stream that reserves the disk space of an output before anything is written, so that a
// full disk shows up when the encode starts and not hours later, and gives the unused reserve
// back when it is destroyed.
#pragma once

#include <memory>

#include "stream/large_stream.h"

namespace quillset {

class TLargeSafeDiskCapacitySizeStream : public TLargeRandomStream {
public:
    // Owns target. Sets the target's size to `reserved` at once (a file stream raises
    // EDiskFullError when the space is not there); the stream itself starts empty, and whatever
    // the target held before is discarded.
    TLargeSafeDiskCapacitySizeStream(std::unique_ptr<TLargeStream> target, int64_t reserved);
    // Cuts the target to the bytes written (errors cannot be reported), then frees it.
    ~TLargeSafeDiskCapacitySizeStream() override;

    int64_t GetSize() override { return Size; }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, uint16_t origin) override;
    // The target keeps at least the reserve; sizes below 0 raise ELargeStreamError.
    void SetSize(int64_t newSize) override;

    TLargeStream& GetTarget() const { return *Target; }
    int64_t GetReserved() const { return Reserved; }

private:
    std::unique_ptr<TLargeStream> Target;
    int64_t Reserved;
    int64_t Position = 0;
    int64_t Size = 0;
};

} // namespace quillset
