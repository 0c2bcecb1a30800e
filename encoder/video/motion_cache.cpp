#include "encoder/video/motion_cache.h"

#include <bit>
#include <cstdlib>
#include <exception>
#include <limits>

#include "stream/byte_buffer_bit_rewriter.h"
#include "stream/separated_file_stream.h"

namespace quillset {

namespace {

constexpr int64_t kPieceSize = 0x80000000LL;
constexpr int32_t kCostBits = 31;

int32_t BitsOf(int64_t n) { return static_cast<int32_t>(std::bit_width(static_cast<uint64_t>(n))); }

struct TFieldWidths {
    int32_t X, Y, VectorX, VectorY;
};

TFieldWidths WidthsOf(const TMotionRecordGeometry& g) {
    return {BitsOf(g.PaddedWidth), BitsOf(g.PaddedHeight), BitsOf(2 * int64_t{g.PaddedWidth}) + 1,
            BitsOf(2 * int64_t{g.PaddedHeight}) + 1};
}

// Record fields are read with the byte-buffer bit rewriter (most significant bit first), each
// checked against the record's end first.
class TRecordReader {
public:
    // The rewriter never writes without ClearAhead, so the bytes stay as they are.
    explicit TRecordReader(std::span<const uint8_t> bytes)
        : Bits(const_cast<uint8_t*>(bytes.data()), false), TotalBits(8 * static_cast<int64_t>(bytes.size())) {}
    // count 0 .. 32; false once a read would go past the end.
    bool Get(int32_t count, uint32_t& value) {
        value = 0;
        if (Position() + count > TotalBits)
            return false;
        value = Bits.GetBits(count);
        return true;
    }
    // The rest of the last byte is zero and no further byte follows.
    bool EndsHere() {
        const int64_t rest = TotalBits - Position();
        uint32_t value = 0;
        return rest < 8 && Get(static_cast<int32_t>(rest), value) && value == 0;
    }

private:
    int64_t Position() const { return 8 * int64_t{Bits.GetByteIndex()} + 7 - Bits.GetBitIndex(); }

