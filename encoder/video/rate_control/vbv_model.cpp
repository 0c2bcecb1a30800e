#include "encoder/video/rate_control/vbv_model.h"

#include <algorithm>
#include <cmath>

#include "encoder/video/frame_info.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {
constexpr double kTicksPerSecond = 90000.0;
} // namespace

TMPEGVideoEncoder_VBVModel::TMPEGVideoEncoder_VBVModel(const TMPEGVideoEncoder_Settings& settings) {
    const uint8_t mode = settings.Config.RateControlMode;
    ConstantRate = mode == MPEGVideoEncoder_RateControlMode_CBR || mode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
    Padding = settings.Config.EnablePadding != 0;
    MaxRate = std::max(settings.Config.MaxBitRate, 400);
    MinRate = std::max(settings.Config.MinBitRate, 0);
    BufferSize = settings.VBVBufferSize;
    StartFullness = settings.Config.VBVFullnessHigh ? 0.99 : 0.875;
    NominalRate = static_cast<double>(settings.NominalRate);
    Reset();
}

void TMPEGVideoEncoder_VBVModel::Reset() {
    Fullness = std::floor(BufferSize * StartFullness);
    Clock = Fullness * 8.0 / MaxRate * kTicksPerSecond;
    LastRemovalBits = 0;
    ReferenceDuration = 0;
    LastOverflow = 0;
}

double TMPEGVideoEncoder_VBVModel::PictureDuration(bool repeatFirstField) const {
    return kTicksPerSecond * (repeatFirstField ? 1.5 : 1.0) / NominalRate;
}

double TMPEGVideoEncoder_VBVModel::TimeToRemoval(uint8_t pictureType, bool repeatFirstField) const {
    // B pictures are removed after their own display time; a reference waits for the display
    // of the reference before it (ISO/IEC 13818-2, C.9 to C.12).
    return pictureType == PictureType_B ? PictureDuration(repeatFirstField) : ReferenceDuration;
}

void TMPEGVideoEncoder_VBVModel::LimitPicture(TLargeBitStreamWriter& writer, uint8_t pictureType,
                                              bool repeatFirstField, int64_t& target, int64_t& minimum) const {
    double t = static_cast<double>(target) + 400;
    double l = minimum > 0 ? static_cast<double>(minimum) + 400 : 0;
    const double e = TimeToRemoval(pictureType, repeatFirstField);
    double f = Fullness - static_cast<double>(writer.GetBitPosition() - LastRemovalBits + 32) / 8;
    double arrivalMax = e / kTicksPerSecond * MaxRate / 8;
    if (!ConstantRate)
        arrivalMax = std::min(arrivalMax, BufferSize - f);
    double arrivalMin = e / kTicksPerSecond * MinRate / 8;
    if (Padding)
        arrivalMax = std::max(arrivalMin, arrivalMax);
    else
        arrivalMin = std::min(arrivalMin, arrivalMax);

    if (MinRate > 0 && Padding) {
        const double stuffing = std::ceil(f + arrivalMin - (BufferSize - 128));
        if (stuffing > 0) {
            writer.ByteAlign();
            writer.PutZeroBits(static_cast<int64_t>(stuffing) * 8);
            t -= 8 * stuffing;
            if (l > 0)
                l = std::max(0.0, l - 8 * stuffing);
            f -= stuffing;
        }
    }
    const double content = f + arrivalMax - 2048; // what the decoder holds at the removal
    const auto limitByContent = [&] {
        t = std::min(t, std::max(800.0, 8 * content));
        l = std::min(l, std::max(0.0, 8 * content));
    };
    limitByContent();
    if (MinRate > 0) {
        const double overT = std::ceil(f + 2 * arrivalMin - (t + 400) / 8 - BufferSize);
        if (overT > 0)
            t += std::max(8 * overT - 400, 0.0);
        const double overL = std::ceil(f + 2 * arrivalMin - (l + 400) / 8 - (BufferSize - 128));
        if (overL > 0)
            l += std::max(8 * overL - 400, 0.0);
    }
    limitByContent();
    t = std::max(t - 400, 400.0);
    if (l > 0)
        l = std::max(l - 400, 0.0);
    l = std::min(t, l);
    t = std::max(t, l);
    target = static_cast<int64_t>(t);
    minimum = static_cast<int64_t>(l);
}

void TMPEGVideoEncoder_VBVModel::Report(const char* format) {
    if (!Silent && OnError)
        OnError(FormatText(format, Clock / kTicksPerSecond, static_cast<int>(Fullness)));
}

int32_t TMPEGVideoEncoder_VBVModel::PictureHeader(uint8_t pictureType, bool repeatFirstField, int64_t bitPosition) {
    const double e = TimeToRemoval(pictureType, repeatFirstField);
    Fullness -= static_cast<double>(bitPosition - LastRemovalBits) / 8;
    LastRemovalBits = bitPosition;
    if (Fullness < 0)
        Report("VBV buffer underflow (system_clock: %f buffer used: %d)");
    if (pictureType != PictureType_B)
        ReferenceDuration = PictureDuration(repeatFirstField);
    Clock += e;
    double arrival = e / kTicksPerSecond * MaxRate / 8;
    if (!ConstantRate)
        arrival = std::max(0.0, std::min(arrival, BufferSize - Fullness));
    Fullness += arrival;
    LastOverflow = 0;
    if (Fullness > BufferSize) {
        LastOverflow = static_cast<int32_t>(Fullness - BufferSize);
        Report("VBV buffer overflow (system_clock: %f buffer used: %d)");
    }
    if (!ConstantRate)
        return 0xFFFF;
    return static_cast<int32_t>(std::clamp(Fullness * 8 / MaxRate * kTicksPerSecond, 0.0, 65535.0));
}

} // namespace quillset
