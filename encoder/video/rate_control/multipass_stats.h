// The statistics of multipass variable bit rate coding: one 232-byte record per batch, written
// during the analysis pass in batch order, rewritten in place by the pass finisher and read back
// by the final pass, kept in a temporary file that is removed when the encoder lets it go.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "stream/cache_random_access_stream.h"
#include "stream/file_stream.h"

namespace quillset {

// One batch's record. Stored little-endian at these offsets (232 bytes in all):
//   0 float32 Duration, 4 float32 Frames, 8 BitRate, 16 Quality, 24 Distortion, 32 Complexity,
//   40 StartChange, 48 Motion, 56 Activity, 64 reserved, 72 TargetRate, 80 FinalQuality,
//   88 BaseQuality, 96..215 reserved, 216 MotionScale, 224 reserved (all others float64).
struct TMPEGVideoEncoder_MultipassStats {
    float Duration = 0.0f;     // seconds: frames / picture rate
    float Frames = 0.0f;       // the batch's field total / 2
    double BitRate = 0.0;      // analysis pass: bits written / duration
    double Quality = 0.0;      // analysis pass: the quality of the batch's segment
    double Distortion = 1.0;   // 1 + the sum of the pictures' distortion figures
    double Complexity = 0.0;   // the largest distortion figure (at least 1) x frames
    double StartChange = 0.0;  // change against the picture before the batch; -1 = none
    double Motion = 0.0;       // cost of the cheapest run of predicted pictures; -1 = none
    double Activity = 0.0;     // mean picture activity per frame
    double TargetRate = 0.0;   // finisher: bit/s for the final pass
    double FinalQuality = 0.0; // constant-quality finisher: quality for the final pass
    double BaseQuality = 0.0;  // constant-quality finisher: working value of the quality search
    double MotionScale = 0.0;  // constant-quality finisher: quality scale of the batch's motion
};

inline constexpr int32_t kMultipassStatsRecordSize = 232;
using TMultipassStatsBytes = std::array<uint8_t, kMultipassStatsRecordSize>;

TMultipassStatsBytes EncodeMultipassStats(const TMPEGVideoEncoder_MultipassStats& record);
TMPEGVideoEncoder_MultipassStats DecodeMultipassStats(const TMultipassStatsBytes& bytes);

// The statistics stream: a delete-on-close temporary file read and written through a 64 KiB
// random-access cache. Records are addressed by batch number.
class TMPEGVideoEncoder_MultipassStatsFile {
public:
    // Creates the file MakeTempFileName(folder, "vbr", "tmp"). Raises EFCreateError when the
    // file cannot be created.
    explicit TMPEGVideoEncoder_MultipassStatsFile(const std::string& folder);
    ~TMPEGVideoEncoder_MultipassStatsFile();

    // Forgets every record (a new analysis pass starts).
    void Rewind();
    int64_t Count() const { return RecordCount; }
    void Append(const TMPEGVideoEncoder_MultipassStats& record);
    // Raises EReadError for a record that is not there.
    TMPEGVideoEncoder_MultipassStats Read(int64_t index);
    void Write(int64_t index, const TMPEGVideoEncoder_MultipassStats& record);

    const std::string& GetFileName() const { return FileName; }

private:
    std::string FileName;
    std::unique_ptr<TLargeFileStream> File;
    std::unique_ptr<TLargeCacheRandomAccessStream> Cache;
    int64_t RecordCount = 0;
};

} // namespace quillset
