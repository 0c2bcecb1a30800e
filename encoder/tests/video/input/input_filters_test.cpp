// Scene change detection and inverse 3:2 pulldown on pictures built in memory: the measures'
// weighting, the detector's level, and the pulldown filter on film telecined here field by field
// (so every output field can be traced to the film frame it came from).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/video/input/inverse_pulldown.h"
#include "encoder/video/input/picture_measures.h"
#include "encoder/video/input/scene_change_detector.h"

namespace quillset {
namespace {

TKernelTable Kernels() {
    TKernelTable table;
    MPEGEncoder_FuncSet_Normal(table);
    return table;
}

using Image = std::unique_ptr<TMPEGVideo_YUVImage>;

Image NewPicture(int32_t width, int32_t height, int32_t chromaFormat = 1) {
    TMPEGVideo_YUVImageFormat f;
    f.ChromaFormat = chromaFormat;
    f.Width = f.PictureWidth = width;
    f.Height = f.PictureHeight = height;
    f.ChromaWidth = width / 2;
    f.ChromaHeight = chromaFormat == 2 ? height : height / 2;
    return std::make_unique<TMPEGVideo_YUVImage>(nullptr, f);
}

// A picture of one luma value (chroma 128).
Image Flat(int32_t width, int32_t height, uint8_t luma, int32_t chromaFormat = 1) {
    Image p = NewPicture(width, height, chromaFormat);
    for (int32_t r = 0; r < p->Format.Height; ++r)
        std::fill_n(p->LumaRow(r), p->LumaStride, luma);
    for (int32_t r = 0; r < p->Format.ChromaHeight; ++r) {
        std::fill_n(p->CbRow(r), p->ChromaStride, 128);
        std::fill_n(p->CrRow(r), p->ChromaStride, 128);
    }
    return p;
}

// Film frame n of a textured pattern moving 3 samples right per frame.
uint8_t FilmSample(int32_t n, int32_t x, int32_t y) {
    const double u = x - 3.0 * n;
    return static_cast<uint8_t>(128 + 90 * std::sin(0.35 * u) * std::cos(0.23 * y) + 20 * std::sin(0.05 * u * y / 7));
}

// A frame woven from film frame `top` (even lines) and film frame `bottom` (odd lines).
Image Woven(int32_t width, int32_t height, int32_t top, int32_t bottom) {
    Image p = Flat(width, height, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            p->LumaRow(y)[x] = FilmSample(y % 2 == 0 ? top : bottom, x, y);
    return p;
}

// Which film frame each line parity of a picture shows (-1 when none matches exactly).
int32_t FilmFrameOf(const TMPEGVideo_YUVImage& p, int32_t parity, int32_t frames) {
    for (int32_t n = 0; n < frames; ++n) {
        bool same = true;
        for (int32_t y = parity; y < p.Format.Height && same; y += 2)
            for (int32_t x = 0; x < p.Format.Width && same; ++x)
                same = p.LumaRow(y)[x] == FilmSample(n, x, y);
        if (same)
            return n;
    }
    return -1;
}

TEST(PictureMeasuresTest, WeighChromaPerLumaSampleAndSelectLines) {
    const TKernelTable k = Kernels();
    struct Case {
        int32_t ChromaFormat;
        int32_t Weight;
    };
    for (const Case c : {Case{1, 4}, Case{2, 2}}) {
        SCOPED_TRACE("chroma format " + std::to_string(c.ChromaFormat));
        Image a = Flat(64, 32, 100, c.ChromaFormat), b = Flat(64, 32, 100, c.ChromaFormat);
        EXPECT_EQ(ChromaWeight(*a), c.Weight);
        EXPECT_EQ(PictureDifference(k, *a, *b), 0);
        // Luma differs by 20 everywhere: (20 - 8)^2 per sample / 128.
        for (int32_t r = 0; r < 32; ++r)
            std::fill_n(b->LumaRow(r), 64, 120);
        EXPECT_EQ(PictureDifference(k, *a, *b), 144 * 64 * 32 / 128);
        // Field difference of the bottom lines only, threshold 16: (20 - 16)^2 per sample.
        EXPECT_EQ(FieldDifference(k, *a, *b, 1), 16 * 64 * 16 / 128);
        // Chroma of one plane differs by 18: k x (18 - 8)^2 per chroma sample.
        Image e = Flat(64, 32, 100, c.ChromaFormat);
        for (int32_t r = 0; r < e->Format.ChromaHeight; ++r)
            std::fill_n(e->CbRow(r), 32, 146);
        EXPECT_EQ(PictureDifference(k, *a, *e), int64_t{c.Weight} * 100 * 32 * e->Format.ChromaHeight / 128);
    }
}

TEST(PictureMeasuresTest, CombingSeesWovenFieldsOfDifferentMoments) {
    const TKernelTable k = Kernels();
    Image still = Woven(96, 64, 2, 2), combed = Woven(96, 64, 2, 5);
    EXPECT_GT(Combing(k, *combed, *combed), 20 * Combing(k, *still, *still) + 96 * 64 / 20);
    // C(a, b) weaves a's even lines with b's odd lines.
    Image other = Woven(96, 64, 5, 5);
    EXPECT_EQ(Combing(k, *still, *other), Combing(k, *combed, *combed));
}

TEST(SceneChangeTest, FollowsTheLevelOfRecentDifferences) {
    const TKernelTable k = Kernels();
    TMPEGVideoEncoder_DetectSceneChange detector(k);
    const int64_t area = 720 * 480;
    Image black = Flat(720, 480, 16), bright = Flat(720, 480, 235);
    // The first picture is never a change; the level starts at 8 x W x H.
    EXPECT_FALSE(detector.IsSceneChange(*black));
    EXPECT_EQ(detector.GetLevel(), 8 * area);
    // Identical pictures: d = 0, the level decays by a fifth and 0.3 x W x H per picture.
    int64_t level = 8 * area;
    for (int32_t i = 0; i < 30; ++i) {
        EXPECT_FALSE(detector.IsSceneChange(*black));
        level = std::max<int64_t>(0, static_cast<int64_t>(0.8 * static_cast<double>(level) - 0.3 * area));
        EXPECT_EQ(detector.GetLevel(), level);
    }
    // A cut to a bright picture is far above 3 x W x H and the (now empty) level.
    EXPECT_TRUE(detector.IsSceneChange(*bright));
    // Right after a cut the level is high: cutting back at once is not a new scene.
    EXPECT_FALSE(detector.IsSceneChange(*black));
}

TEST(SceneChangeTest, SmallChangesAndResetAreNotCuts) {
    const TKernelTable k = Kernels();
    TMPEGVideoEncoder_DetectSceneChange detector(k);
    // A slow fade: each step far below 3 x W x H.
    for (int32_t v = 16; v < 120; v += 4)
        EXPECT_FALSE(detector.IsSceneChange(*Flat(64, 48, static_cast<uint8_t>(v)))) << v;
    detector.Reset();
    EXPECT_EQ(detector.GetLevel(), 0);
    EXPECT_FALSE(detector.IsSceneChange(*Flat(64, 48, 250)));
}

struct PulldownOutput {
    Image Picture;
    TMPEGVideoEncoder_Image Record;
    TMPEGVideoEncoder_PictureFlags Flags;
};

// Runs the filter over the inputs and drains it.
std::vector<PulldownOutput> RunPulldown(std::vector<Image>& inputs, std::vector<TMPEGVideoEncoder_Image> records = {}) {
    const int32_t w = inputs[0]->Format.Width, h = inputs[0]->Format.Height;
    TMPEGVideoEncoder_InversePulldown_32Pulldown filter(Kernels(), true, [w, h] { return Flat(w, h, 0); });
    std::vector<PulldownOutput> out;
    records.resize(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        PulldownOutput o;
        o.Record = records[i];
        o.Picture = filter.ProcessPicture(o.Record, inputs[i].get(), o.Flags);
        if (o.Picture)
            out.push_back(std::move(o));
    }
    for (;;) {
        PulldownOutput o;
        o.Picture = filter.ProcessPicture(o.Record, nullptr, o.Flags);
        if (!o.Picture)
            break;
        out.push_back(std::move(o));
    }
    EXPECT_EQ(filter.GetInputFieldCount(), 2 * static_cast<int64_t>(inputs.size()));
    return out;
}

// Film frames telecined top field first with the pattern 2, 3, 2, 3 (as ffmpeg's telecine
// pattern 23): the field sequence, two fields per interlaced frame.
std::vector<Image> Telecine(int32_t width, int32_t height, int32_t filmFrames) {
    std::vector<int32_t> fields; // film frame of each field in display order, alternating parity
    for (int32_t n = 0; n < filmFrames; ++n)
        for (int32_t i = 0; i < (n % 2 == 0 ? 2 : 3); ++i)
            fields.push_back(n);
    std::vector<Image> frames;
    for (size_t f = 0; f + 1 < fields.size(); f += 2)
        frames.push_back(Woven(width, height, fields[f], fields[f + 1]));
    return frames;
}

TEST(InversePulldownTest, RestoresTheFilmFramesAndTheirFieldSequence) {
    constexpr int32_t kFilm = 24;
    std::vector<Image> telecined = Telecine(128, 64, kFilm);
    ASSERT_EQ(telecined.size(), 30u);
    const std::vector<PulldownOutput> out = RunPulldown(telecined);
    ASSERT_EQ(out.size(), static_cast<size_t>(kFilm));
    std::vector<int32_t> shown; // film frame of each displayed field
    for (size_t i = 0; i < out.size(); ++i) {
        const PulldownOutput& o = out[i];
        const int32_t first = o.Flags.TopFieldFirst ? 0 : 1;
        const int32_t a = FilmFrameOf(*o.Picture, first, kFilm), b = FilmFrameOf(*o.Picture, 1 - first, kFilm);
        // Every output frame is one whole film frame.
        EXPECT_EQ(a, static_cast<int32_t>(i)) << "frame " << i;
        EXPECT_EQ(b, static_cast<int32_t>(i)) << "frame " << i;
        EXPECT_EQ(o.Flags.ProgressiveFrame, o.Flags.RepeatFirstField);
        shown.insert(shown.end(), {a, b});
        if (o.Flags.RepeatFirstField)
            shown.push_back(a);
        // repeat_first_field inverts the field order of the frames after it.
        if (i > 0) {
            EXPECT_EQ(o.Flags.TopFieldFirst,
                      out[i - 1].Flags.RepeatFirstField ? !out[i - 1].Flags.TopFieldFirst
                                                        : out[i - 1].Flags.TopFieldFirst);
        }
    }
    std::vector<int32_t> expected;
    for (int32_t n = 0; n < kFilm; ++n)
        expected.insert(expected.end(), n % 2 == 0 ? 2 : 3, n);
    // The last film frame's third field repeats nothing that a later picture could confirm, so
    // it may be shown as two fields.
    ASSERT_GE(shown.size() + 1, expected.size());
    ASSERT_LE(shown.size(), expected.size());
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), expected.begin()));
}

