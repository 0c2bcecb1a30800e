// Multiplex engines: the part of the system encoder that turns its elementary inputs into the
// output file. This header holds the root engine and the engine of elementary outputs, which
// writes its single input straight to the output.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "encoder/mux/packetizer_stream.h"
#include "encoder/mux/stream_kinds.h"
#include "encoder/mux/system_encode_config.h"
#include "stream/large_stream.h"

namespace quillset {

class TMPEGSystemEncoder;
class TLinearPCMStreamToWaveFileConvertor;

class TMultiplexEngine {
public:
    // systemEncoder may be null (an engine driven on its own); output is not owned and may be
    // null for an engine that only feeds encoders.
    TMultiplexEngine(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);
    TMultiplexEngine(const TMultiplexEngine&) = delete;
    TMultiplexEngine& operator=(const TMultiplexEngine&) = delete;
    virtual ~TMultiplexEngine();

    // Adds an input of info's kind and returns the stream its encoder writes into (owned by the
    // engine). With a Source (not owned) the input's bytes are read from it instead.
    // Raises EMPEGSystemEncoderError 0xD0613032 (kind not allowed), 0xD0613034 (ids) and, for
    // an elementary output, 0xD0613033 (a second stream).
    virtual TMPEGSystemEncoder_ElementaryStream* AddStream(const TMPEGSystemEncoder_StreamInfo& info,
                                                           TLargeStream* source) = 0;
    // Completes the output once every encoder has finished.
    virtual void Finish() = 0;
    virtual int64_t GetBytesWritten() = 0;
    virtual int32_t GetUnderflowCount() { return 0; }
    // Work position and total of the current phase, for the progress display.
    virtual void GetProgress(int64_t& position, int64_t& total);

    // Whether the engine's output form may carry a stream kind.
    virtual bool AcceptsKind(uint8_t kind) const = 0;

    // Settings and hooks of the owning system encoder (defaults without one).
    const TMPEGSystemEncoder_EncodeConfig& GetConfig() const;
    std::string GetTempDirectory() const;
    void NotifySystemEncoder();
    void LogSystemEncoder(const std::string& text);
    void SetProgressPhase(uint8_t phase);

    std::recursive_mutex Lock;
    TMPEGSystemEncoder* SystemEncoder;
    TLargeStream* Output;

protected:
    // Checks the kind and chooses the ids of a new input as AddStream describes; `used` and
    // `usedSubstreams` are the ids taken so far.
    void CheckKindAndChooseIds(TMPEGSystemEncoder_StreamInfo& info, const TMPEGStreamIdSet& used,
                               const TMPEGStreamIdSet& usedSubstreams) const;

private:
    TMPEGSystemEncoder_EncodeConfig DefaultConfig;
};

class TMultiplexEngine_ElementaryStream;

// The input of the elementary engine: every write goes to the target under its own lock.
class TMultiplexEngine_ElementaryStream_LockedLargeStream : public TMPEGSystemEncoder_ElementaryStream {
public:
    TMultiplexEngine_ElementaryStream_LockedLargeStream(TMultiplexEngine_ElementaryStream& engine,
                                                        const TMPEGSystemEncoder_StreamInfo& info,
                                                        TLargeStream* target);

    int64_t GetSize() override;
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t, uint16_t) override { return -1; }

    int64_t GetBytesWritten();

    std::mutex StreamLock;
    TMultiplexEngine_ElementaryStream& Engine;
    uint8_t Kind;
    uint8_t StreamId;
    uint8_t SubstreamId;
    TLargeStream* Target;
    int64_t BytesWritten = 0;
};

// One elementary stream written as it is (Linear PCM as a WAVE file).
class TMultiplexEngine_ElementaryStream : public TMultiplexEngine {
public:
    TMultiplexEngine_ElementaryStream(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);
    ~TMultiplexEngine_ElementaryStream() override;

    TMPEGSystemEncoder_ElementaryStream* AddStream(const TMPEGSystemEncoder_StreamInfo& info,
                                                   TLargeStream* source) override;
    // Copies a Source to the output, then completes a WAVE output.
    void Finish() override;
    int64_t GetBytesWritten() override;
    bool AcceptsKind(uint8_t) const override { return true; }

    std::unique_ptr<TMultiplexEngine_ElementaryStream_LockedLargeStream> Stream;
    TLargeStream* CopySource = nullptr;
    TLargeStream* Target = nullptr;
    std::unique_ptr<TLinearPCMStreamToWaveFileConvertor> WaveConverter;
};

} // namespace quillset
