// The multipass motion cache: the record layout, the cache stream with its limit, and the
// encoder, whose stream must not change when the final pass takes its motion from the cache.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "encoder/tests/video/core/multipass_clip.h"
#include "encoder/tests/video/core/video_encode_run.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "encoder/video/motion_cache.h"
#include "stream/memory_stream.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::VideoEncodeRun;

TMBMotionVector Vector(int32_t mvX, int32_t mvY, int32_t bestX, int32_t bestY, int32_t cost, int32_t select = 0) {
    TMBMotionVector v;
    v.MvX = mvX;
    v.MvY = mvY;
    v.BestX = bestX;
    v.BestY = bestY;
    v.Cost = cost;
    v.FieldSelect = select;
    return v;
}

TMBInfo Intra(bool fieldDct) {
    TMBInfo mb;
    mb.Flags = static_cast<uint16_t>(MBInfoFlag_Intra | (fieldDct ? MBInfoFlag_FieldDCT : 0));
    return mb;
}

TMBInfo Predicted(uint16_t directions, bool field, const TMBVectorPair& forward, const TMBVectorPair& backward,
                  bool fieldDct = false) {
    TMBInfo mb;
    mb.Flags = static_cast<uint16_t>(directions | (fieldDct ? MBInfoFlag_FieldDCT : 0));
    mb.MotionType = field ? MBMotionType_Field : MBMotionType_Frame;
    if (directions & MBInfoFlag_Forward)
        mb.Forward = forward;
    if (directions & MBInfoFlag_Backward)
        mb.Backward = backward;
    return mb;
}

void ExpectSameMotion(const TMBInfo& a, const TMBInfo& b, size_t index) {
    EXPECT_EQ(a.Flags, b.Flags) << "macroblock " << index;
    if (a.IsIntra())
        return;
    EXPECT_EQ(a.MotionType, b.MotionType) << "macroblock " << index;
    const auto same = [&](const TMBVectorPair& x, const TMBVectorPair& y) {
        for (int32_t i = 0; i < (a.IsFieldPrediction() ? 2 : 1); ++i) {
            const TMBMotionVector &u = x[static_cast<size_t>(i)], &v = y[static_cast<size_t>(i)];
            EXPECT_EQ(std::vector<int32_t>({u.MvX, u.MvY, u.BestX, u.BestY, u.Cost, a.IsFieldPrediction() ? u.FieldSelect : 0}),
                      std::vector<int32_t>({v.MvX, v.MvY, v.BestX, v.BestY, v.Cost, v.FieldSelect}))
                << "macroblock " << index << " vector " << i;
        }
    };
    if (a.HasForward())
        same(a.Forward, b.Forward);
    if (a.HasBackward())
        same(a.Backward, b.Backward);
}

// Two macroblocks of a 32x16 picture: an intra one and a forward frame prediction.
TEST(MotionRecord, LayoutIsTheDocumentedBitString) {
    const TMotionRecordGeometry g{32, 16, 2, 1};
    const std::vector<TMBInfo> mbs = {Intra(false),
                                      Predicted(MBInfoFlag_Forward, false, {Vector(-3, 0, 14, 0, 300), {}}, {})};
    // Widths bits(32) = 6, bits(16) = 5, bits(64) + 1 = 8, bits(32) + 1 = 7; then
    // "1 0" for the intra macroblock, "0 1 0 0 0" for the forward frame prediction, the vector
    // |dx| 3 in 8 bits, sign 1, |dy| 0 in 7 bits, sign 0, x 14 in 6 bits, y 0 in 5 bits, cost 300
    // in 31 bits, padded to the byte.
    const std::vector<uint8_t> expected = {0x06, 0x05, 0x08, 0x07, 0x90, 0x07, 0x00,
                                           0x38, 0x00, 0x00, 0x00, 0x4B, 0x00};
    EXPECT_EQ(EncodeMotionRecord(g, mbs), expected);
    std::vector<TMBInfo> back;
    ASSERT_TRUE(DecodeMotionRecord(g, expected, back));
    ASSERT_EQ(back.size(), 2u);
    for (size_t i = 0; i < back.size(); ++i)
        ExpectSameMotion(mbs[i], back[i], i);
}

