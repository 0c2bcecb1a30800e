#include "encoder/mux/multiplexor_base.h"

#include <algorithm>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/packetizer_audio.h"
#include "encoder/mux/packetizer_lpcm.h"
#include "encoder/mux/packetizer_video.h"

namespace quillset {

namespace {

// System-header order: video first, then by stream id, then by substream id.
bool SortsBefore(const TMPEGPacketizerStream* a, const TMPEGPacketizerStream* b) {
    const bool videoA = IsVideoStreamId(a->StreamId);
    const bool videoB = IsVideoStreamId(b->StreamId);
    if (videoA != videoB)
        return videoA;
    if (a->StreamId != b->StreamId)
        return a->StreamId < b->StreamId;
    return a->SubstreamId < b->SubstreamId;
}

} // namespace

TMultiplexEngine_MultiplexorBase::TMultiplexEngine_MultiplexorBase(TMPEGSystemEncoder* systemEncoder,
                                                                   TLargeStream* output)
    : TMultiplexEngine(systemEncoder, output) {}

TMultiplexEngine_MultiplexorBase::~TMultiplexEngine_MultiplexorBase() = default;

std::unique_ptr<TMPEGPacketizerStream> TMultiplexEngine_MultiplexorBase::CreatePacketizer(
    const TMPEGSystemEncoder_StreamInfo& info) {
    switch (info.Kind) {
    case MPEGSystemEncoder_StreamKind_MPEGVideo:
        return std::make_unique<TMPEGPacketizerStream_MPEGVideo>(*this, info);
    case MPEGSystemEncoder_StreamKind_MPEGAudio:
        return std::make_unique<TMPEGPacketizerStream_MPEGAudio>(*this, info);
    case MPEGSystemEncoder_StreamKind_DolbyAC3:
        return std::make_unique<TMPEGPacketizerStream_DolbyAC3>(*this, info);
    case MPEGSystemEncoder_StreamKind_LinearPCM:
        return std::make_unique<TMPEGPacketizerStream_LinearPCM>(*this, info);
    default:
        return nullptr;
    }
}

TMPEGSystemEncoder_ElementaryStream* TMultiplexEngine_MultiplexorBase::AddStream(const TMPEGSystemEncoder_StreamInfo& info,
                                                                                 TLargeStream* source) {
    std::lock_guard lock(Lock);
    TMPEGSystemEncoder_StreamInfo chosen = info;
    CheckKindAndChooseIds(chosen, UsedIds, UsedSubstreamIds);
    std::unique_ptr<TMPEGPacketizerStream> stream = CreatePacketizer(chosen);
    if (!stream)
        throw EMPEGSystemEncoderError(MPEGError_StreamKindNotAllowed, GetStreamKindName(info.Kind));
    if (chosen.StreamId == MPEGStreamId_PrivateStream1)
        UsedSubstreamIds.set(chosen.SubstreamId);
    else
        UsedIds.set(chosen.StreamId);
    if (GetConfig().TwoPassMultiplex != 0)
        TwoPass = true;
    TMPEGPacketizerStream* raw = stream.get();
    Streams.push_back(std::move(stream));
    SortedStreams.insert(std::upper_bound(SortedStreams.begin(), SortedStreams.end(), raw, SortsBefore), raw);
    raw->Start(TwoPass, source);
    return raw;
}

void TMultiplexEngine_MultiplexorBase::Finish() {
    std::lock_guard lock(Lock);
    Finishing = true;
    MultiplexStep();
    // Inputs fed by encoders end here; Sources are read to their end by the multiplex steps.
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
        if (stream->Source == nullptr || stream->IsSpilling())
            stream->EndOfStream();
    if (TwoPass) {
        for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
            stream->BeginSecondPass();
            if (stream->AverageRate <= 0 || stream->MaximumRate <= 0)
                stream->Prescan();
        }
        TwoPass = false;
        SecondPass = true;
        First = true;
        ResetForSecondPass();
        for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
            stream->ReadSourceChunk();
    }
    MultiplexStep();
    FinishMultiplex();
}

} // namespace quillset