TEST(InversePulldownTest, PassesInterlacedVideoFrameForFrame) {
    // Every field its own moment: frame i holds moments 2i and 2i + 1.
    std::vector<Image> interlaced;
    for (int32_t i = 0; i < 12; ++i)
        interlaced.push_back(Woven(128, 64, 2 * i, 2 * i + 1));
    const std::vector<PulldownOutput> out = RunPulldown(interlaced);
    ASSERT_EQ(out.size(), interlaced.size());
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].Flags.RepeatFirstField, 0);
        EXPECT_EQ(out[i].Flags.TopFieldFirst, 1);
        EXPECT_EQ(out[i].Flags.ProgressiveFrame, 0);
        EXPECT_EQ(FilmFrameOf(*out[i].Picture, 0, 24), static_cast<int32_t>(2 * i));
        EXPECT_EQ(FilmFrameOf(*out[i].Picture, 1, 24), static_cast<int32_t>(2 * i + 1));
    }
}

TEST(InversePulldownTest, FlushCompletesAHalfFrameFromTheLastPicture) {
    // Film ending after a dropped field: the last frame holds one field when the input ends.
    std::vector<Image> telecined = Telecine(128, 64, 24);
    telecined.resize(8); // A A | B B | B C | C D | D D ... cut inside the cadence
    const std::vector<PulldownOutput> out = RunPulldown(telecined);
    int64_t fields = 0;
    for (const PulldownOutput& o : out) {
        fields += 2 + o.Flags.RepeatFirstField;
        for (int32_t parity : {0, 1})
            EXPECT_GE(FilmFrameOf(*o.Picture, parity, 24), 0);
    }
    // Every input field is shown once, less at most the one the last frame could not hold.
    EXPECT_GE(fields, 15);
    EXPECT_LE(fields, 16);
    // A single picture comes out as it went in.
    std::vector<Image> one;
    one.push_back(Woven(64, 32, 1, 2));
    const std::vector<PulldownOutput> single = RunPulldown(one);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(FilmFrameOf(*single[0].Picture, 0, 4), 1);
    EXPECT_EQ(FilmFrameOf(*single[0].Picture, 1, 4), 2);
}

