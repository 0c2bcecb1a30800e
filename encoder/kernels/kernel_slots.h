// Names of the kernel table's slots by index, for diagnostics, tests and benchmarks.
#pragma once

#include "encoder/kernels/kernel_table.h"

namespace quillset {

// The member name of slot `index` ("Sad16x16" for 1); empty for slot 23 and out-of-range indexes.
const char* KernelSlotName(int index);

// True for the six slots that hold a flag byte instead of an entry point.
bool IsKernelFlagSlot(int index);

} // namespace quillset
