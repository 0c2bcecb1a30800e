// The motion-search packages Mosrik3 and Mosrik4: what both export, around the search sources
// they share with the program. Each package file supplies its own block-measure kernels
// (FillPackageKernels) and its exported C entries, which forward here.
#pragma once

#include <cstdint>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_types.h"

// Entries the program binds by name; everything else stays hidden in the module.
#define QS_MOSRIK_EXPORT extern "C" __attribute__((visibility("default")))

namespace quillset::mosrik {

// Fills the block-measure slots (1 to 28) the searches use; defined by each package.
void FillPackageKernels(TKernelTable& table);

// The package's kernels, filled on first use (thread-safe), so entries work even before
// PackageInitialize.
const TKernelTable& PackageKernels();

void PackageInitialize();
void PackageFinalize();

// FastSearch entries: `params` is the FastSearch parameter block (TFastSearchPackageParams).
void PackageFastSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result);
void PackageFastSearchField(const void* params, int32_t x, int32_t y, int32_t parity, TMotionSearchResult* result);

} // namespace quillset::mosrik
