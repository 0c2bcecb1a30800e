#include "encoder/video/rate_control/multipass_stats.h"

#include <algorithm>
#include <cstring>

#include "stream/exceptions.h"
#include "stream/temp_file.h"

namespace quillset {

namespace {

constexpr int32_t kStatsCacheBlockSize = 65536;

template <typename T>
void Put(TMultipassStatsBytes& bytes, size_t offset, T value) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    uint64_t bits = 0;
    if constexpr (sizeof(T) == 4) {
        uint32_t b;
        std::memcpy(&b, &value, 4);
        bits = b;
    } else {
        std::memcpy(&bits, &value, 8);
    }
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <typename T>
T Get(const TMultipassStatsBytes& bytes, size_t offset) {
    uint64_t bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<uint64_t>(bytes[offset + i]) << (8 * i);
    T value;
    if constexpr (sizeof(T) == 4) {
        const auto b = static_cast<uint32_t>(bits);
        std::memcpy(&value, &b, 4);
    } else {
        std::memcpy(&value, &bits, 8);
    }
    return value;
}

} // namespace

TMultipassStatsBytes EncodeMultipassStats(const TMPEGVideoEncoder_MultipassStats& r) {
    TMultipassStatsBytes bytes{};
    Put(bytes, 0, r.Duration);
    Put(bytes, 4, r.Frames);
    Put(bytes, 8, r.BitRate);
    Put(bytes, 16, r.Quality);
    Put(bytes, 24, r.Distortion);
    Put(bytes, 32, r.Complexity);
    Put(bytes, 40, r.StartChange);
    Put(bytes, 48, r.Motion);
    Put(bytes, 56, r.Activity);
    Put(bytes, 72, r.TargetRate);
    Put(bytes, 80, r.FinalQuality);
    Put(bytes, 88, r.BaseQuality);
    Put(bytes, 216, r.MotionScale);
    return bytes;
}

TMPEGVideoEncoder_MultipassStats DecodeMultipassStats(const TMultipassStatsBytes& bytes) {
    TMPEGVideoEncoder_MultipassStats r;
    r.Duration = Get<float>(bytes, 0);
    r.Frames = Get<float>(bytes, 4);
    r.BitRate = Get<double>(bytes, 8);
    r.Quality = Get<double>(bytes, 16);
    r.Distortion = Get<double>(bytes, 24);
    r.Complexity = Get<double>(bytes, 32);
    r.StartChange = Get<double>(bytes, 40);
    r.Motion = Get<double>(bytes, 48);
    r.Activity = Get<double>(bytes, 56);
    r.TargetRate = Get<double>(bytes, 72);
    r.FinalQuality = Get<double>(bytes, 80);
    r.BaseQuality = Get<double>(bytes, 88);
    r.MotionScale = Get<double>(bytes, 216);
    return r;
}

TMPEGVideoEncoder_MultipassStatsFile::TMPEGVideoEncoder_MultipassStatsFile(const std::string& folder)
    : FileName(MakeTempFileName(folder, "vbr", "tmp")) {
    if (FileName.empty())
        throw EFCreateError(FormatText(SFCreateError, (folder + "vbr_*.tmp").c_str()));
    File = CreateTemporaryFileStream(GetLargeFileStreamClass(), FileName);
    Cache = TLargeCacheRandomAccessStream::Create(*File, kStatsCacheBlockSize);
}

TMPEGVideoEncoder_MultipassStatsFile::~TMPEGVideoEncoder_MultipassStatsFile() {
    // The cache goes first: it writes into the file, which then removes itself.
    Cache.reset();
    File.reset();
}

void TMPEGVideoEncoder_MultipassStatsFile::Rewind() {
    RecordCount = 0;
    Cache->SetPosition(0);
}

void TMPEGVideoEncoder_MultipassStatsFile::Append(const TMPEGVideoEncoder_MultipassStats& record) {
    Write(RecordCount, record);
}

TMPEGVideoEncoder_MultipassStats TMPEGVideoEncoder_MultipassStatsFile::Read(int64_t index) {
    if (index < 0 || index >= RecordCount)
        throw EReadError(SStreamReadError);
    TMultipassStatsBytes bytes{};
    Cache->SetPosition(index * kMultipassStatsRecordSize);
    Cache->ReadBuffer(bytes.data(), kMultipassStatsRecordSize);
    return DecodeMultipassStats(bytes);
}

void TMPEGVideoEncoder_MultipassStatsFile::Write(int64_t index, const TMPEGVideoEncoder_MultipassStats& record) {
    const TMultipassStatsBytes bytes = EncodeMultipassStats(record);
    Cache->SetPosition(index * kMultipassStatsRecordSize);
    Cache->WriteBuffer(bytes.data(), kMultipassStatsRecordSize);
    RecordCount = std::max(RecordCount, index + 1);
}

} // namespace quillset
