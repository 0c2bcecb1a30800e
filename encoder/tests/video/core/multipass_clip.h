// A clip whose complexity changes (quiet, then busy, then quiet again) and the passes a host
// runs over it: the analysis pass when the encoder asks for one, then the encoding pass.
#pragma once

#include <functional>
#include <memory>

#include "encoder/tests/video/core/synthetic_pictures.h"
#include "encoder/video/video_encoder.h"

namespace quillset::testing {

// Frame `frame` of a clip of `count` frames: the middle third pans fast over a different texture
// with strong noise, the rest is a still background with one small moving square.
inline void FillChangingPicture(TMPEGVideo_YUVImage& image, int32_t width, int32_t height, int32_t frame,
                                int32_t count) {
    const bool busy = frame >= count / 3 && frame < 2 * count / 3;
    SyntheticScene scene{width, height};
    scene.PanX = busy ? 5.5 : 0.0;
    scene.PanY = busy ? 2.0 : 0.0;
    scene.NoiseAmplitude = busy ? 24 : 0;
    scene.CutFrame = busy ? 0 : -1;
    FillSyntheticPicture(image, scene, frame);
}

// Pushes the clip through one pass (analysis or encoding) of `encoder`.
inline void PushChangingClip(TMPEGVideoEncoder& encoder, int32_t count, bool analysis) {
    const TMPEGVideoEncoder_EncodeConfig& c = encoder.GetSettings().Config;
    if (analysis)
        encoder.BeginAnalysisPass();
    else
        encoder.BeginEncode();
    for (int32_t i = 0; i < count; ++i) {
        std::unique_ptr<TMPEGVideo_YUVImage> image = encoder.NewImage();
        FillChangingPicture(*image, c.Width, c.Height, i, count);
        TMPEGVideoEncoder_Image record;
        record.Tag = kMPEGVideoEncoder_YUVImageTag;
        record.YUVImage = image.get();
        if (analysis)
            encoder.AnalyzePicture(record);
        else
            encoder.EncodePicture(record);
    }
    if (analysis)
        encoder.EndAnalysisPass();
    else
        encoder.EndEncode();
}

// The host's calling order: the analysis passes the encoder asks for, then the encoding pass.
// Returns the number of analysis passes made.
inline int32_t EncodeChangingClip(TMPEGVideoEncoder& encoder, int32_t count) {
    int32_t passes = 0;
    if (encoder.NeedsAnalysisPass())
        for (int32_t i = 0; i < encoder.GetAnalysisPassCount(); ++i, ++passes)
            PushChangingClip(encoder, count, true);
    PushChangingClip(encoder, count, false);
    return passes;
}

} // namespace quillset::testing