TEST(InversePulldownTest, RecordsOfDroppedAndWovenFieldsAreMerged) {
    std::vector<Image> telecined = Telecine(128, 64, 12);
    std::vector<TMPEGVideoEncoder_Image> records(telecined.size());
    // Picture 2 holds the repeated field of film frame 1 and the first field of film frame 2.
    records[2].ForcePictureType = 1;
    records[2].PictureType = 0;
    records[2].UserData = {1, 2, 3};
    records[2].PictureWeight = 3.0;
    records[3].SegmentStart = 1;
    records[3].ForcePictureType = 1;
    records[3].PictureType = 1;
    records[3].UserData = {9};
    const std::vector<PulldownOutput> out = RunPulldown(telecined, records);
    bool forcedI = false;
    for (const PulldownOutput& o : out) {
        if (o.Record.ForcePictureType && o.Record.PictureType == 0) {
            forcedI = true;
            EXPECT_EQ(o.Record.UserData, (std::vector<uint8_t>{1, 2, 3}));
            EXPECT_EQ(o.Record.PictureWeight, 3.0);
        }
        EXPECT_EQ(o.Record.YUVImage, nullptr);
    }
    EXPECT_TRUE(forcedI);
    int32_t segmentStarts = 0;
    for (const PulldownOutput& o : out)
        segmentStarts += o.Record.SegmentStart;
    EXPECT_GE(segmentStarts, 1);

    // The merge rules themselves.
    TMPEGVideoEncoder_Image acc, p, i;
    p.ForcePictureType = 1;
    p.PictureType = 1;
    p.PictureWeight = 0.5;
    i.ForcePictureType = 1;
    i.PictureType = 0;
    i.HasMotionSearchMode = 1;
    i.MotionSearchMode = 5;
    MergePictureRecord(acc, p);
    EXPECT_EQ(acc.PictureType, 1);
    MergePictureRecord(acc, i);
    EXPECT_EQ(acc.PictureType, 0); // an I overrides an earlier forced type
    MergePictureRecord(acc, p);
    EXPECT_EQ(acc.PictureType, 0); // but nothing overrides it
    EXPECT_EQ(acc.MotionSearchMode, 5);
    EXPECT_EQ(acc.PictureWeight, 0.5);
}

} // namespace
} // namespace quillset
