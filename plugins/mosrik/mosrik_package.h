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

// The sum-picture families: `params` is the family's parameter block, `fieldSums` the current
// picture's field sum picture of the searched field.
void PackageFastZoomSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result);
void PackageFastZoomSearchField(const void* params, const uint16_t* fieldSums, int32_t x, int32_t y, int32_t parity,
                                TMotionSearchResult* result);
void PackageZoomSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result);
void PackageZoomSearchField(const void* params, const uint16_t* fieldSums, int32_t x, int32_t y, int32_t parity,
                            TMotionSearchResult* result);
void PackageRGBZoomSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result);
// `fieldModeClass`: the frame search of the field-mode class (slot 129) rather than slot 128.
void PackageMotionEstimateFrame(const void* params, bool fieldModeClass, int32_t x, int32_t y,
                                TMotionSearchResult* result);
void PackageMotionEstimateField(const void* params, const uint16_t* fieldSums, int32_t x, int32_t y, int32_t parity,
                                TMotionSearchResult* result);

} // namespace quillset::mosrik

// The entries of the sum-picture families under a package's prefix (P3_ or P4_). The field-mode
// FastZoom and Zoom classes search frames through the frame entries; their FieldSearch_Frame
// entries (slots 122, 125) are bound but not called and answer like the frame entries.
#define QS_MOSRIK_SUM_PICTURE_ENTRIES(prefix)                                                                        \
    QS_MOSRIK_EXPORT void prefix##FastZoomSearch_FrameSearch(const void* p, int32_t x, int32_t y,                    \
                                                              quillset::TMotionSearchResult* r) {                    \
        quillset::mosrik::PackageFastZoomSearchFrame(p, x, y, r);                                                    \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##FastZoomSearch_FieldSearch_Frame(const void* p, int32_t x, int32_t y,              \
                                                                    quillset::TMotionSearchResult* r) {              \
        quillset::mosrik::PackageFastZoomSearchFrame(p, x, y, r);                                                    \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##FastZoomSearch_FieldSearch_Field(const void* p, const uint16_t* s, int32_t x,      \
                                                                    int32_t y, int32_t parity,                       \
                                                                    quillset::TMotionSearchResult* r) {              \
        quillset::mosrik::PackageFastZoomSearchField(p, s, x, y, parity, r);                                         \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##ZoomSearch_FrameSearch(const void* p, int32_t x, int32_t y,                        \
                                                          quillset::TMotionSearchResult* r) {                        \
        quillset::mosrik::PackageZoomSearchFrame(p, x, y, r);                                                        \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##ZoomSearch_FieldSearch_Frame(const void* p, int32_t x, int32_t y,                  \
                                                                quillset::TMotionSearchResult* r) {                  \
        quillset::mosrik::PackageZoomSearchFrame(p, x, y, r);                                                        \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##ZoomSearch_FieldSearch_Field(const void* p, const uint16_t* s, int32_t x,          \
                                                                int32_t y, int32_t parity,                           \
                                                                quillset::TMotionSearchResult* r) {                  \
        quillset::mosrik::PackageZoomSearchField(p, s, x, y, parity, r);                                             \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##RGBZoomSearch_FrameSearch(const void* p, int32_t x, int32_t y,                     \
                                                             quillset::TMotionSearchResult* r) {                     \
        quillset::mosrik::PackageRGBZoomSearchFrame(p, x, y, r);                                                     \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##MotionEstimateSearch_FrameSearch(const void* p, int32_t x, int32_t y,              \
                                                                    quillset::TMotionSearchResult* r) {              \
        quillset::mosrik::PackageMotionEstimateFrame(p, false, x, y, r);                                             \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##MotionEstimateSearch_FieldSearch_Frame(const void* p, int32_t x, int32_t y,        \
                                                                          quillset::TMotionSearchResult* r) {        \
        quillset::mosrik::PackageMotionEstimateFrame(p, true, x, y, r);                                              \
    }                                                                                                                \
    QS_MOSRIK_EXPORT void prefix##MotionEstimateSearch_FieldSearch_Field(const void* p, const uint16_t* s,           \
                                                                          int32_t x, int32_t y, int32_t parity,      \
                                                                          quillset::TMotionSearchResult* r) {        \
        quillset::mosrik::PackageMotionEstimateField(p, s, x, y, parity, r);                                         \
    }
