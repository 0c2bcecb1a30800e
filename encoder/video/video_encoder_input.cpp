// The picture input of the video encoder: rate conversion, conversion of outside pictures,
// field flags, and the per-picture record handed to the GOP planner.
#include <algorithm>
#include <cmath>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/video/video_encoder.h"

namespace quillset {

void TMPEGVideoEncoder::PushPicture(const TMPEGVideoEncoder_Image& image) {
    if (!PassActive)
        BeginEncode();
    TMPEGVideoEncoder_Image record = image;
    std::unique_ptr<TMPEGVideo_YUVImage> converted;
    long double sourceRate = std::max<long double>(image.SourceRate, 0);
    // A source at the coded rate given less exactly (30000/1001 in double precision, or rounded to
    // 29.97) is taken picture for picture: otherwise the first picture would be repeated.
    if (std::abs(sourceRate - Settings.PictureRate) <= Settings.PictureRate * 1e-5L)
        sourceRate = 0;
    // Each pushed picture is coded as often as the coded rate fits into the source's rate: a
    // slower source repeats pictures, a faster one drops some.
    while (Settings.PictureRate > RateAccumulator) {
        if (!converted)
            converted = ConvertPicture(record);
        AddPicture(record, *converted);
        // A repeated copy carries none of the picture's one-time requests.
        record.ForcePictureType = 0;
        record.IsRepeat = 0;
        record.SegmentStart = 0;
        record.SegmentRateChange = 0;
        record.HasMatrices = 0;
        record.HasChromaMatrices = 0;
        record.HasMotionSearchMode = 0;
        record.HasMotionSearchOption = 0;
        {
            std::lock_guard lock(CounterLock);
            ++InputPictureCount;
        }
        if (sourceRate == 0) {
            RateAccumulator += Settings.PictureRate;
            break;
        }
        RateAccumulator += sourceRate;
    }
    RateAccumulator -= Settings.PictureRate;
}

std::unique_ptr<TMPEGVideo_YUVImage> TMPEGVideoEncoder::ConvertPicture(const TMPEGVideoEncoder_Image& record) {
    if (record.Tag == kMPEGVideoEncoder_YUVImageTag) {
        const TMPEGVideo_YUVImage* image = record.YUVImage;
        TMPEGVideo_YUVImageFormat format;
        GetImageFormat(format);
        // The picture is read with this encoder's geometry: anything smaller is refused.
        if (!image || image->Format.ChromaFormat != format.ChromaFormat || image->LumaStride != format.Width ||
            image->LumaHeight < format.Height || image->ChromaStride != format.ChromaWidth ||
            image->ChromaHeight < format.ChromaHeight)
            throw EMPEGVideoEncoderError(MPEGError_IllegalPicture);
        return TMPEGVideo_YUVImage::CreateShared(*image);
    }
    std::unique_ptr<TMPEGVideo_YUVImage> image = NewImage();
    image->Import(record.Picture, record.ColorConversion ? record.ColorConversion : &ColorTable, &Kernels);
    return image;
}

void TMPEGVideoEncoder::SetFieldFlags(TMPEGVideoFrameInfo& info) const {
    switch (Settings.Config.VideoEncodeMode) {
    case MPEGVideoEncoder_VideoEncodeMode_Progressive:
        info.ProgressiveFrame = 1;
        info.TopFieldFirst = 0;
        info.RepeatFirstField = 0;
        break;
    case MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown: {
        // Fields 2, 3, 2, 3: T B, T B T, B T, B T B.
        const int64_t n = info.DisplayNumber % 4;
        info.ProgressiveFrame = 1;
        info.TopFieldFirst = n < 2;
        info.RepeatFirstField = n == 1 || n == 3;
        break;
    }
    default: // Interlace, and Auto_Inv32Pulldown coded as interlaced
        info.ProgressiveFrame = 0;
        info.TopFieldFirst = Settings.Config.TopFieldFirst != 0;
        info.RepeatFirstField = 0;
        break;
    }
}

void TMPEGVideoEncoder::ResetInputFilters() {
    const TMPEGVideoEncoder_EncodeConfig& c = Settings.Config;
    Pulldown.reset();
    if (c.VideoEncodeMode == MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown)
        Pulldown = std::make_unique<TMPEGVideoEncoder_InversePulldown_32Pulldown>(Kernels, c.TopFieldFirst != 0,
                                                                                  [this] { return NewImage(); });
    SceneDetector.reset();
    if (c.DetectSceneChange && c.RateControlMode != MPEGVideoEncoder_RateControlMode_Realtime_CBR &&
        c.RateControlMode != MPEGVideoEncoder_RateControlMode_Realtime_CQ)
        SceneDetector = std::make_unique<TMPEGVideoEncoder_DetectSceneChange>(Kernels);
}

void TMPEGVideoEncoder::FlushInputFilters() {
    if (!Pulldown)
        return;
    for (;;) {
        TMPEGVideoEncoder_Image record;
        TMPEGVideoEncoder_PictureFlags flags;
        const std::unique_ptr<TMPEGVideo_YUVImage> frame = Pulldown->ProcessPicture(record, nullptr, flags);
        if (!frame)
            break;
        AddCodedPicture(std::move(record), *frame, &flags);
    }
}

void TMPEGVideoEncoder::AddPicture(const TMPEGVideoEncoder_Image& record, const TMPEGVideo_YUVImage& image) {
    if (!Pulldown) {
        AddCodedPicture(record, image, nullptr);
        return;
    }
    TMPEGVideoEncoder_Image output = record;
    TMPEGVideoEncoder_PictureFlags flags;
    const std::unique_ptr<TMPEGVideo_YUVImage> frame = Pulldown->ProcessPicture(output, &image, flags);
    if (frame)
        AddCodedPicture(std::move(output), *frame, &flags);
}

void TMPEGVideoEncoder::AddCodedPicture(TMPEGVideoEncoder_Image record, const TMPEGVideo_YUVImage& image,
                                        const TMPEGVideoEncoder_PictureFlags* flags) {
    auto* info = new TMPEGVideoFrameInfo(Settings.MacroblockCount);
    TFrameInfoRef hold(info);
    info->Source = TMPEGVideo_YUVImage::CreateShared(image);
    info->SearchBufferPool = &SearchBufferPool;
    info->DisplayNumber = PictureCounter;
    info->FieldsBefore = FieldCounter;
    info->Time = static_cast<long double>(FieldCounter) / (2 * Settings.FrameTimeRate);
    SetFieldFlags(*info);
    if (flags) {
        info->ProgressiveFrame = flags->ProgressiveFrame;
        info->TopFieldFirst = flags->TopFieldFirst;
        info->RepeatFirstField = flags->RepeatFirstField;
    }
    info->PictureWeight = record.PictureWeight > 0 ? record.PictureWeight : 1.0;
    if (record.HasMatrices) {
        info->HasMatrices = 1;
        info->IntraMatrix = record.IntraMatrix;
        info->NonIntraMatrix = record.NonIntraMatrix;
        NormalizeQuantMatrix(info->IntraMatrix, true);
        NormalizeQuantMatrix(info->NonIntraMatrix, false);
    }
    if (record.HasChromaMatrices) {
        info->HasChromaMatrices = 1;
        info->ChromaIntraMatrix = record.ChromaIntraMatrix;
        info->ChromaNonIntraMatrix = record.ChromaNonIntraMatrix;
    }
    if (record.HasMotionSearchMode)
        CurrentSearchMode = record.MotionSearchMode;
    if (record.HasMotionSearchOption)
        CurrentSearchOption = record.MotionSearchOption;
    info->MotionSearchMode = CurrentSearchMode;
    info->MotionSearchOption = CurrentSearchOption;
    info->UserData = record.UserData;
    ++PictureCounter;
    FieldCounter += 2 + info->RepeatFirstField;
    if (SceneDetector && SceneDetector->IsSceneChange(*info->Source)) {
        record.ForcePictureType = 1;
        record.PictureType = PictureType_I;
        record.IsRepeat = 0;
        record.SegmentStart = record.SegmentStart || Settings.Config.SceneChangeRateReset;
    }
    Planner.AddPicture(info, record);
}

} // namespace quillset
