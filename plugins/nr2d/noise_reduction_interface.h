// Calling interface of the noise reduction libraries Velnor2D.so and Velnor3D.so.
//
// Both libraries export undecorated C entries with the C calling convention and are loaded at run
// time (dlopen/dlsym); nothing here is linked. Pictures are packed 24-bit pixels in the byte order
// B, G, R, rows of width * 3 bytes following each other without a gap, row 0 first. In field mode
// rows of equal parity form one field and are filtered by themselves.
//
// Each library keeps one process-wide filter object with its working memory; calls must not
// overlap (one call at a time per library).
#pragma once

#include <cstdint>

namespace quillset::noise_reduction {

// Called after each output row when both the entry and its context are set; `context` is the
// caller's pointer passed through unchanged.
using TNoiseReductionProgress = void (*)(int32_t row, void* context);

// "NoiseReduction2DPluginDLL": edge-preserving spatial filter. `source` 0 filters `destination`
// in place; otherwise `source` and `destination` are the same picture or do not overlap.
// strength is clamped to 0..1000, radius to 1..100. Heights or widths below 1 return at once.
using TNoiseReduction2DEntry = void (*)(uint8_t* destination, const uint8_t* source, int32_t strength,
                                        int32_t radius, int32_t width, int32_t height, int32_t fieldMode,
                                        TNoiseReductionProgress progress, void* context);

// "NoiseReduction3DPluginDLL": motion-adaptive temporal filter over the previous, current and
// next picture. A missing neighbour (0) is replaced by the current picture. strength is clamped
// to 0..100; temporal is accepted and ignored. Returns the height (0 when it could not filter).
using TNoiseReduction3DEntry = int32_t (*)(uint8_t* destination, const uint8_t* current,
                                           const uint8_t* previous, const uint8_t* next, int32_t strength,
                                           int32_t temporal, int32_t width, int32_t height, int32_t fieldMode,
                                           TNoiseReductionProgress progress, void* context);

// ---- "Process": the generic filter-host protocol ----------------------------------------------
//
// A host drives a library with a sequence of commands: STUP (reply: the library kind and its
// stored settings), INIT (start a session, forget any announced picture), LEAD (announce the
// picture geometry), EXEC (filter one picture of the announced geometry with the stored settings:
// strength 100, radius 1, field mode on) and DONE (end the session). Every command is answered
// into the reply record (which may be 0); the entry returns the reply's status.

// Four-character codes: the characters in reading order as one little-endian 32-bit value.
constexpr uint32_t FourCharacterCode(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

enum : uint32_t {
    NoiseReductionCommand_Startup = FourCharacterCode('S', 'T', 'U', 'P'),
    NoiseReductionCommand_Init = FourCharacterCode('I', 'N', 'I', 'T'),
    NoiseReductionCommand_Lead = FourCharacterCode('L', 'E', 'A', 'D'),
    NoiseReductionCommand_Exec = FourCharacterCode('E', 'X', 'E', 'C'),
    NoiseReductionCommand_Done = FourCharacterCode('D', 'O', 'N', 'E'),
};

// The library kinds a STUP reply names.
enum : uint32_t {
    NoiseReductionKind_Spatial = FourCharacterCode('N', 'R', '2', 'D'),
    NoiseReductionKind_Temporal = FourCharacterCode('N', 'R', '3', 'D'),
};

enum : int32_t {
    NoiseReductionStatus_Ok = 0,
    NoiseReductionStatus_UnknownCommand = 1, // the code is none of the five
    NoiseReductionStatus_NoPicture = 2,      // EXEC without a valid LEAD in this session
    NoiseReductionStatus_BadArgument = 3,    // no command record, or EXEC without a destination
    NoiseReductionStatus_Unavailable = 4,    // no filter object, or its working memory ran out
};

// One record layout serves every command; each command reads only the fields it names.
struct TNoiseReductionCommand {
    uint32_t Code = 0;
    int32_t Width = 0;                  // LEAD
    int32_t Height = 0;                 // LEAD
    int32_t Reserved = 0;
    uint8_t* Destination = nullptr;     // EXEC
    const uint8_t* Source = nullptr;    // EXEC: the input, Velnor3D's current (0: in place)
    const uint8_t* Previous = nullptr;  // EXEC, Velnor3D only (0: none)
    const uint8_t* Next = nullptr;      // EXEC, Velnor3D only (0: none)
};

struct TNoiseReductionReply {
    uint32_t Code = 0;      // the answered command
    int32_t Status = 0;     // NoiseReductionStatus_*
    uint32_t Kind = 0;      // STUP: NoiseReductionKind_*
    int32_t Strength = 0;   // STUP: the stored settings
    int32_t Radius = 0;
    int32_t FieldMode = 0;
    int32_t Width = 0;      // the announced geometry (0 when none)
    int32_t Height = 0;
    int32_t Rows = 0;       // EXEC: rows written
};

using TNoiseReductionProcessEntry = int32_t (*)(const TNoiseReductionCommand* command, TNoiseReductionReply* reply);

} // namespace quillset::noise_reduction
