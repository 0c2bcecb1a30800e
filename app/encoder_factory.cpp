#include "app/encoder_factory.h"

#include "encoder/audio/ac3/ac3_library.h"
#include "encoder/audio/ac3/dolby_ac3_encoder.h"
#include "encoder/audio/lpcm/lpcm_encoder.h"
#include "encoder/audio/mpeg/mpeg_audio_encoder.h"
#include "encoder/framework/base_encoder.h"
#include "encoder/video/encoder_image.h"
#include "encoder/video/video_encoder.h"

namespace quillset {

std::unique_ptr<TMPEGBaseVideoEncoder> CreateVideoEncoder(TLargeStream& stream,
                                                          const TMPEGVideoEncoder_EncodeConfig& config) {
    return std::make_unique<TMPEGVideoEncoder>(&stream, config);
}

std::unique_ptr<TMPEGBaseAudioEncoder> CreateAudioEncoder(TLargeStream& stream,
                                                          const TMPEGAudioEncoder_EncodeConfig& config) {
    if (config.StreamType == MPEGAudioEncoder_StreamType_LinearPCM)
        return std::make_unique<TLinearPCMAudioEncoder>(stream, "", config);
    if (config.StreamType == MPEGAudioEncoder_StreamType_Dolby_AC3 && IsAC3EncoderAvailable())
        return std::make_unique<TDolbyAC3AudioEncoder>(stream, "", config);
    return std::make_unique<TMPEGAudioEncoder>(stream, config);
}

void PushVideoPicture(TMPEGBaseVideoEncoder& encoder, TMPEGVideo_YUVImage& picture, double sourceRate,
                      bool analysis) {
    TMPEGVideoEncoder_Image image;
    image.Tag = kMPEGVideoEncoder_YUVImageTag;
    image.YUVImage = &picture;
    image.SourceRate = sourceRate;
    if (analysis)
        encoder.AnalyzePicture(image);
    else
        encoder.EncodePicture(image);
}

} // namespace quillset
