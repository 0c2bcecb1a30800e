#include "stream/safe_disk_capacity_stream.h"

#include <algorithm>

namespace quillset {

TLargeSafeDiskCapacitySizeStream::TLargeSafeDiskCapacitySizeStream(std::unique_ptr<TLargeStream> target,
                                                                   int64_t reserved)
    : Target(std::move(target)), Reserved(std::max<int64_t>(reserved, 0)) {
    // Emptied first: old bytes inside the reserve would otherwise come back as data when the
    // stream is later grown with SetSize.
    if (Target->GetSize() != 0)
        Target->SetSize(0);
    Target->SetSize(Reserved);
}

TLargeSafeDiskCapacitySizeStream::~TLargeSafeDiskCapacitySizeStream() {
    try {
        Target->SetSize(Size);
    } catch (...) {
        // The output keeps its reserve; nothing else can be done in a destructor.
    }
}

int32_t TLargeSafeDiskCapacitySizeStream::Read(void* buffer, int32_t count) {
    const auto n = static_cast<int32_t>(std::clamp<int64_t>(Size - Position, 0, std::max(count, 0)));
    if (n == 0 || Target->Seek(Position, soFromBeginning) != Position)
        return 0;
    const int32_t done = std::max(0, Target->Read(buffer, n));
    Position += done;
    return done;
}

int32_t TLargeSafeDiskCapacitySizeStream::Write(const void* buffer, int32_t count) {
    if (count <= 0 || Target->Seek(Position, soFromBeginning) != Position)
        return 0;
    const int32_t done = std::max(0, Target->Write(buffer, count));
    Position += done;
    Size = std::max(Size, Position);
    return done;
}

int64_t TLargeSafeDiskCapacitySizeStream::Seek(int64_t offset, uint16_t origin) {
    Position = ClampPosition(SeekTarget(offset, origin, Position, Size), Size);
    return Position;
}

void TLargeSafeDiskCapacitySizeStream::SetSize(int64_t newSize) {
    if (newSize < 0)
        throw ELargeStreamError(SStreamSizeNotCorrect);
    if (newSize == Size)
        return;
    // Shrinking drops the bytes past the new end in the target before the reserve is restored,
    // so that growing again shows zeros and not the old bytes.
    if (newSize < Size)
        Target->SetSize(newSize);
    const int64_t targetSize = std::max(newSize, Reserved);
    if (targetSize != newSize || newSize > Size)
        Target->SetSize(targetSize);
    Size = newSize;
    Position = ClampPosition(Position, Size);
}

} // namespace quillset
