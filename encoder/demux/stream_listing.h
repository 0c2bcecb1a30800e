// The demultiplexer's view of an MPEG file as a list of its elementary streams, for the command
// line's "info": the file's form, and per stream its kind, ids, payload size, packet count and
// first time stamps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/demux/demux_source.h"
#include "encoder/demux/elementary_stream_info.h"
#include "stream/large_stream.h"

namespace quillset {

struct TMPEGStreamListEntry {
    uint8_t Kind = 0;          // TMPEGDemultiplexor_StreamKind
    uint8_t Number = 0;
    uint8_t StreamId = 0;
    uint8_t SubstreamId = 0;   // 0 unless private stream 1
    int64_t Packets = 0;       // packets (blocks of 4096 bytes in an elementary file)
    int64_t Bytes = 0;         // payload bytes of the elementary stream
    int64_t FirstPTS = -1;     // 90 kHz, -1 when the stream carries none
    int64_t FirstDTS = -1;
    TMPEGElementaryStreamInfo Info;
};

struct TMPEGStreamList {
    TMPEGFileForm Form = MPEGFileForm_Packets;
    TMPEGFileWrapper Wrapper = MPEGFileWrapper_None;
    int32_t Version = 0;       // 1 ISO/IEC 11172-1 system stream, 2 ISO/IEC 13818-1 program stream
    int64_t Packs = 0;         // packets walked, all streams
    bool Damaged = false;      // the walk stopped at a format error
    std::vector<TMPEGStreamListEntry> Streams; // ordered by kind, then number
};

// Walks the whole source (not owned). Raises EMPEGSystemEncoderError 0xD061300D for a file of no
// accepted form.
TMPEGStreamList ListMPEGStreams(TLargeStream& source);

// The list as text lines: one line for the file, one per stream, e.g.
// "stream 0xE0 MPEG video #0: 1234567 bytes, 400 packets, first PTS 0.200000 s, first DTS 0.166833 s, 720x480 29.97 fps MPEG-2"
std::vector<std::string> FormatMPEGStreamList(const TMPEGStreamList& list);

// "MPEG video", "MPEG audio", "AC-3", "Linear PCM".
std::string GetDemultiplexorKindName(uint8_t kind);

} // namespace quillset
