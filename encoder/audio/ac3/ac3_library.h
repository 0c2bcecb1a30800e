// The process-wide binding of the AC-3 encoder library (AC3SUBE.so, entry dolby_sub).
//
// The library is loaded when the first user acquires it and freed when the last one releases
// it (or at program end). It is looked for in the library folder first (the folder of the
// running program unless set otherwise) and then by bare name through the system's search path;
// a name with a '/' is used as it stands. Because the library keeps one encoder in global state,
// at most one TDolbyAC3AudioEncoder may exist at a time: the binding's lock guards that rule and
// the load count.
#pragma once

#include <string>

#include "plugins/ac3sube/ac3sube.h"

namespace quillset {

// The default library name.
extern const char* const AC3DefaultLibraryFileName; // "AC3SUBE.so"

// The process-wide library name. Empty means that AC-3 is not offered: the encoder factory then
// creates the MPEG audio encoder for AC-3 configurations, and the wizard loads the template list
// without AC-3 templates.
std::string GetAC3LibraryFileName();
void SetAC3LibraryFileName(const std::string& fileName);

// The folder searched first; empty (the default) means the folder of the running program.
void SetAC3LibraryFolder(const std::string& folder);
std::string AC3LibraryFolder();

// At program start: tries to load the library named by GetAC3LibraryFileName and releases it
// again. When it cannot be loaded (or lacks its entry), the process-wide name is cleared. Returns
// whether AC-3 encoding is available. Use its result to choose the template list
// ("WIZARDTEMPLATE_AC3" when true, "WIZARDTEMPLATE" otherwise).
bool ProbeAC3Library();

// True while the process-wide name is set: the encoder factory's rule for AC-3 configurations.
bool IsAC3EncoderAvailable();

// When the load count is 0: remembers fileName, loads the library and looks up its entry (a
// library without it is freed again); on failure the result is false and nothing changes. On
// success the load count goes up by one.
bool AcquireAC3Library(const std::string& fileName);
// Lowers the load count; at 0 the library is freed.
void ReleaseAC3Library();

// The one-encoder rule, under the binding's lock: an encoder is granted the library only while
// no other holds it, and only when the library can be acquired.
enum class TAC3EncoderClaim { Granted, InUse, LibraryMissing };
TAC3EncoderClaim ClaimAC3Encoder(const std::string& fileName);
// Gives the library back (clears the in-use flag and releases the library).
void ReturnAC3Encoder();

// The entry of the loaded library (null when none is loaded). Valid while the caller holds the
// library.
TAC3SubEntry AC3LibraryEntry();

// For diagnostics and tests.
int AC3LibraryLoadCount();
bool IsAC3LibraryLoaded();
bool IsAC3EncoderInUse();

} // namespace quillset
