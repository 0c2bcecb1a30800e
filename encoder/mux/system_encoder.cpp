#include "encoder/mux/system_encoder.h"

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/dvd_engine.h"
#include "encoder/mux/mpeg1_engines.h"
#include "encoder/mux/mpeg2_engines.h"

namespace quillset {

std::unique_ptr<TMultiplexEngine> CreateMultiplexEngine(uint8_t streamType, TMPEGSystemEncoder* systemEncoder,
                                                        TLargeStream* output) {
    switch (streamType) {
    case MPEGSystemEncoder_StreamType_ElementaryStream:
        return std::make_unique<TMultiplexEngine_ElementaryStream>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG1:
        return std::make_unique<TMultiplexEngine_MPEG1>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG1_VBR:
        return std::make_unique<TMultiplexEngine_MPEG1_ForceVBR>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG1_VideoCD:
        return std::make_unique<TMultiplexEngine_MPEG1_VideoCD>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG1_VideoCD_Illegal:
        return std::make_unique<TMultiplexEngine_MPEG1_VideoCD_Illegal>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG2_Program:
        return std::make_unique<TMultiplexEngine_MPEG2_Program>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR:
        return std::make_unique<TMultiplexEngine_MPEG2_SuperVideoCD>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB:
        return std::make_unique<TMultiplexEngine_MPEG2_DVDVideo>(systemEncoder, output);
    case MPEGSystemEncoder_StreamType_MPEG1_VideoCD_StillPicture:
        return std::make_unique<TMultiplexEngine_MPEG1_VideoCD_StillPicture>(systemEncoder, output);
    default:
        throw EMPEGSystemEncoderError(MPEGError_SystemMPEG2NotSupported);
    }
}

TMPEGSystemEncoder::TMPEGSystemEncoder(TLargeStream* output, const TMPEGSystemEncoder_EncodeConfig& config)
    : Config(config), Output(output) {
    Engine = CreateMultiplexEngine(Config.StreamType, this, output);
}

TMPEGSystemEncoder::~TMPEGSystemEncoder() {
    // The encoders write into the engine's inputs: they go first.
    Encoders.clear();
    Engine.reset();
}

TMPEGSystemEncoder_ElementaryStream* TMPEGSystemEncoder::AddStream(const TMPEGSystemEncoder_StreamInfo& info) {
    return Engine->AddStream(info, nullptr);
}

void TMPEGSystemEncoder::AddEncoder(std::unique_ptr<TMPEGBaseEncoder> encoder) {
    if (encoder)
        Encoders.push_back(std::move(encoder));
}

void TMPEGSystemEncoder::BeginEncode() {
    if (Started)
        return;
    Started = true;
    for (const std::unique_ptr<TMPEGBaseEncoder>& encoder : Encoders)
        encoder->BeginEncode();
}

void TMPEGSystemEncoder::EndEncode() {
    if (!Started)
        BeginEncode();
    for (const std::unique_ptr<TMPEGBaseEncoder>& encoder : Encoders)
        encoder->EndEncode();
    Engine->Finish();
}

void TMPEGSystemEncoder::GetProgress(int64_t& position, int64_t& total) {
    Engine->GetProgress(position, total);
}

} // namespace quillset
