// Stand-in for the Mosrik4 motion-search package, with every entry.
#include "stand_in_common.h"

namespace {
constexpr int32_t kPackage = 4;
__attribute__((destructor)) void Unloaded() { Emit("Mosrik4 unload"); }
} // namespace

QS_STAND_IN_EXPORT void P4_Initialize() { ++initializeCount; }
QS_STAND_IN_EXPORT void P4_Finalize() { Emit("Mosrik4 Finalize"); }
QS_STAND_IN_EXPORT void P4_FastSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 118); }
QS_STAND_IN_EXPORT void P4_FastSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 119); }
QS_STAND_IN_EXPORT void P4_FastSearch_FieldSearch_Field(const void*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 120); }
QS_STAND_IN_EXPORT void P4_FastZoomSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 121); }
QS_STAND_IN_EXPORT void P4_FastZoomSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 122); }
QS_STAND_IN_EXPORT void P4_FastZoomSearch_FieldSearch_Field(const void*, const uint16_t*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 123); }
QS_STAND_IN_EXPORT void P4_ZoomSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 124); }
QS_STAND_IN_EXPORT void P4_ZoomSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 125); }
QS_STAND_IN_EXPORT void P4_ZoomSearch_FieldSearch_Field(const void*, const uint16_t*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 126); }
QS_STAND_IN_EXPORT void P4_RGBZoomSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 127); }
QS_STAND_IN_EXPORT void P4_MotionEstimateSearch_FrameSearch(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 128); }
QS_STAND_IN_EXPORT void P4_MotionEstimateSearch_FieldSearch_Frame(const void*, int32_t, int32_t, void* r) { Answer(r, kPackage, 129); }
QS_STAND_IN_EXPORT void P4_MotionEstimateSearch_FieldSearch_Field(const void*, const uint16_t*, int32_t, int32_t, int32_t, void* r) { Answer(r, kPackage, 130); }
