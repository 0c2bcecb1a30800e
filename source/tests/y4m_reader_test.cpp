#include "source/y4m_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "encoder/framework/yuv_image.h"
#include "stream/memory_stream.h"

namespace quillset {
namespace {

struct HeaderCase {
    const char* line;
    bool valid;
    int32_t width = 0, height = 0;
    double rate = 0;
    TY4MChroma chroma = TY4MChroma::Yuv420;
    TY4MInterlace interlace = TY4MInterlace::Progressive;
};

TEST(Y4MHeader, ParsesTagsAndRefusesDamage) {
    const HeaderCase cases[] = {
        {"YUV4MPEG2 W720 H480 F30000:1001 It A10:11 C420jpeg XYSCSS=420JPEG", true, 720, 480, 30000.0 / 1001,
         TY4MChroma::Yuv420, TY4MInterlace::TopFieldFirst},
        {"YUV4MPEG2 W352 H288 F25:1 Ip C422", true, 352, 288, 25.0, TY4MChroma::Yuv422, TY4MInterlace::Progressive},
        {"YUV4MPEG2 H16 W32 Ib C444", true, 32, 16, 0.0, TY4MChroma::Yuv444, TY4MInterlace::BottomFieldFirst},
        {"YUV4MPEG2 W8 H8 Cmono", true, 8, 8, 0.0, TY4MChroma::Mono, TY4MInterlace::Progressive},
        {"YUV4MPEG2  W8  H8  F24:1 ", true, 8, 8, 24.0, TY4MChroma::Yuv420, TY4MInterlace::Progressive},
        {"YUV4MPEG W8 H8", false},
        {"YUV4MPEG2 W8", false},
        {"YUV4MPEG2 W0 H8", false},
        {"YUV4MPEG2 W-8 H8", false},
        {"YUV4MPEG2 W8x H8", false},
        {"YUV4MPEG2 W99999999 H8", false},
        {"YUV4MPEG2 W8 H8 F25", false},
        {"YUV4MPEG2 W8 H8 F:1", false},
        {"YUV4MPEG2 W8 H8 C420p10", false},
        {"YUV4MPEG2 W8 H8 Iz", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (!c.valid) {
            EXPECT_THROW(ParseY4MHeader(c.line), EY4MError);
            continue;
        }
        const TY4MHeader h = ParseY4MHeader(c.line);
        EXPECT_EQ(h.Width, c.width);
        EXPECT_EQ(h.Height, c.height);
        EXPECT_DOUBLE_EQ(h.FrameRate(), c.rate);
        EXPECT_EQ(h.Chroma, c.chroma);
        EXPECT_EQ(h.Interlace, c.interlace);
    }
}

// A 16x8 stream whose samples encode plane, row and column, so that conversions can be checked.
std::string MakeStream(const char* chroma, int frames, int width = 16, int height = 8) {
    std::string s = std::string("YUV4MPEG2 W") + std::to_string(width) + " H" + std::to_string(height) +
                    " F25:1 C" + chroma + "\n";
    const TY4MHeader h = ParseY4MHeader(s.substr(0, s.size() - 1));
    const int64_t luma = int64_t{width} * height;
    for (int f = 0; f < frames; ++f) {
        s += f % 2 == 0 ? "FRAME\n" : "FRAME Ixyz\n";
        for (int64_t i = 0; i < h.FrameBytes(); ++i)
            s += static_cast<char>(i < luma ? (i + f) & 0xFF : 16 + (i - luma) % 200);
    }
    return s;
}

struct Picture {
    explicit Picture(int chromaFormat, int width = 16, int height = 8, bool fieldChroma = false) {
        TMPEGVideo_YUVImageFormat format;
        format.ChromaFormat = chromaFormat;
        format.Width = width;
        format.Height = height;
        format.PictureWidth = width;
        format.PictureHeight = height;
        format.FieldChroma = fieldChroma ? 1 : 0;
        image = std::make_unique<TMPEGVideo_YUVImage>(nullptr, format);
    }
    std::unique_ptr<TMPEGVideo_YUVImage> image;
};

TEST(Y4MReader, ReadsFramesUntilTheEnd) {
    TLargeMemoryStream stream;
    const std::string bytes = MakeStream("420jpeg", 3);
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    TY4MReader reader(stream);
    EXPECT_EQ(reader.FrameCountHint(), 3); // from the size, taking frames as "FRAME\n" and the planes
    Picture picture(1);
    for (int f = 0; f < 3; ++f) {
        ASSERT_TRUE(reader.ReadFrame(*picture.image));
        EXPECT_EQ(picture.image->LumaRow(1)[2], static_cast<uint8_t>(16 + 2 + f));
        EXPECT_EQ(picture.image->CbRow(0)[0], 16);
        EXPECT_EQ(picture.image->CrRow(0)[0], 16 + 32);
    }
    EXPECT_FALSE(reader.ReadFrame(*picture.image));
    EXPECT_EQ(reader.FramesRead(), 3);
}

TEST(Y4MReader, ConvertsChromaToTheEncodersFormat) {
    // 4:2:2 source, 8 chroma columns x 8 rows per plane, value 16 + index.
    TLargeMemoryStream stream;
    const std::string bytes = MakeStream("422", 1);
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    for (const bool field : {false, true}) {
        stream.SetPosition(0);
        TY4MReader reader(stream);
        Picture picture(1, 16, 8, field);
        ASSERT_TRUE(reader.ReadFrame(*picture.image));
        // Output row 1 averages source rows 2,3 (frame) or 1,3 (same field).
        const int a = field ? 1 : 2, b = 3;
        EXPECT_EQ(picture.image->CbRow(1)[5], (16 + a * 8 + 5 + 16 + b * 8 + 5 + 1) / 2);
    }
    // 4:2:0 into a 4:2:2 encoder repeats rows; mono gives neutral chroma.
    TLargeMemoryStream s420;
    const std::string b420 = MakeStream("420", 1);
    s420.WriteBuffer(b420.data(), static_cast<int32_t>(b420.size()));
    s420.SetPosition(0);
    TY4MReader r420(s420);
    Picture p422(2);
    ASSERT_TRUE(r420.ReadFrame(*p422.image));
    EXPECT_EQ(p422.image->CbRow(2)[3], p422.image->CbRow(3)[3]);
    EXPECT_EQ(p422.image->CbRow(2)[3], 16 + 8 + 3);

    TLargeMemoryStream mono;
    const std::string bm = MakeStream("mono", 1);
    mono.WriteBuffer(bm.data(), static_cast<int32_t>(bm.size()));
    mono.SetPosition(0);
    TY4MReader rm(mono);
    Picture pm(1);
    ASSERT_TRUE(rm.ReadFrame(*pm.image));
    EXPECT_EQ(pm.image->CrRow(3)[7], 128);
}

TEST(Y4MReader, PadsSmallerPicturesWithBlack) {
    TLargeMemoryStream stream;
    const std::string bytes = MakeStream("444", 1, 10, 6);
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    TY4MReader reader(stream);
    Picture picture(1, 16, 8);
    ASSERT_TRUE(reader.ReadFrame(*picture.image));
    EXPECT_EQ(picture.image->LumaRow(0)[12], 0);
    EXPECT_EQ(picture.image->LumaRow(7)[0], 0);
    EXPECT_EQ(picture.image->CbRow(3)[6], 128);
    // 4:4:4 pairs are averaged horizontally, rows vertically.
    const int w = 10;
    auto cb = [&](int r, int c) { return 16 + (r * w + c) % 200; };
    EXPECT_EQ(picture.image->CbRow(0)[1],
              ((cb(0, 2) + cb(0, 3) + 1) / 2 + (cb(1, 2) + cb(1, 3) + 1) / 2 + 1) / 2);
}

TEST(Y4MReader, ReportsDamage) {
    struct Case {
        std::string bytes;
        const char* message;
    };
    const std::string good = MakeStream("420", 2);
    const Case cases[] = {
        {good.substr(0, good.size() - 5), "Truncated YUV4MPEG2 frame 2"},
        {good.substr(0, good.find('\n') + 1) + "FRAMX\n", "does not start with \"FRAME\""},
        {good.substr(0, good.find('\n') + 1) + "FRAME", "ends inside a header line"},
        {"YUV4MPEG2 W16 H8", "ends inside a header line"},
        {"", "no header line"},
        {std::string("YUV4MPEG2 W16 H8 X") + std::string(5000, 'x') + "\n", "too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TLargeMemoryStream stream;
        stream.WriteBuffer(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        stream.SetPosition(0);
        try {
            TY4MReader reader(stream);
            Picture picture(1);
            while (reader.ReadFrame(*picture.image)) {
            }
            ADD_FAILURE() << "no error";
        } catch (const EY4MError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

TEST(Y4MReader, RefusesPicturesLargerThanTheEncoders) {
    TLargeMemoryStream stream;
    const std::string bytes = MakeStream("420", 1, 32, 8);
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    TY4MReader reader(stream);
    Picture picture(1, 16, 8);
    EXPECT_THROW(reader.ReadFrame(*picture.image), EY4MError);
}

} // namespace
} // namespace quillset
