// Runs the video encoder over synthetic pictures into memory and keeps what it reports: the
// stream, the picture reports, the log, and (with preview interval 1) every reconstruction.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encoder/tests/video/core/synthetic_pictures.h"
#include "encoder/video/video_encoder.h"
#include "stream/memory_stream.h"

namespace quillset::testing {

class VideoEncodeRun {
public:
    // Per picture: adjusts the pushed record (forcing, segments, ...) for input picture i.
    using TDecorate = std::function<void(TMPEGVideoEncoder_Image& image, int32_t index)>;

    explicit VideoEncodeRun(const TMPEGVideoEncoder_EncodeConfig& config, const TKernelTable& kernels = TestKernelTable())
        : Encoder(std::make_unique<TMPEGVideoEncoder>(&Output, config, kernels)) {
        Encoder->OnLog = [this](TMPEGBaseEncoder*, const std::string& text) { Log.push_back(text); };
        Encoder->OnPictureEncoded = [this](TMPEGBaseEncoder*, const TMPEGVideoEncoder_PictureReport* report) {
            Reports.push_back(*report);
        };
        Encoder->OnPreview = [this](TMPEGBaseEncoder*, TMPEGVideo_YUVImage* image, int64_t displayNumber) {
            PreviewNumbers.push_back(displayNumber);
            if (!image) {
                Reconstructions.emplace_back();
                return;
            }
            std::vector<uint8_t> copy(static_cast<size_t>(image->Size));
            std::memcpy(copy.data(), image->Memory, copy.size());
            Reconstructions.push_back(std::move(copy));
        };
        Encoder->SetPreviewInterval(1);
    }

    // Encodes `count` input pictures of `scene` and ends the stream.
    void Encode(const SyntheticScene& scene, int32_t count, long double sourceRate = 0, const TDecorate& decorate = {}) {
        Encoder->BeginEncode();
        for (int32_t i = 0; i < count; ++i) {
            std::unique_ptr<TMPEGVideo_YUVImage> image = Encoder->NewImage();
            FillSyntheticPicture(*image, scene, i);
            Sources.emplace_back(image->Memory, image->Memory + image->Size);
            TMPEGVideoEncoder_Image record;
            record.Tag = kMPEGVideoEncoder_YUVImageTag;
            record.YUVImage = image.get();
            record.SourceRate = sourceRate;
            if (decorate)
                decorate(record, i);
            Encoder->EncodePicture(record);
        }
        Encoder->EndEncode();
    }

    std::string Stream() {
        return std::string(reinterpret_cast<const char*>(Output.GetMemory()), static_cast<size_t>(Output.GetSize()));
    }

    bool Logged(const std::string& line) const {
        for (const std::string& l : Log)
            if (l == line)
                return true;
        return false;
    }

    TLargeMemoryStream Output;
    std::unique_ptr<TMPEGVideoEncoder> Encoder;
    std::vector<TMPEGVideoEncoder_PictureReport> Reports; // in coded order
    std::vector<std::string> Log;
    std::vector<int64_t> PreviewNumbers;
    std::vector<std::vector<uint8_t>> Reconstructions; // as previewed (display order)
    std::vector<std::vector<uint8_t>> Sources;         // pushed pictures, whole padded planes
};

// Start codes 00 00 01 xx of the stream with the given code byte.
inline int CountStartCodes(const std::string& stream, uint8_t code) {
    int count = 0;
    for (size_t i = 0; i + 3 < stream.size(); ++i)
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1 && static_cast<uint8_t>(stream[i + 3]) == code)
            ++count;
    return count;
}

} // namespace quillset::testing
