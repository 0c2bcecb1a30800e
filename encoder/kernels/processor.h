// Processor detection, the process-wide processor state, and the memory helpers that consult it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "encoder/kernels/aligned_memory.h"
#include "encoder/kernels/lookup_tables.h" // ClampToByte

namespace quillset {

// Instruction-set extensions, one bit each.
using TProcessorFeatures = uint8_t;
enum : TProcessorFeatures {
    ProcessorFeature_MMX = 0x01,
    ProcessorFeature_MMX2 = 0x02, // the integer extensions of SSE
    ProcessorFeature_SSE = 0x04,
    ProcessorFeature_SSE2 = 0x08,
    ProcessorFeature_SSE3 = 0x10,
    ProcessorFeature_3DNow = 0x20,
    ProcessorFeature_3DNowExt = 0x40,
    ProcessorFeature_AVX2 = 0x80, // AVX2 with the operating system saving the YMM registers
};

// Per flag in bit order, the bits that must all be present for the flag to stay.
inline constexpr TProcessorFeatures ProcessorFeatureRequirements[8] = {0x01, 0x03, 0x07, 0x0F,
                                                                       0x1F, 0x21, 0x63, 0x8F};

// What the CPUID instruction (and the execution tests) reported; all zero when there is none.
struct TCpuIdReport {
    bool HasCpuId = false;
    uint32_t MaxLeaf = 0;
    char Vendor[13] = {};        // leaf 0: EBX, EDX, ECX
    uint32_t Signature = 0;      // leaf 1 EAX
    uint32_t Leaf1Ebx = 0;
    uint32_t Leaf1Ecx = 0;
    uint32_t Leaf1Edx = 0;
    uint32_t ExtendedEdx = 0;    // leaf 0x80000001 EDX
    uint32_t Leaf7Ebx = 0;       // leaf 7 sub-leaf 0 EBX
    bool SseExecutes = false;    // an SSE register instruction ran without a fault
    bool Sse2Executes = false;   // an SSE2 128-bit integer instruction ran without a fault
    bool OsSavesYmm = false;     // XGETBV reports the XMM and YMM state enabled
};

// Removes every flag whose requirement mask is not complete in `raw` (tested against `raw` as
// given, not against the partly cleaned result).
TProcessorFeatures ApplyFeatureRequirements(TProcessorFeatures raw);

// The features of a report: raw flags from CPUID, the requirement rule, and the rule that an
// "AuthenticAMD" processor with signature 0x662 never uses SSE.
TProcessorFeatures DeriveProcessorFeatures(const TCpuIdReport& report);

// Hyper-Threading: leaf 1 EDX bit 28 with more than one logical processor in EBX bits 16-23.
bool DeriveHyperThreading(const TCpuIdReport& report);

// Reads CPUID on this processor (an empty report on other architectures).
TCpuIdReport ReadCpuId();

// Parses the value of QUILLSET_CPU_MASK: a number (decimal, 0x hex or 0 octal) whose clear bits
// switch instruction sets off. An empty, missing or malformed value keeps every feature (0xFF).
TProcessorFeatures ParseCpuMask(const char* text);

// Fills the process-wide state once; later calls do nothing. Runs implicitly on first use of
// the accessors below, so calling it at start-up only fixes the moment.
void DetectProcessor();

// The flags that select kernel sets: the detected features, reduced by QUILLSET_CPU_MASK.
TProcessorFeatures ActiveFeatures();
// The number of processors the operating system reports (at least 1).
int32_t ProcessorCount();
bool HyperThreading();

// Fills `count` bytes with `value`; counts below 1 do nothing.
void FastFill(void* destination, int32_t count, uint8_t value);
// Copies `count` bytes; the ranges may overlap. Counts below 1 do nothing.
void FastMove(const void* source, void* destination, int32_t count);

} // namespace quillset
