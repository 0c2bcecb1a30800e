// The system encoder: the object the encode run talks to for one output file. It owns the
// elementary encoders added to it and one multiplex engine chosen by the system stream type, and
// drives them in the calling order of the encoder framework: AddStream for each elementary input,
// AddEncoder for each encoder writing into one, BeginEncode, the encoders' work, EndEncode.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encoder/framework/base_encoder.h"
#include "encoder/mux/multiplex_engine.h"
#include "encoder/mux/stream_kinds.h"
#include "encoder/mux/system_encode_config.h"
#include "stream/large_stream.h"

namespace quillset {

// Phases of the work the engine does after the encoders have finished.
constexpr uint8_t MPEGSystemEncoder_ProgressPhase_None = 0;
constexpr uint8_t MPEGSystemEncoder_ProgressPhase_Multiplexing = 1;
constexpr uint8_t MPEGSystemEncoder_ProgressPhase_RewritingMuxRate = 2;
constexpr uint8_t MPEGSystemEncoder_ProgressPhase_ScanInformation = 3;

// The engine for a stream type; raises EMPEGSystemEncoderError 0xD0613031 for a type without one.
std::unique_ptr<TMultiplexEngine> CreateMultiplexEngine(uint8_t streamType, TMPEGSystemEncoder* systemEncoder,
                                                        TLargeStream* output);

class TMPEGSystemEncoder : public TMPEGBaseEncoder {
public:
    // Output is not owned (null for an encoder that only feeds its encoders); it must be readable
    // and seekable for the forms whose headers are patched at the end (MPEG-1/MPEG-2 with a rate
    // found late, Super Video CD). Raises EMPEGSystemEncoderError 0xD0613031 for a stream type
    // without an engine.
    TMPEGSystemEncoder(TLargeStream* output, const TMPEGSystemEncoder_EncodeConfig& config);
    ~TMPEGSystemEncoder() override;

    // A new elementary input (info's zero ids are chosen); the stream belongs to the engine.
    TMPEGSystemEncoder_ElementaryStream* AddStream(const TMPEGSystemEncoder_StreamInfo& info);
    // The system encoder owns the encoder from now on.
    void AddEncoder(std::unique_ptr<TMPEGBaseEncoder> encoder);
    // Once: BeginEncode of every encoder.
    void BeginEncode() override;
    // BeginEncode when not started; EndEncode of every encoder in the order added; then the
    // engine completes the output.
    void EndEncode() override;

    // The progress of the work after the encoders finished: the phase and the engine's position
    // and total in it.
    uint8_t GetProgressPhase() const { return ProgressPhase; }
    void GetProgress(int64_t& position, int64_t& total);
    // Called by the engine when it enters a phase.
    void SetProgressPhase(uint8_t phase) { ProgressPhase = phase; }

    TMultiplexEngine* GetEngine() { return Engine.get(); }
    const std::vector<std::unique_ptr<TMPEGBaseEncoder>>& GetEncoders() const { return Encoders; }

    TMPEGSystemEncoder_EncodeConfig Config;
    std::string TempDirectory;
    TLargeStream* Output;
    bool Started = false;

private:
    std::vector<std::unique_ptr<TMPEGBaseEncoder>> Encoders;
    std::unique_ptr<TMultiplexEngine> Engine;
    uint8_t ProgressPhase = MPEGSystemEncoder_ProgressPhase_None;
};

} // namespace quillset
