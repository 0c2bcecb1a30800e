// The motion cache of multipass encoding: the first analysis pass keeps each picture's searched
// predictions (mode and vectors per macroblock) in a stream, and the passes after it read them
// back instead of searching again.
//
// Stream layout, per picture in coded order: a 4-byte little-endian length L, then L bytes of a
// big-endian bit string:
//   four 8-bit widths: wx = bits(padded width), wy = bits(padded height),
//                      vx = bits(2 x padded width) + 1, vy = bits(2 x padded height) + 1
//                      (bits(n) = the number of significant bits of n, bits(0) = 0);
//   per macroblock in raster order: intra (1); if not intra: forward (1), backward (1);
//   the DCT type (1, field DCT); if not intra: field prediction (1); then per direction present
//   one vector (frame prediction) or two, each led by a 1-bit field select (field prediction);
//   a vector: |dx| in vx bits, its sign (1), |dy| in vy bits, its sign (1), the match position
//   x in wx bits and y in wy bits, the match cost in 31 bits;
//   zero bits up to a byte boundary.
// A length of 0 ends the records: the stream reached its size limit, or the pass ended.
//
// What a record keeps is the prediction the search chose for each macroblock before the intra
// and DCT decisions ("intra" there means the picture offered no prediction at all), together
// with the DCT type the writing pass decided. A later pass decides intra and DCT type again at
// its own rate from the cached prediction, so an encode gives the same stream with or without
// the cache.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "encoder/video/macroblock_info.h"
#include "stream/large_stream.h"

namespace quillset {

struct TMotionRecordGeometry {
    int32_t PaddedWidth = 0;
    int32_t PaddedHeight = 0;
    int32_t MBWidth = 0;
    int32_t MBHeight = 0;
};

// The bytes of one picture's record (without the length). Per macroblock: Flags (intra,
// forward, backward, field DCT), MotionType and the vectors of the directions present.
std::vector<uint8_t> EncodeMotionRecord(const TMotionRecordGeometry& geometry, std::span<const TMBInfo> macroblocks);

// Reads a record back into one TMBInfo per macroblock (flags, motion type, vectors; the rest
// default). False when the bytes are not exactly one record of this geometry or a vector would
// predict from outside the padded picture.
bool DecodeMotionRecord(const TMotionRecordGeometry& geometry, std::span<const uint8_t> bytes,
                        std::vector<TMBInfo>& macroblocks);

// The longest record a picture of this geometry can have.
int64_t MaxMotionRecordSize(const TMotionRecordGeometry& geometry);

// The cache stream across the passes of one encoder.
class TMPEGVideoEncoder_MotionCache {
public:
    TMPEGVideoEncoder_MotionCache() = default;
    ~TMPEGVideoEncoder_MotionCache();
    TMPEGVideoEncoder_MotionCache(const TMPEGVideoEncoder_MotionCache&) = delete;
    TMPEGVideoEncoder_MotionCache& operator=(const TMPEGVideoEncoder_MotionCache&) = delete;

    // Byte limit of the stream (0 or less: no limit with a given stream, no cache otherwise).
    void SetLimit(int64_t limit) { Limit = limit; }
    // A caller-owned stream, taken only if none is set yet.
    void SetStream(TLargeStream* stream);
    // The cache is in use: a limit above 0 or a given stream.
    bool IsEnabled() const { return Limit > 0 || Stream != nullptr; }

    // Rewinds for a pass. A writing pass stores records from the start (the cache's own
    // temporary file is created in `tempDirectory` the first time); a reading pass reads the
    // records of the last completed writing pass.
    void BeginPass(bool writing, const std::string& tempDirectory, const TMotionRecordGeometry& geometry);
    // Ends the records of a writing pass.
    void EndPass();

    // The pass writes or reads records. Fixed for the pass, while IsWriting / IsReading turn
    // false once writing or reading stopped; those belong to the thread that stores or loads.
    bool IsWritingPass() const { return WritingPass; }
    bool IsReadingPass() const { return ReadingPass; }
    bool IsWriting() const { return Mode == TMode::Writing; }
    bool IsReading() const { return Mode == TMode::Reading; }

    // Appends a record; writing stops for the pass when the limit would be passed or the stream
    // fails (what was written stays readable).
    void Store(std::span<const uint8_t> record);
    // The next record, or false when the records ended (reading stops for the pass).
    bool Load(std::vector<uint8_t>& record);

    // Records stored / loaded in the current pass.
    int64_t GetStoredCount() const { return StoredCount; }
    int64_t GetLoadedCount() const { return LoadedCount; }

private:
    enum class TMode { Off, Writing, Reading };

    bool WriteLength(uint32_t length);
    void StopWriting();

    TLargeStream* Stream = nullptr;
    std::unique_ptr<TLargeStream> OwnStream;
    int64_t Limit = 0;
    TMode Mode = TMode::Off;
    bool WritingPass = false;
    bool ReadingPass = false;
    bool Complete = false;  // a writing pass ended with its records whole
    int64_t Position = 0;   // bytes stored in the current writing pass
    int64_t MaxRecord = 0;
    int64_t StoredCount = 0;
    int64_t LoadedCount = 0;
};

} // namespace quillset
