// The encoder factory of the encode run: the video encoder, and the audio encoder that fits an
// audio configuration.
#pragma once

#include <memory>

namespace quillset {

class TLargeStream;
class TMPEGBaseAudioEncoder;
class TMPEGBaseVideoEncoder;
class TMPEGVideo_YUVImage;
struct TMPEGAudioEncoder_EncodeConfig;
struct TMPEGVideoEncoder_EncodeConfig;

// A new video encoder writing to stream.
std::unique_ptr<TMPEGBaseVideoEncoder> CreateVideoEncoder(TLargeStream& stream,
                                                          const TMPEGVideoEncoder_EncodeConfig& config);

// By the stream type: AC-3 (while its library can be loaded), Linear PCM (the private stream for
// multiplexing), and MPEG-1 Layer I/II for every other type.
std::unique_ptr<TMPEGBaseAudioEncoder> CreateAudioEncoder(TLargeStream& stream,
                                                          const TMPEGAudioEncoder_EncodeConfig& config);

// Hands one picture to the video encoder: in an analysis pass or in the encoding pass, with the
// source's picture rate (0: the coded rate).
void PushVideoPicture(TMPEGBaseVideoEncoder& encoder, TMPEGVideo_YUVImage& picture, double sourceRate,
                      bool analysis);

} // namespace quillset
