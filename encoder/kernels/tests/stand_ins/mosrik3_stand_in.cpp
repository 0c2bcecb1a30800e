// Stand-in for the Mosrik3 motion-search package. It lacks the RGB search entry, as an older
// package would, to show that a missing entry leaves its slot empty.
#include "stand_in_common.h"

namespace {
constexpr int32_t kPackage = 3;
__attribute__((destructor)) void Unloaded() { Emit("Mosrik3 unload"); }
} // namespace

QS_STAND_IN_EXPORT void P3_Initialize() { ++initializeCount; }
QS_STAND_IN_EXPORT void P3_Finalize() { Emit("Mosrik3 Finalize"); }
QS_STAND_IN_EXPORT void P3_FastSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 118); }
QS_STAND_IN_EXPORT void P3_FastSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 119); }
QS_STAND_IN_EXPORT void P3_FastSearch_FieldSearch_Field(const void*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 120); }
QS_STAND_IN_EXPORT void P3_FastZoomSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 121); }
QS_STAND_IN_EXPORT void P3_FastZoomSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 122); }
QS_STAND_IN_EXPORT void P3_FastZoomSearch_FieldSearch_Field(const void*, const uint16_t*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 123); }
QS_STAND_IN_EXPORT void P3_ZoomSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 124); }
QS_STAND_IN_EXPORT void P3_ZoomSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 125); }
QS_STAND_IN_EXPORT void P3_ZoomSearch_FieldSearch_Field(const void*, const uint16_t*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 126); }
QS_STAND_IN_EXPORT void P3_MotionEstimateSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 128); }
QS_STAND_IN_EXPORT void P3_MotionEstimateSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 129); }
QS_STAND_IN_EXPORT void P3_MotionEstimateSearch_FieldSearch_Field(const void*, const uint16_t*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 130); }
