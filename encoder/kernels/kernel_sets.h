// The kernel sets and the filling of kernel tables by processor.
//
// Each set first applies the set it builds on, then replaces some slots:
//   Normal          clears the table and fills every reference kernel; flags 0
//   NormalAsm       Normal (no integer-register variants on this platform)
//   MMX             NormalAsm
//   MMX2            MMX
//   MMX2_Pentium3   MMX2 + binds Mosrik3 into slots 118-130
//   SSE             MMX2_Pentium3 + sets the six flag slots to 1 (floating-point quantiser paths)
//   SSE2            SSE + the SSE2 kernels, then the AVX2 kernels when AVX2 is active
//   SSE2_Pentium4   SSE2 + binds Mosrik4 over Mosrik3, Velnor2D into 131, Velnor3D into 132
//   3DNow           MMX
// The sets that bind libraries may raise EMPEGError (kernel_libraries.h).
#pragma once

#include "encoder/kernels/kernel_table.h"
#include "encoder/kernels/processor.h"

namespace quillset {

void MPEGEncoder_FuncSet_Normal(TKernelTable& table);
void MPEGEncoder_FuncSet_NormalAsm(TKernelTable& table);
void MPEGEncoder_FuncSet_MMX(TKernelTable& table);
void MPEGEncoder_FuncSet_MMX2(TKernelTable& table);
void MPEGEncoder_FuncSet_MMX2_Pentium3(TKernelTable& table);
void MPEGEncoder_FuncSet_SSE(TKernelTable& table);
void MPEGEncoder_FuncSet_SSE2(TKernelTable& table);
void MPEGEncoder_FuncSet_SSE2_Pentium4(TKernelTable& table);
void MPEGEncoder_FuncSet_3DNow(TKernelTable& table);

enum class TKernelSet { Normal, NormalAsm, MMX, MMX2, MMX2_Pentium3, SSE, SSE2, SSE2_Pentium4, ThreeDNow };

// The set for a feature set, first match of: SSE2 -> SSE2_Pentium4, SSE -> SSE, MMX2 ->
// MMX2_Pentium3, 3DNow! -> 3DNow, MMX -> MMX, otherwise NormalAsm.
TKernelSet SelectKernelSet(TProcessorFeatures features);

// Applies one set by its identifier.
void FillKernelTableWithSet(TKernelTable& table, TKernelSet set);

// Fills a caller-owned table with the set chosen for ActiveFeatures(), loading outside libraries
// on first need. Raises EMPEGError when a library cannot be loaded.
void FillKernelTable(TKernelTable& table);

// Applies the processor-specific kernel steps available for `features` on top of whatever the
// table holds, without binding any library: on x86-64 the SSE2 kernels, then the AVX2 kernels.
// Tests and benchmarks use it to compare each step with the reference.
void FillProcessorKernels(TKernelTable& table, TProcessorFeatures features);

// True when this build contains processor-specific kernels (x86-64 builds); other builds run the
// reference kernels in every set.
bool ProcessorKernelsBuilt();

} // namespace quillset
