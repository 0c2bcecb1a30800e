#include "encoder/video/rate_control/bit_rate_setup.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/video/rate_control/quality_model.h"

namespace quillset {

namespace {

constexpr int64_t kRateUnit = 400; // bit_rate_value counts 400 bit/s (ISO/IEC 13818-2, 6.3.3)

int64_t RoundUpToRateUnit(int64_t rate) {
    // Ceiling division that also holds for negative rates.
    const int64_t q = rate / kRateUnit;
    return (q + ((rate % kRateUnit) > 0 ? 1 : 0)) * kRateUnit;
}

bool IsConstantRateMode(uint8_t mode) {
    return mode == MPEGVideoEncoder_RateControlMode_CBR || mode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
}

void CheckRateFits(int64_t rate, bool mpeg2) {
    const int64_t limit = mpeg2 ? 0x3FFFFFFF : 0x3FFFF;
    if (rate / kRateUnit > limit || rate > std::numeric_limits<int32_t>::max())
        throw EMPEGVideoEncoderError(MPEGError_BitrateTooLarge, rate / 1000);
}

// The byte count of a VBV size as the messages show it: whole kilobytes.
int64_t Kilobytes(int64_t bytes) { return bytes / 1024; }

} // namespace

void PrepareBitRates(TMPEGVideoEncoder_EncodeConfig& config, bool mpeg2, long double pictureRate, double& initialQuality) {
    int64_t average = std::max<int64_t>(RoundUpToRateUnit(config.AvgBitRate), kRateUnit);
    int64_t maximum = std::max<int64_t>(RoundUpToRateUnit(config.MaxBitRate), kRateUnit);
    int64_t minimum = std::max<int64_t>(RoundUpToRateUnit(config.MinBitRate), 0);
    config.Quality = std::clamp(config.Quality, 0.0, 100.0);
    initialQuality = 0.0;

    if (IsConstantRateMode(config.RateControlMode)) {
        maximum = minimum = average;
        config.EnablePadding = 1;
    } else if (config.RateControlMode == MPEGVideoEncoder_RateControlMode_VBR_2PASS) {
        if (maximum < minimum)
            throw EMPEGVideoEncoderError(MPEGError_MaxBelowMinBitrate);
        minimum = std::min(std::max<int64_t>(minimum, 1200), average);
        maximum = std::max({maximum, minimum, average});
        if (config.MultipassVBRAlgorithm == MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ) {
            const double bitsPerPixel = static_cast<double>(average) / config.Width / config.Height /
                                        static_cast<double>(pictureRate);
            initialQuality = std::min(100.0, std::max(1.0, QualityOfBitsPerPixel(bitsPerPixel)));
        }
    } else {
        if (maximum < minimum)
            throw EMPEGVideoEncoderError(MPEGError_MaxBelowMinBitrate);
        average = maximum;
    }
    CheckRateFits(average, mpeg2);
    CheckRateFits(maximum, mpeg2);
    CheckRateFits(minimum, mpeg2);
    config.AvgBitRate = static_cast<int32_t>(average);
    config.MaxBitRate = static_cast<int32_t>(maximum);
    config.MinBitRate = static_cast<int32_t>(minimum);
}

TVBVSizeFigures ComputeVBVSizeFigures(int64_t maxBitRate, long double pictureRate, bool mpeg2, bool fullnessHigh) {
    const long double fullness = fullnessHigh ? 0.99L : 0.875L;
    const long double pictureUnits = std::ceil(static_cast<long double>(maxBitRate) / 8 / pictureRate / fullness / 2048);
    // The bytes that arrive within the largest vbv_delay, 65535 / 90000 s.
    const long double delayUnits =
        std::floor(static_cast<long double>(maxBitRate) * (65535.0L / 90000.0L) / 8 / 2048);
    const int64_t syntaxLimit = mpeg2 ? 0x1FFFF800 : 0x1FF800;
    TVBVSizeFigures figures;
    const int64_t maximum = std::min<int64_t>(std::max<int64_t>(2048, static_cast<int64_t>(delayUnits) * 2048), syntaxLimit);
    figures.Maximum = static_cast<int32_t>(maximum);
    figures.Minimum = static_cast<int32_t>(std::min<long double>(pictureUnits * 2048, 0x7FFFF800));
    figures.Recommended = static_cast<int32_t>(std::min<long double>(pictureUnits * 16384, maximum));
    return figures;
}

int32_t ChooseVBVBufferSize(const TMPEGVideoEncoder_EncodeConfig& config, bool mpeg2, long double pictureRate,
                            bool& automatic) {
    const TVBVSizeFigures figures =
        ComputeVBVSizeFigures(config.MaxBitRate, pictureRate, mpeg2, config.VBVFullnessHigh != 0);
    automatic = config.VBVBufferSize <= 0;
    if (automatic)
        return figures.Recommended;
    const int32_t size = config.VBVBufferSize;
    const bool inRange = size >= figures.Minimum && size <= figures.Maximum;
    if (size % 2048 != 0 || (config.CheckVBVRange && !inRange))
        throw EMPEGVideoEncoderError(MPEGError_InvalidVBVBufferSize, Kilobytes(size), mpeg2 ? 2 : 1,
                                     config.MaxBitRate / 1000, static_cast<double>(pictureRate),
                                     Kilobytes(figures.Minimum), Kilobytes(figures.Maximum),
                                     Kilobytes(figures.Recommended));
    return size;
}

} // namespace quillset