TEST(MotionRecord, EveryModeReadsBackAsWritten) {
    // 720x480: macroblocks in raster order, 45 per row.
    const TMotionRecordGeometry g{720, 480, 45, 30};
    std::vector<TMBInfo> mbs(45 * 30, Intra(true));
    const TMBVectorPair fieldPair = {Vector(-31, 7, 100, 40, 1234, 1), Vector(64, -9, 144, 30, 0, 0)};
    // The right edge reached exactly, the largest cost.
    const TMBVectorPair framePair = {Vector(1376, -17, 704, 7, 0x7FFFFFFF), {}};
    mbs[46] = Predicted(MBInfoFlag_Forward, false, framePair, {}, true);
    mbs[47] = Predicted(MBInfoFlag_Backward, true, {}, fieldPair);
    mbs[48] = Predicted(MBInfoFlag_Forward | MBInfoFlag_Backward, true, fieldPair, fieldPair, true);
    mbs[49] = Predicted(MBInfoFlag_Forward | MBInfoFlag_Backward, false, {Vector(0, 0, 64, 16, 0), {}},
                        {Vector(-1, -1, 63, 15, 5), {}});
    mbs[0] = Intra(false);
    // The left and bottom edges reached exactly.
    mbs[45 * 29] = Predicted(MBInfoFlag_Forward, false, {Vector(0, 0, 0, 464, 9), {}}, {});
    const std::vector<uint8_t> bytes = EncodeMotionRecord(g, mbs);
    EXPECT_LE(static_cast<int64_t>(bytes.size()) + 4, MaxMotionRecordSize(g));
    std::vector<TMBInfo> back;
    ASSERT_TRUE(DecodeMotionRecord(g, bytes, back));
    ASSERT_EQ(back.size(), mbs.size());
    for (size_t i = 0; i < mbs.size(); ++i)
        ExpectSameMotion(mbs[i], back[i], i);
}

TEST(MotionRecord, DamagedRecordsAreRefused) {
    const TMotionRecordGeometry g{32, 16, 2, 1};
    const std::vector<uint8_t> good = {0x06, 0x05, 0x08, 0x07, 0x90, 0x07, 0x00, 0x38, 0x00, 0x00, 0x00, 0x4B, 0x00};
    struct Case {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    std::vector<Case> cases = {{"empty", {}}, {"one byte short", good}, {"one byte more", good},
                               {"other picture width", good}, {"padding not zero", good},
                               {"vector reaches past the right edge", good}, {"predicted without a direction", good}};
    cases[1].Bytes.pop_back();
    cases[2].Bytes.push_back(0);
    cases[3].Bytes[0] = 7;
    cases[4].Bytes.back() = 0x01;
    // The sign bit of dx cleared: +3 half pels from x 16 reads columns 17 to 33 of 32.
    cases[5].Bytes[5] = 0x06;
    // The second macroblock reads "not intra, no forward, no backward".
    cases[6].Bytes[4] = 0x80;
    std::vector<TMBInfo> out;
    for (const Case& c : cases)
        EXPECT_FALSE(DecodeMotionRecord(g, c.Bytes, out)) << c.Name;

    // Random damage never reads outside the record or yields a vector outside the picture.
    const TMotionRecordGeometry big{176, 128, 11, 8};
    std::vector<TMBInfo> mbs(88, Predicted(MBInfoFlag_Forward | MBInfoFlag_Backward, true,
                                           {Vector(-3, 5, 14, 2, 77, 1), Vector(8, -1, 20, 0, 91, 0)},
                                           {Vector(0, 0, 16, 0, 3, 0), Vector(1, 1, 16, 0, 4, 1)}));
    const std::vector<uint8_t> record = EncodeMotionRecord(big, mbs);
    std::mt19937 random(7);
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<uint8_t> damaged = record;
        damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        if (random() % 4 == 0)
            damaged.resize(random() % damaged.size());
        if (!DecodeMotionRecord(big, damaged, out))
            continue;
        for (const TMBInfo& mb : out)
            for (const TMBVectorPair* pair : {&mb.Forward, &mb.Backward})
                for (const TMBMotionVector& v : *pair) {
                    EXPECT_GE(v.BestX, 0);
                    EXPECT_LT(v.BestX, 176);
                }
    }
}

