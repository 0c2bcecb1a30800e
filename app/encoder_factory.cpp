#include "app/encoder_factory.h"

#include "encoder/audio/lpcm/lpcm_encoder.h"
#include "encoder/framework/base_encoder.h"
#include "stream/exceptions.h"

namespace quillset {

std::unique_ptr<TMPEGBaseVideoEncoder> CreateVideoEncoder(TLargeStream&, const TMPEGVideoEncoder_EncodeConfig&) {
    throw Exception("This build cannot encode video yet.");
}

std::unique_ptr<TMPEGBaseAudioEncoder> CreateAudioEncoder(TLargeStream& stream,
                                                          const TMPEGAudioEncoder_EncodeConfig& config) {
    if (config.StreamType == MPEGAudioEncoder_StreamType_LinearPCM)
        return std::make_unique<TLinearPCMAudioEncoder>(stream, "", config);
    throw Exception("This build cannot encode MPEG audio or AC-3 yet.");
}

void PushVideoPicture(TMPEGBaseVideoEncoder&, TMPEGVideo_YUVImage&, double, bool) {
    throw Exception("This build cannot encode video yet.");
}

} // namespace quillset
