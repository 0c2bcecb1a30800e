// Velnor2D.so: the spatial noise reduction library and its exported C entries.
//
// The library creates its one filter object when it is loaded into the process and frees it when
// unloaded. The entries report nothing: without a filter object they do nothing.
#include <new>

#include "plugins/nr2d/noise_reduction_interface.h"
#include "plugins/nr2d/spatial_filter.h"

#define QS_NR_EXPORT extern "C" __attribute__((visibility("default")))

namespace quillset::noise_reduction {
namespace {

TSpatialFilter* filterObject = nullptr;

__attribute__((constructor)) void AttachToProcess() {
    filterObject = new (std::nothrow) TSpatialFilter(SelectFilterPath());
}

__attribute__((destructor)) void DetachFromProcess() {
    delete filterObject;
    filterObject = nullptr;
}

} // namespace
} // namespace quillset::noise_reduction

using namespace quillset::noise_reduction;

QS_NR_EXPORT void NoiseReduction2DPluginDLL(uint8_t* destination, const uint8_t* source, int32_t strength,
                                            int32_t radius, int32_t width, int32_t height, int32_t fieldMode,
                                            TNoiseReductionProgress progress, void* context) noexcept {
    if (filterObject == nullptr)
        return;
    filterObject->Run(destination, source, strength, radius, width, height, fieldMode,
                      TProgressReport{progress, context});
}

QS_NR_EXPORT int32_t Process(const TNoiseReductionCommand* command, TNoiseReductionReply* reply) noexcept {
    if (filterObject == nullptr)
        return AnswerUnavailable(command, reply);
    TSpatialFilter& filter = *filterObject;
    return filter.Host().Dispatch(command, reply, [&filter](const TNoiseReductionCommand& exec, int32_t width,
                                                            int32_t height) {
        const THostSettings& s = filter.Host().Settings();
        return filter.Run(exec.Destination, exec.Source, s.Strength, s.Radius, width, height, s.FieldMode,
                          TProgressReport{});
    });
}
