// The calling interface of the AC3SUBE library: an ATSC A/52 (AC-3) encoder reached through one
// exported C entry, `dolby_sub`.
//
// A caller sends requests. Command 0 initialises the encoder (all other fields 0). Command 17
// encodes one syncframe of 1536 sample times: its parameter block names six channel slots of
// double-precision samples in -1 .. 1 (slot order left, centre, right, left surround, right
// surround, low-frequency effects), the sampling frequency and audio coding mode, and the frame
// size code. The library writes the syncframe into the output buffer as 16-bit words whose
// values are the stream's words (the first word of a frame is 0x0B77); the caller stores each
// word high byte first. The reply points at a status record that gives the number of words.
//
// The library keeps one encoder in process-wide state: one caller at a time.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    AC3Sub_Command_Initialize = 0,
    AC3Sub_Command_EncodeFrame = 17,
    AC3Sub_ParameterCount = 10,   // the count field of an encode parameter block
    AC3Sub_Slots = 6,             // channel slots of a parameter block
    AC3Sub_MaxFrameWords = 1920,  // the largest A/52 syncframe (640 kbit/s at 32 kHz)
};

// Status codes.
enum {
    AC3Sub_Status_OK = 0,
    AC3Sub_Status_UnknownCommand = 1,
    AC3Sub_Status_BadParameters = 2, // a missing block or buffer, or a count other than 10
    AC3Sub_Status_Unsupported = 3,   // a sampling frequency, coding mode or frame size A/52 lacks
};

// One request, passed by value.
struct TAC3SubRequest {
    uint16_t Command;
    uint16_t Reserved;      // 0
    const void* Parameters; // the parameter block of command 17; null for initialisation
    uint16_t Value;         // 0
};

// The status of the latest request. WordCount (bytes 2 and 3) is the number of 16-bit words the
// latest encode request wrote, 0 when it failed.
struct TAC3SubStatus {
    uint16_t Result;
    uint16_t WordCount;
    uint32_t Reserved;
};

// Filled by every request; Status stays valid until the next request.
struct TAC3SubReply {
    const struct TAC3SubStatus* Status;
    uint32_t Reserved;
};

// The parameter block of command 17.
struct TAC3SubEncodeParameters {
    uint16_t Count;                     // AC3Sub_ParameterCount
    const double* const* ChannelInputs; // six slot addresses: the first sample of each slot
    const uint16_t* Strides;            // six distances, in doubles, between successive samples
    const uint16_t* Offsets;            // six offsets, in doubles, added to each slot address
    // Sampling frequency code (A/52 fscod: 0 48 kHz, 1 44.1 kHz, 2 32 kHz) × 4096 + two
    // flags (× 2048, × 1024; sent as 0, ignored) + audio coding mode (acmod: 0 1+1, 1 1/0,
    // 2 2/0).
    uint16_t CodingWord;
    uint16_t* Output; // room for AC3Sub_MaxFrameWords words
    uint16_t Reserved1;
    // Bit-rate index (A/52 frmsizecod / 2) × 512; the low bit asks for the frame of one word
    // more (frmsizecod odd), which only 44.1 kHz frames have.
    uint16_t FrameSizeCode;
    uint32_t Reserved2;
    uint32_t Reserved3;
};

void dolby_sub(struct TAC3SubRequest request, struct TAC3SubReply* reply);

typedef void (*TAC3SubEntry)(struct TAC3SubRequest request, struct TAC3SubReply* reply);

#ifdef __cplusplus
}
#endif