    TByteBufferBitRewriter Bits;
    int64_t TotalBits;
};

void PutSigned(TByteBufferBitRewriter& out, int32_t value, int32_t width) {
    out.PutBits(static_cast<uint32_t>(std::abs(value)), width);
    out.PutBits(value < 0 ? 1 : 0, 1);
}

void PutVector(TByteBufferBitRewriter& out, const TFieldWidths& w, const TMBMotionVector& v) {
    PutSigned(out, v.MvX, w.VectorX);
    PutSigned(out, v.MvY, w.VectorY);
    out.PutBits(static_cast<uint32_t>(v.BestX), w.X);
    out.PutBits(static_cast<uint32_t>(v.BestY), w.Y);
    out.PutBits(static_cast<uint32_t>(v.Cost), kCostBits);
}

bool GetSigned(TRecordReader& in, int32_t width, int32_t& value) {
    uint32_t magnitude = 0, sign = 0;
    if (!in.Get(width, magnitude) || !in.Get(1, sign))
        return false;
    value = sign ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
    return true;
}

bool GetVector(TRecordReader& in, const TFieldWidths& w, TMBMotionVector& v) {
    uint32_t x = 0, y = 0, cost = 0;
    if (!GetSigned(in, w.VectorX, v.MvX) || !GetSigned(in, w.VectorY, v.MvY) || !in.Get(w.X, x) || !in.Get(w.Y, y) ||
        !in.Get(kCostBits, cost))
        return false;
    v.BestX = static_cast<int32_t>(x);
    v.BestY = static_cast<int32_t>(y);
    v.Cost = static_cast<int32_t>(cost);
    return true;
}

// The luminance area the vector predicts from lies inside the padded picture, as does its
// match position.
bool VectorInside(const TMotionRecordGeometry& g, int32_t x, int32_t y, bool field, const TMBMotionVector& v) {
    if (v.BestX >= g.PaddedWidth || v.BestY >= g.PaddedHeight)
        return false;
    const int32_t left = x + (v.MvX >> 1);
    if (left < 0 || left + 16 + (v.MvX & 1) > g.PaddedWidth)
        return false;
    if (!field) {
        const int32_t top = y + (v.MvY >> 1);
        return top >= 0 && top + 16 + (v.MvY & 1) <= g.PaddedHeight;
    }
    const int32_t fieldRow = y / 2 + (v.MvY >> 1);
    return fieldRow >= 0 && fieldRow + 8 + (v.MvY & 1) <= g.PaddedHeight / 2;
}

bool ReadHeader(TRecordReader& in, const TFieldWidths& w) {
    const int32_t expected[4] = {w.X, w.Y, w.VectorX, w.VectorY};
    for (int32_t e : expected) {
        uint32_t value = 0;
        if (!in.Get(8, value) || static_cast<int32_t>(value) != e)
            return false;
    }
    return true;
}

bool ReadMacroblock(TRecordReader& in, const TMotionRecordGeometry& g, const TFieldWidths& w, int32_t index,
                    TMBInfo& mb) {
    uint32_t intra = 0, forward = 0, backward = 0, fieldDct = 0, field = 0;
    if (!in.Get(1, intra))
        return false;
    if (!intra && (!in.Get(1, forward) || !in.Get(1, backward)))
        return false;
    if (!in.Get(1, fieldDct))
        return false;
    mb = TMBInfo{};
    mb.Flags = static_cast<uint16_t>(fieldDct ? MBInfoFlag_FieldDCT : 0);
    if (intra) {
        mb.Flags |= MBInfoFlag_Intra;
        return true;
    }
    if (!in.Get(1, field) || !(forward || backward))
        return false;
    mb.Flags |= static_cast<uint16_t>((forward ? MBInfoFlag_Forward : 0) | (backward ? MBInfoFlag_Backward : 0));
    mb.MotionType = field ? MBMotionType_Field : MBMotionType_Frame;
    const int32_t x = 16 * (index % g.MBWidth), y = 16 * (index / g.MBWidth);
    for (int32_t direction = 0; direction < 2; ++direction) {
        if (!(direction == 0 ? forward : backward))
            continue;
        TMBVectorPair& pair = direction == 0 ? mb.Forward : mb.Backward;
        for (int32_t part = 0; part < (field ? 2 : 1); ++part) {
            TMBMotionVector& v = pair[static_cast<size_t>(part)];
            uint32_t select = 0;
            if (field && !in.Get(1, select))
                return false;
            v.FieldSelect = static_cast<int32_t>(select);
            if (!GetVector(in, w, v) || !VectorInside(g, x, y, field != 0, v))
                return false;
        }
    }
    return true;
}

} // namespace

std::vector<uint8_t> EncodeMotionRecord(const TMotionRecordGeometry& geometry, std::span<const TMBInfo> macroblocks) {
    const TFieldWidths w = WidthsOf(geometry);
    // Written into a zeroed buffer of the longest record, which also leaves the padding zero.
    std::vector<uint8_t> bytes(static_cast<size_t>(MaxMotionRecordSize(geometry)));
    TByteBufferBitRewriter out(bytes.data(), false);
    for (int32_t width : {w.X, w.Y, w.VectorX, w.VectorY})
        out.PutBits(static_cast<uint32_t>(width), 8);
    for (const TMBInfo& mb : macroblocks) {
        const bool intra = mb.IsIntra() || !(mb.HasForward() || mb.HasBackward());
        out.PutBits(intra ? 1 : 0, 1);
        if (!intra) {
            out.PutBits(mb.HasForward() ? 1 : 0, 1);
            out.PutBits(mb.HasBackward() ? 1 : 0, 1);
        }
        out.PutBits(mb.IsFieldDCT() ? 1 : 0, 1);
        if (intra)
            continue;
        const bool field = mb.IsFieldPrediction();
        out.PutBits(field ? 1 : 0, 1);
        for (int32_t direction = 0; direction < 2; ++direction) {
            if (!(direction == 0 ? mb.HasForward() : mb.HasBackward()))
                continue;
            const TMBVectorPair& pair = direction == 0 ? mb.Forward : mb.Backward;
            for (int32_t part = 0; part < (field ? 2 : 1); ++part) {
                if (field)
                    out.PutBits(static_cast<uint32_t>(pair[static_cast<size_t>(part)].FieldSelect), 1);
                PutVector(out, w, pair[static_cast<size_t>(part)]);
            }
        }
    }
    bytes.resize(static_cast<size_t>(out.GetByteCount()));
    return bytes;
}

bool DecodeMotionRecord(const TMotionRecordGeometry& geometry, std::span<const uint8_t> bytes,
                        std::vector<TMBInfo>& macroblocks) {
    const TFieldWidths w = WidthsOf(geometry);
    TRecordReader in(bytes);
    if (!ReadHeader(in, w))
        return false;
    const int32_t count = geometry.MBWidth * geometry.MBHeight;
    macroblocks.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        if (!ReadMacroblock(in, geometry, w, i, macroblocks[static_cast<size_t>(i)]))
            return false;
    return in.EndsHere();
}

int64_t MaxMotionRecordSize(const TMotionRecordGeometry& geometry) {
    const TFieldWidths w = WidthsOf(geometry);
    const int64_t vector = 1 + w.VectorX + 1 + w.VectorY + 1 + w.X + w.Y + kCostBits; // with its field select
    const int64_t macroblock = 5 + 4 * vector;
    return 4 + (int64_t{geometry.MBWidth} * geometry.MBHeight * macroblock + 7) / 8;
}

TMPEGVideoEncoder_MotionCache::~TMPEGVideoEncoder_MotionCache() = default;

void TMPEGVideoEncoder_MotionCache::SetStream(TLargeStream* stream) {
    if (!Stream)
        Stream = stream;
}

void TMPEGVideoEncoder_MotionCache::BeginPass(bool writing, const std::string& tempDirectory,
                                              const TMotionRecordGeometry& geometry) {
    Mode = TMode::Off;
    WritingPass = ReadingPass = false;
    Position = 0;
    StoredCount = LoadedCount = 0;
    if (!IsEnabled())
        return;
    MaxRecord = MaxMotionRecordSize(geometry);
    if (writing) {
        Complete = false;
        if (!Stream) {
            OwnStream = std::make_unique<TLargeSeparatedFileStream>(tempDirectory, "vbr", "tmp", kPieceSize);
            Stream = OwnStream.get();
        }
        Stream->Seek(0, soFromBeginning);
        Mode = TMode::Writing;
        WritingPass = true;
    } else if (Complete) {
        Stream->Seek(0, soFromBeginning);
        Mode = TMode::Reading;
        ReadingPass = true;
    }
}

void TMPEGVideoEncoder_MotionCache::EndPass() {
    if (Mode == TMode::Writing)
        StopWriting();
    Mode = TMode::Off;
    WritingPass = ReadingPass = false;
}

bool TMPEGVideoEncoder_MotionCache::WriteLength(uint32_t length) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                              static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
    return Stream->Write(bytes, 4) == 4;
}

