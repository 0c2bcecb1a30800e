// Run-time binding of the outside libraries reached through the kernel table: the motion-search
// packages Mosrik3 and Mosrik4 (slots 118 to 130) and the noise reduction plug-ins Velnor2D and
// Velnor3D (slots 131, 132).
//
// A library is loaded on the first fill that needs it, from the library folder and, failing
// that, by bare file name through the system search path; it stays loaded until
// ReleaseKernelLibraries. A package's Initialize entry runs once after loading. A missing
// library raises EMPEGError (nothing is kept, so the next fill tries again); a missing entry
// leaves its slot empty.
#pragma once

#include <string>

#include "encoder/kernels/kernel_table.h"

namespace quillset {

enum class TKernelLibrary { Mosrik3, Mosrik4, Velnor2D, Velnor3D };

// "Mosrik3.so", "Mosrik4.so", "Velnor2D.so", "Velnor3D.so".
const char* KernelLibraryFileName(TKernelLibrary library);

// The folder searched first; empty (the default) means the folder of the running program.
// Tests point it at their stand-in libraries.
void SetKernelLibraryFolder(const std::string& folder);
std::string KernelLibraryFolder();

// Loads the package when needed, calls its Initialize entry once, and copies its thirteen
// search entries into slots 118 to 130. Raises EMPEGError 0xD0613038 (Mosrik3) or 0xD0613036
// (Mosrik4) naming the file when it cannot be loaded.
void BindMotionSearchPackage(TKernelLibrary package, TKernelTable& table);

// Loads Velnor2D and then Velnor3D when needed and reads their entries into slots 131 and 132.
// Raises EMPEGError 0xD0613036 naming the plug-in file that could not be loaded.
void BindNoiseReductionPlugins(TKernelTable& table);

// At program end: Mosrik4's Finalize (when initialised), unload Mosrik4, Velnor2D, Velnor3D; then
// Mosrik3's Finalize and unload. Tables filled before keep dangling entries in slots 118-132 and
// must not be used afterwards.
void ReleaseKernelLibraries();

// True when the library is currently loaded (for diagnostics and tests).
bool IsKernelLibraryLoaded(TKernelLibrary library);

} // namespace quillset
