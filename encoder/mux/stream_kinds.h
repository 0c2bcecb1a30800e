// The kinds of elementary streams a system encoder carries, the three-byte stream information the
// encode run hands to AddStream, and the stream-id sets of ISO/IEC 13818-1, Table 2-18.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>

namespace quillset {

// First byte of the stream information.
enum TMPEGSystemEncoder_StreamKind : uint8_t {
    MPEGSystemEncoder_StreamKind_MPEGVideo = 0,
    MPEGSystemEncoder_StreamKind_MPEGAudio = 1,
    MPEGSystemEncoder_StreamKind_DolbyAC3 = 2,
    MPEGSystemEncoder_StreamKind_LinearPCM = 3,
    MPEGSystemEncoder_StreamKind_SubPicture = 4,
};

// Stream information: kind; stream id (0 = choose one); substream id (0 = choose one; only for
// private stream 1, 0xBD).
struct TMPEGSystemEncoder_StreamInfo {
    uint8_t Kind = MPEGSystemEncoder_StreamKind_MPEGVideo;
    uint8_t StreamId = 0;
    uint8_t SubstreamId = 0;
};

// A set of 256 stream ids (or substream ids).
using TMPEGStreamIdSet = std::bitset<256>;

// Stream ids of ISO/IEC 11172-1 / 13818-1.
constexpr uint8_t MPEGStreamId_PrivateStream1 = 0xBD;
constexpr uint8_t MPEGStreamId_Padding = 0xBE;
constexpr uint8_t MPEGStreamId_PrivateStream2 = 0xBF;
constexpr uint8_t MPEGStreamId_FirstAudio = 0xC0;
constexpr uint8_t MPEGStreamId_FirstVideo = 0xE0;

// Start codes of the pack layer (the byte after 00 00 01).
constexpr uint8_t MPEGStartCode_End = 0xB9;
constexpr uint8_t MPEGStartCode_Pack = 0xBA;
constexpr uint8_t MPEGStartCode_SystemHeader = 0xBB;

// Substream ids inside private stream 1 as DVD-Video numbers them.
constexpr uint8_t MPEGSubstream_FirstAC3 = 0x80;
constexpr uint8_t MPEGSubstream_FirstLPCM = 0xA0;

// The name of a kind as messages show it ("MPEG-Video", "Dolby Digital (AC-3)", ...); "" for an
// unknown kind.
std::string GetStreamKindName(uint8_t kind);

// The stream ids and substream ids a kind may use: video 0xE0-0xEF, MPEG audio 0xC0-0xCF, AC-3
// 0xBD with substreams 0x80-0x87, Linear PCM 0xBD with substreams 0xA0-0xA7; nothing for others.
void GetAllowedStreamIdsOfKind(uint8_t kind, TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds);

// The kind of the input an audio encoder of `audioStreamType` (MPEGAudioEncoder_StreamType_*)
// writes into: MPEG audio for Layers I to III, Dolby Digital (AC-3), Linear PCM; 0xFF for an
// unknown type.
uint8_t GetStreamKindOfAudioType(uint8_t audioStreamType);

inline bool IsVideoStreamId(uint8_t id) { return id >= 0xE0 && id <= 0xEF; }
inline bool IsAudioStreamId(uint8_t id) { return id >= 0xC0 && id <= 0xDF; }

} // namespace quillset
