#include "encoder/mux/multiplex_engine.h"

#include "encoder/audio/lpcm/lpcm_stream_convertors.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/system_encoder.h"

namespace quillset {

TMultiplexEngine::TMultiplexEngine(TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : SystemEncoder(systemEncoder), Output(output) {}

TMultiplexEngine::~TMultiplexEngine() = default;

void TMultiplexEngine::GetProgress(int64_t& position, int64_t& total) {
    position = 0;
    total = 0;
}

const TMPEGSystemEncoder_EncodeConfig& TMultiplexEngine::GetConfig() const {
    return SystemEncoder != nullptr ? SystemEncoder->Config : DefaultConfig;
}

std::string TMultiplexEngine::GetTempDirectory() const {
    return SystemEncoder != nullptr ? SystemEncoder->TempDirectory : std::string();
}

void TMultiplexEngine::NotifySystemEncoder() {
    if (SystemEncoder != nullptr)
        SystemEncoder->Notify();
}

void TMultiplexEngine::LogSystemEncoder(const std::string& text) {
    if (SystemEncoder != nullptr)
        SystemEncoder->Log(text);
}

void TMultiplexEngine::SetProgressPhase(uint8_t phase) {
    if (SystemEncoder != nullptr)
        SystemEncoder->SetProgressPhase(phase);
}

void TMultiplexEngine::CheckKindAndChooseIds(TMPEGSystemEncoder_StreamInfo& info, const TMPEGStreamIdSet& used,
                                             const TMPEGStreamIdSet& usedSubstreams) const {
    if (!AcceptsKind(info.Kind))
        throw EMPEGSystemEncoderError(MPEGError_StreamKindNotAllowed, GetStreamKindName(info.Kind));
    TMPEGStreamIdSet allowed;
    TMPEGStreamIdSet allowedSubstreams;
    GetAllowedStreamIdsOfKind(info.Kind, allowed, allowedSubstreams);
    if (info.StreamId == 0) {
        for (int id = 0; id < 256; ++id)
            if (allowed.test(static_cast<size_t>(id)) && (id == MPEGStreamId_PrivateStream1 || !used.test(static_cast<size_t>(id)))) {
                info.StreamId = static_cast<uint8_t>(id);
                break;
            }
    }
    const uint8_t id = info.StreamId;
    // The id must belong to the kind: another kind's id would be misread by every demultiplexer.
    const bool idUsable = allowed.test(id) && (id == MPEGStreamId_PrivateStream1 || !used.test(id));
    if (!idUsable)
        throw EMPEGSystemEncoderError(MPEGError_StreamIDNotUsable);
    if (id != MPEGStreamId_PrivateStream1) {
        info.SubstreamId = 0;
        return;
    }
    if (info.SubstreamId == 0) {
        for (int sub = 1; sub < 256; ++sub)
            if (allowedSubstreams.test(static_cast<size_t>(sub)) && !usedSubstreams.test(static_cast<size_t>(sub))) {
                info.SubstreamId = static_cast<uint8_t>(sub);
                break;
            }
    }
    const uint8_t sub = info.SubstreamId;
    if (sub == 0 || !allowedSubstreams.test(sub) || usedSubstreams.test(sub))
        throw EMPEGSystemEncoderError(MPEGError_StreamIDNotUsable);
}

TMultiplexEngine_ElementaryStream_LockedLargeStream::TMultiplexEngine_ElementaryStream_LockedLargeStream(
    TMultiplexEngine_ElementaryStream& engine, const TMPEGSystemEncoder_StreamInfo& info, TLargeStream* target)
    : Engine(engine), Kind(info.Kind), StreamId(info.StreamId), SubstreamId(info.SubstreamId), Target(target) {}

int64_t TMultiplexEngine_ElementaryStream_LockedLargeStream::GetSize() {
    return GetBytesWritten();
}

int32_t TMultiplexEngine_ElementaryStream_LockedLargeStream::Write(const void* buffer, int32_t count) {
    std::lock_guard lock(StreamLock);
    if (Target == nullptr || count <= 0)
        return 0;
    const int32_t written = Target->Write(buffer, count);
    if (written > 0)
        BytesWritten += written;
    return written;
}

int64_t TMultiplexEngine_ElementaryStream_LockedLargeStream::GetBytesWritten() {
    std::lock_guard lock(StreamLock);
    return BytesWritten;
}

TMultiplexEngine_ElementaryStream::TMultiplexEngine_ElementaryStream(TMPEGSystemEncoder* systemEncoder,
                                                                     TLargeStream* output)
    : TMultiplexEngine(systemEncoder, output) {}

TMultiplexEngine_ElementaryStream::~TMultiplexEngine_ElementaryStream() = default;

TMPEGSystemEncoder_ElementaryStream* TMultiplexEngine_ElementaryStream::AddStream(const TMPEGSystemEncoder_StreamInfo& info,
                                                                                  TLargeStream* source) {
    std::lock_guard lock(Lock);
    TMPEGSystemEncoder_StreamInfo chosen = info;
    TMPEGStreamIdSet allowed;
    TMPEGStreamIdSet allowedSubstreams;
    GetAllowedStreamIdsOfKind(info.Kind, allowed, allowedSubstreams);
    // Ids mean nothing in an elementary file; they are checked only for kinds that have them.
    if (allowed.any())
        CheckKindAndChooseIds(chosen, TMPEGStreamIdSet(), TMPEGStreamIdSet());
    if (Stream)
        throw EMPEGSystemEncoderError(MPEGError_ElementaryTooManyStreams);
    Target = Output;
    if (info.Kind == MPEGSystemEncoder_StreamKind_LinearPCM && Output != nullptr) {
        WaveConverter = std::make_unique<TLinearPCMStreamToWaveFileConvertor>(*Output);
        Target = WaveConverter.get();
    }
    CopySource = source;
    Stream = std::make_unique<TMultiplexEngine_ElementaryStream_LockedLargeStream>(*this, chosen, Target);
    return Stream.get();
}

void TMultiplexEngine_ElementaryStream::Finish() {
    std::lock_guard lock(Lock);
    if (Stream && CopySource != nullptr) {
        CopySource->Seek(0, soFromBeginning);
        std::vector<uint8_t> buffer(65536);
        for (;;) {
            const int32_t got = CopySource->Read(buffer.data(), static_cast<int32_t>(buffer.size()));
            if (got <= 0)
                break;
            Stream->WriteBuffer(buffer.data(), got);
        }
        CopySource = nullptr;
    }
    if (WaveConverter)
        WaveConverter->Finish();
}

int64_t TMultiplexEngine_ElementaryStream::GetBytesWritten() {
    std::lock_guard lock(Lock);
    return Stream ? Stream->GetBytesWritten() : 0;
}

} // namespace quillset
