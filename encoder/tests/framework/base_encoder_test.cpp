#include "encoder/framework/base_encoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quillset {
namespace {

// The smallest video encoder: a fixed image format and pool size, nothing to encode.
class FakeVideoEncoder : public TMPEGBaseVideoEncoder {
public:
    FakeVideoEncoder(const TMPEGVideo_YUVImageFormat& format, int32_t poolSize) : Format(format), PoolSize(poolSize) {}

    void BeginEncode() override {}
    void EndEncode() override {}
    void GetEncodeConfig(TMPEGVideoEncoder_EncodeConfig&) override {}
    int32_t GetStartedPictureCount() override { return 0; }
    long double GetPictureRate() override { return 0; }
    int32_t GetProcessedPictureCount() override { return 0; }
    bool NeedsAnalysisPass() override { return false; }
    int32_t GetAnalysisPassCount() override { return 0; }
    void GetImageFormat(TMPEGVideo_YUVImageFormat& format) override { format = Format; }
    const TColorConversionTable* GetColorConversion() override { return nullptr; }
    int32_t GetImagePoolSize() override { return PoolSize; }
    void BeginAnalysisPass() override {}
    void AnalyzePicture(const TMPEGVideoEncoder_Image&) override {}
    void EndAnalysisPass() override {}
    void EncodePicture(const TMPEGVideoEncoder_Image&) override {}

    const TMPEGVideo_YUVImagePool* Pool() const { return ImagePool.get(); }

private:
    TMPEGVideo_YUVImageFormat Format;
    int32_t PoolSize;
};

// 720 x 480 4:2:0 MPEG-2 as the video encoder describes it: rounded and derived sizes, a
// picture of 704 x 480.
TMPEGVideo_YUVImageFormat EncoderFormat() {
    TMPEGVideo_YUVImageFormat format;
    format.ChromaFormat = 1;
    format.Width = 720;
    format.Height = 480;
    format.ChromaWidth = 360;
    format.ChromaHeight = 240;
    format.PictureWidth = 704;
    format.PictureHeight = 480;
    format.FieldChroma = 1;
    format.MPEG2 = 1;
    return format;
}

TEST(BaseVideoEncoderTest, NewImageHasTheEncodersFormatAndComesFromItsPool) {
    FakeVideoEncoder encoder(EncoderFormat(), 3);
    EXPECT_EQ(encoder.Pool(), nullptr) << "the pool is made on first use";
    std::unique_ptr<TMPEGVideo_YUVImage> image = encoder.NewImage();
    ASSERT_NE(encoder.Pool(), nullptr);
    EXPECT_EQ(encoder.Pool()->GetCapacity(), 3);
    EXPECT_EQ(image->Format, EncoderFormat());
    EXPECT_EQ(image->Buffer->Pool, encoder.Pool());
    EXPECT_EQ(image->Size, 720 * 480 * 3 / 2);

    // The format is already rounded, so released buffers are recycled.
    uint8_t* const memory = image->Memory;
    const TMPEGVideo_YUVImagePool* const pool = encoder.Pool();
    image.reset();
    image = encoder.NewImage();
    EXPECT_EQ(image->Memory, memory);
    EXPECT_EQ(encoder.Pool(), pool);
    EXPECT_EQ(encoder.Pool()->GetBufferCount(), 1u);
}

TEST(BaseVideoEncoderTest, WithoutAPoolSizeImagesHaveBuffersOfTheirOwn) {
    FakeVideoEncoder encoder(EncoderFormat(), 0);
    auto image = encoder.NewImage();
    EXPECT_EQ(encoder.Pool(), nullptr);
    EXPECT_EQ(image->Buffer->Pool, nullptr);
    EXPECT_EQ(image->LumaStride, 720);
}

TEST(BaseVideoEncoderTest, ImagesOutliveTheEncoderAndItsPool) {
    auto encoder = std::make_unique<FakeVideoEncoder>(EncoderFormat(), 2);
    auto image = encoder->NewImage();
    auto preview = TMPEGVideo_YUVImage::CreateShared(*image);
    encoder.reset();
    image->LumaRow(479)[719] = 7;
    image.reset();
    EXPECT_EQ(preview->LumaRow(479)[719], 7);
}

TEST(BaseVideoEncoderTest, SharedSettingsRoundTripUnderTheImageLock) {
    FakeVideoEncoder encoder(EncoderFormat(), 1);
    // Held by this thread already (as in a preview handler): the accessors take it again.
    std::lock_guard lock(ImageLock());
    encoder.SetPreviewInterval(10);
    encoder.SetPreviewsPerBatch(1);
    encoder.SetVBVErrorCount(3);
    encoder.SetTempDirectory("/tmp/quillset");
    EXPECT_EQ(encoder.GetPreviewInterval(), 10);
    EXPECT_EQ(encoder.GetPreviewsPerBatch(), 1);
    EXPECT_EQ(encoder.GetVBVErrorCount(), 3);
    EXPECT_EQ(encoder.GetTempDirectory(), "/tmp/quillset");
    auto image = encoder.NewImage();
    EXPECT_NE(image, nullptr);
}

TEST(BaseEncoderTest, EventsReachTheirReceiversAndAreOptional) {
    FakeVideoEncoder encoder(EncoderFormat(), 1);
    // Without receivers nothing happens.
    encoder.Log("ignored");
    encoder.Notify();
    encoder.Preview(nullptr, 5);
    encoder.PictureEncoded(nullptr);

    std::vector<std::string> events;
    encoder.OnLog = [&](TMPEGBaseEncoder* sender, const std::string& text) {
        EXPECT_EQ(sender, &encoder);
        events.push_back("log:" + text);
    };
    encoder.OnNotify = [&](TMPEGBaseEncoder* sender) {
        EXPECT_EQ(sender, &encoder);
        events.push_back("notify");
    };
    auto image = encoder.NewImage();
    encoder.OnPreview = [&](TMPEGBaseEncoder* sender, TMPEGVideo_YUVImage* shown, int64_t displayNumber) {
        EXPECT_EQ(sender, &encoder);
        EXPECT_EQ(shown, image.get());
        events.push_back("preview:" + std::to_string(displayNumber));
    };
    encoder.OnPictureEncoded = [&](TMPEGBaseEncoder* sender, const TMPEGVideoEncoder_PictureReport* report) {
        EXPECT_EQ(sender, &encoder);
        events.push_back(report == nullptr ? "encoded" : "encoded?");
    };
    encoder.Log("---- 1 pass");
    encoder.Log("");
    encoder.Notify();
    encoder.Preview(image.get(), int64_t{1} << 33);
    encoder.PictureEncoded(nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"log:---- 1 pass", "log:", "notify", "preview:8589934592", "encoded"}));
}

} // namespace
} // namespace quillset
