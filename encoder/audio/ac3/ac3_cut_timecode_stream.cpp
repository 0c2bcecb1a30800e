#include "encoder/audio/ac3/ac3_cut_timecode_stream.h"

#include <algorithm>
#include <cstring>

#include "encoder/audio/ac3/ac3_frame_size.h"

namespace quillset {

TDolbyAC3CutSMPTETimeCodeStream::TDolbyAC3CutSMPTETimeCodeStream(TLargeStream& source)
    : Source(source), SourceStart(source.Seek(0, soFromCurrent)) {}

int32_t TDolbyAC3CutSMPTETimeCodeStream::ReadFrame(uint8_t* buffer) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (Source.Read(buffer, TimeCodeBlockSize) != TimeCodeBlockSize)
            return 0;
        if (buffer[0] != AC3SyncByte0 || buffer[1] != AC3SyncByte1)
            continue; // a time-code block: dropped
        const int32_t length = AC3FrameBytes(buffer);
        if (length < TimeCodeBlockSize || length > FrameBufferSize)
            return 0;
        const int32_t rest = length - TimeCodeBlockSize;
        return Source.Read(buffer + TimeCodeBlockSize, rest) == rest ? length : 0;
    }
    return 0;
}

void TDolbyAC3CutSMPTETimeCodeStream::Rewind() {
    Source.Seek(SourceStart, soFromBeginning);
    FrameStart = 0;
    FrameLength = 0;
    AtEnd = false;
}

void TDolbyAC3CutSMPTETimeCodeStream::Advance(int64_t target) {
    if (target < FrameStart)
        Rewind();
    while (!AtEnd && target >= FrameStart + FrameLength) {
        const int32_t length = ReadFrame(Frame);
        if (length == 0) {
            AtEnd = true;
            Size = FrameStart + FrameLength;
            break;
        }
        FrameStart += FrameLength;
        FrameLength = length;
    }
}

int64_t TDolbyAC3CutSMPTETimeCodeStream::GetSize() {
    if (Size < 0) {
        // One pass over the whole source, leaving the current frame and position as they are.
        const int64_t sourcePosition = Source.Seek(0, soFromCurrent);
        Source.Seek(SourceStart, soFromBeginning);
        int64_t total = 0;
        uint8_t buffer[FrameBufferSize];
        for (int32_t length; (length = ReadFrame(buffer)) != 0;)
            total += length;
        Source.Seek(sourcePosition, soFromBeginning);
        Size = total;
    }
    return Size;
}

int32_t TDolbyAC3CutSMPTETimeCodeStream::Read(void* buffer, int32_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        Advance(Position);
        const int64_t offset = Position - FrameStart;
        if (offset < 0 || offset >= FrameLength)
            break; // the end of the frames
        const auto n = static_cast<int32_t>(std::min<int64_t>(count - done, FrameLength - offset));
        std::memcpy(out + done, Frame + offset, static_cast<size_t>(n));
        done += n;
        Position += n;
    }
    return done;
}

int64_t TDolbyAC3CutSMPTETimeCodeStream::Seek(int64_t offset, uint16_t origin) {
    if (origin == soFromCurrent && offset == 0)
        return Position;
    const int64_t size = origin == soFromEnd ? GetSize() : 0;
    int64_t target = std::max<int64_t>(0, SeekTarget(offset, origin, Position, size));
    Advance(target);
    if (AtEnd)
        target = std::min(target, FrameStart + FrameLength);
    Position = target;
    return Position;
}

} // namespace quillset