TEST(MotionCacheStream, StopsAtTheLimitWithAnEndMarkAndReadsBackInOrder) {
    const TMotionRecordGeometry g{32, 16, 2, 1};
    const std::vector<uint8_t> a(10, 0xA1), b(20, 0xB2), c(30, 0xC3);
    struct Case {
        const char* Name;
        int64_t Limit;
        int32_t Kept;
    };
    // Each record takes 4 + its bytes; the end mark 4 more.
    const Case cases[] = {{"no limit", 0, 3}, {"all fit", 4 + 10 + 4 + 20 + 4 + 30 + 4, 3},
                          {"one byte short of all", 4 + 10 + 4 + 20 + 4 + 30 + 3, 2}, {"none fit", 17, 0}};
    for (const Case& k : cases) {
        TLargeMemoryStream stream;
        TMPEGVideoEncoder_MotionCache cache;
        cache.SetLimit(k.Limit);
        cache.SetStream(&stream);
        cache.BeginPass(true, "", g);
        for (const auto* r : {&a, &b, &c})
            cache.Store(*r);
        cache.EndPass();
        EXPECT_EQ(cache.GetStoredCount(), k.Kept) << k.Name;
        cache.BeginPass(false, "", g);
        std::vector<uint8_t> record;
        const std::vector<uint8_t>* expected[] = {&a, &b, &c};
        for (int32_t i = 0; i < k.Kept; ++i) {
            ASSERT_TRUE(cache.Load(record)) << k.Name << " record " << i;
            EXPECT_EQ(record, *expected[i]) << k.Name;
        }
        EXPECT_FALSE(cache.Load(record)) << k.Name;
        EXPECT_FALSE(cache.Load(record)) << k.Name;
        cache.EndPass();
    }
}

TEST(MotionCacheStream, NothingIsReadWithoutACompletedWritingPass) {
    const TMotionRecordGeometry g{32, 16, 2, 1};
    TLargeMemoryStream stream;
    TMPEGVideoEncoder_MotionCache cache;
    cache.SetStream(&stream);
    cache.BeginPass(false, "", g);
    EXPECT_FALSE(cache.IsReading());
    TMPEGVideoEncoder_MotionCache disabled;
    disabled.BeginPass(true, "", g);
    EXPECT_FALSE(disabled.IsWriting());
}

// ---------------------------------------------------------------------------------------------
// The encoder with and without the cache.

constexpr int32_t kClipPictures = 45;

struct CacheCase {
    const char* Name;
    uint8_t Algorithm;
    bool Interlaced;
    int32_t AvgBitRate;
    int32_t Threads;
};

std::ostream& operator<<(std::ostream& out, const CacheCase& k) { return out << k.Name; }

TMPEGVideoEncoder_EncodeConfig CacheConfig(const CacheCase& k) {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.Width = 176;
    c.Height = 128;
    c.VideoEncodeMode =
        k.Interlaced ? MPEGVideoEncoder_VideoEncodeMode_Interlace : MPEGVideoEncoder_VideoEncodeMode_Progressive;
    c.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_2PASS;
    c.MultipassVBRAlgorithm = k.Algorithm;
    c.AvgBitRate = k.AvgBitRate;
    c.MaxBitRate = 3 * k.AvgBitRate;
    c.MinBitRate = 0;
    c.AnalyzeThreadCount = k.Threads;
    c.UseEncodeThread = k.Threads > 0 ? 1 : 0;
    return c;
}

struct CachedEncode {
    std::string Stream;
    int64_t CachedPictures = 0;
};

CachedEncode EncodeWithCache(TMPEGVideoEncoder_EncodeConfig config, int64_t limit, const std::string& tempDir,
                             TLargeStream* cacheStream = nullptr) {
    config.MotionCacheLimit = limit;
    VideoEncodeRun run(config);
    run.Encoder->SetTempDirectory(tempDir);
    if (cacheStream)
        run.Encoder->SetMotionCacheStream(cacheStream);
    testing::EncodeChangingClip(*run.Encoder, kClipPictures);
    return {run.Stream(), run.Encoder->GetMotionCachePictureCount()};
}

