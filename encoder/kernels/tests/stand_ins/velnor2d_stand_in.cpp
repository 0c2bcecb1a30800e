// Stand-in for the Velnor2D noise reduction plug-in: marks the picture and reports its last row.
#include "stand_in_common.h"

namespace {
__attribute__((destructor)) void Unloaded() { Emit("Velnor2D unload"); }
} // namespace

QS_STAND_IN_EXPORT void NoiseReduction2DPluginDLL(uint8_t* destination, const uint8_t*, int32_t, int32_t, int32_t,
                                                  int32_t height, int32_t, void (*progress)(int32_t, void*),
                                                  void* context) {
    destination[0] = 2;
    if (progress != nullptr && context != nullptr)
        progress(height - 1, context);
}
