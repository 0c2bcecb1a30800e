// A growable stream in memory, limited to sizes below 2 GiB.
#pragma once

#include "stream/large_stream.h"

namespace quillset {

class TLargeMemoryStream : public TLargeRandomStream {
public:
    TLargeMemoryStream() = default;
    ~TLargeMemoryStream() override;

    int64_t GetSize() override { return Size; }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, uint16_t origin) override;
    // Capacity follows the size in steps of 4096 bytes; sizes outside 0 .. 2^31 - 1 are refused.
    // Growing fills the new bytes with zeros.
    void SetSize(int64_t newSize) override;

    uint8_t* GetMemory() const { return Memory; }
    int64_t GetCapacity() const { return Capacity; }

private:
    // SetSize without filling the new bytes.
    void Resize(int64_t newSize);

    uint8_t* Memory = nullptr;
    int32_t Position = 0;
    int32_t Size = 0;
    int64_t Capacity = 0; // up to 2^31 once rounded to 4096
};

} // namespace quillset