void TMPEGVideoEncoder_MotionCache::StopWriting() {
    // The end mark is best effort: a reader also stops at a short or damaged record.
    try {
        WriteLength(0);
    } catch (const std::exception&) {
    }
    Complete = true;
    Mode = TMode::Off;
}

void TMPEGVideoEncoder_MotionCache::Store(std::span<const uint8_t> record) {
    if (Mode != TMode::Writing)
        return;
    const int64_t limit = Limit > 0 ? Limit : std::numeric_limits<int64_t>::max();
    const auto size = static_cast<int64_t>(record.size());
    // Room for this record and the end mark after it.
    if (size == 0 || size > MaxRecord || Position + 4 + size + 4 > limit) {
        StopWriting();
        return;
    }
    try {
        if (!WriteLength(static_cast<uint32_t>(size)) ||
            Stream->Write(record.data(), static_cast<int32_t>(size)) != static_cast<int32_t>(size)) {
            StopWriting();
            return;
        }
    } catch (const std::exception&) {
        // A cache that cannot be written only costs the later passes their search time.
        Complete = true;
        Mode = TMode::Off;
        return;
    }
    Position += 4 + size;
    ++StoredCount;
}

bool TMPEGVideoEncoder_MotionCache::Load(std::vector<uint8_t>& record) {
    if (Mode != TMode::Reading)
        return false;
    const auto readAll = [this](uint8_t* data, int64_t count) {
        while (count > 0) {
            const int32_t got = Stream->Read(data, static_cast<int32_t>(count));
            if (got <= 0)
                return false;
            data += got;
            count -= got;
        }
        return true;
    };
    try {
        uint8_t bytes[4];
        if (readAll(bytes, 4)) {
            const int64_t length = int64_t{bytes[0]} | (int64_t{bytes[1]} << 8) | (int64_t{bytes[2]} << 16) |
                                   (int64_t{bytes[3]} << 24);
            if (length > 0 && length <= MaxRecord) {
                record.resize(static_cast<size_t>(length));
                if (readAll(record.data(), length)) {
                    ++LoadedCount;
                    return true;
                }
            }
        }
    } catch (const std::exception&) {
    }
    Mode = TMode::Off;
    return false;
}

} // namespace quillset
