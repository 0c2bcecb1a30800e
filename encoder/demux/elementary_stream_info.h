// What the first header of an elementary stream tells: the sequence header of video, the frame
// header of MPEG audio, the synchronisation information of AC-3, the private Linear PCM header.
#pragma once

#include <cstdint>

#include "encoder/audio/lpcm/lpcm_header.h"
#include "encoder/mux/elementary_headers.h"

namespace quillset {

struct TMPEGElementaryStreamInfo {
    uint8_t Kind = 0;      // TMPEGDemultiplexor_StreamKind
    bool Valid = false;    // a header of the kind was found
    TMPEGVideoSequenceHeader Video;
    bool VideoMPEG2 = false;
    TMPEGAudioFrameHeader Audio;
    TAC3SyncInfo AC3;
    TLinearPCMHeaderInfo LinearPCM;
};

// Analyses the first bytes of a stream of the kind: the first sequence header (and a sequence
// extension right behind it), the first valid frame header, or the private header at the start.
TMPEGElementaryStreamInfo AnalyseElementaryStream(uint8_t kind, const uint8_t* data, int32_t size);

} // namespace quillset