class MotionCacheEncode : public ::testing::TestWithParam<CacheCase> {};

// The interlaced cases run at rates where the intra decision depends on the pass's target rate,
// so the final pass must decide again rather than replay the analysis pass's decisions.
TEST_P(MotionCacheEncode, FinalPassSkipsTheSearchAndCodesTheSameStream) {
    const CacheCase& k = GetParam();
    testing::TempDir dir;
    const TMPEGVideoEncoder_EncodeConfig config = CacheConfig(k);
    const CachedEncode searched = EncodeWithCache(config, 0, dir.Path());
    EXPECT_EQ(searched.CachedPictures, 0);
    const CachedEncode cached = EncodeWithCache(config, int64_t{1} << 30, dir.Path());
    EXPECT_EQ(cached.CachedPictures, kClipPictures);
    ASSERT_GT(searched.Stream.size(), 1000u);
    EXPECT_TRUE(searched.Stream == cached.Stream)
        << "sizes " << searched.Stream.size() << " and " << cached.Stream.size();
    // A limit that holds a few records: the rest is searched again, same stream.
    const CachedEncode partial = EncodeWithCache(config, 4 * 1024, dir.Path());
    EXPECT_GT(partial.CachedPictures, 0);
    EXPECT_LT(partial.CachedPictures, kClipPictures);
    EXPECT_TRUE(searched.Stream == partial.Stream);
    // The encoder's own cache files are gone with it.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

INSTANTIATE_TEST_SUITE_P(
    Passes, MotionCacheEncode,
    ::testing::Values(CacheCase{"TwoPassProgressive", MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS, false, 800000, 0},
                      CacheCase{"TwoPassInterlacedLowRate", MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS, true, 150000, 0},
                      CacheCase{"MultipassCQInterlacedThreads", MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ,
                                true, 150000, 2}),
    [](const auto& p) { return std::string(p.param.Name); });

// A caller-supplied stream receives the records; one damaged record ends the reading there and
// the pictures after it are searched again.
TEST(MotionCacheEncode, CallerStreamHoldsOneRecordPerPictureAndADamagedOneEndsTheReading) {
    testing::TempDir dir;
    const TMPEGVideoEncoder_EncodeConfig config =
        CacheConfig({"", MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS, false, 800000, 0});
    const CachedEncode searched = EncodeWithCache(config, 0, dir.Path());

    TLargeMemoryStream stream;
    const CachedEncode cached = EncodeWithCache(config, 0, dir.Path(), &stream);
    EXPECT_TRUE(searched.Stream == cached.Stream);
    EXPECT_EQ(cached.CachedPictures, kClipPictures);
    // The first picture in coded order is the I picture: 88 intra macroblocks with frame DCT.
    const uint8_t* bytes = stream.GetMemory();
    ASSERT_GE(stream.GetSize(), 30);
    const std::vector<uint8_t> first(bytes, bytes + 30);
    std::vector<uint8_t> expected = {26, 0, 0, 0, 8, 8, 10, 10};
    expected.insert(expected.end(), 22, 0xAA);
    EXPECT_EQ(first, expected);
    std::vector<int64_t> offsets;
    int64_t at = 0;
    for (;;) {
        ASSERT_LE(at + 4, stream.GetSize());
        const int64_t length = bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (int64_t{bytes[at + 3]} << 24);
        if (length == 0)
            break;
        offsets.push_back(at);
        at += 4 + length;
    }
    EXPECT_EQ(offsets.size(), static_cast<size_t>(kClipPictures));

    // Damage the length of record 20 between the passes.
    VideoEncodeRun run(config);
    run.Encoder->SetTempDirectory(dir.Path());
    TLargeMemoryStream second;
    run.Encoder->SetMotionCacheStream(&second);
    testing::PushChangingClip(*run.Encoder, kClipPictures, true);
    second.GetMemory()[offsets[20] + 3] = 0x7F;
    testing::PushChangingClip(*run.Encoder, kClipPictures, false);
    EXPECT_EQ(run.Encoder->GetMotionCachePictureCount(), 20);
    EXPECT_TRUE(run.Stream() == searched.Stream);
}

} // namespace
} // namespace quillset
