// Stand-in for the Velnor3D noise reduction plug-in: marks the picture and returns the height.
#include "stand_in_common.h"

namespace {
__attribute__((destructor)) void Unloaded() { Emit("Velnor3D unload"); }
} // namespace

QS_STAND_IN_EXPORT int32_t NoiseReduction3DPluginDLL(uint8_t* destination, const uint8_t*, const uint8_t*,
                                                     const uint8_t*, int32_t, int32_t, int32_t, int32_t height,
                                                     int32_t, void (*)(int32_t, void*), void*) {
    destination[0] = 3;
    return height;
}
