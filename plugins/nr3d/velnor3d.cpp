// Velnor3D.so: the temporal noise reduction library and its exported C entries.
//
// The library creates its one filter object when it is loaded into the process and frees it when
// unloaded. The entries report nothing: without a filter object they do nothing.
#include <new>

#include "plugins/nr2d/noise_reduction_interface.h"
#include "plugins/nr3d/temporal_filter.h"

#define QS_NR_EXPORT extern "C" __attribute__((visibility("default")))

namespace quillset::noise_reduction {
namespace {

TTemporalFilter* filterObject = nullptr;

__attribute__((constructor)) void AttachToProcess() {
    filterObject = new (std::nothrow) TTemporalFilter(SelectFilterPath());
}

__attribute__((destructor)) void DetachFromProcess() {
    delete filterObject;
    filterObject = nullptr;
}

} // namespace
} // namespace quillset::noise_reduction

using namespace quillset::noise_reduction;

// Returns the height, as callers expect; 0 when nothing could be filtered (no filter object, no
// working memory, no current picture). An empty picture returns its height at once.
QS_NR_EXPORT int32_t NoiseReduction3DPluginDLL(uint8_t* destination, const uint8_t* current, const uint8_t* previous,
                                               const uint8_t* next, int32_t strength, int32_t temporal, int32_t width,
                                               int32_t height, int32_t fieldMode, TNoiseReductionProgress progress,
                                               void* context) noexcept {
    (void)temporal; // accepted and ignored
    if (filterObject == nullptr)
        return 0;
    if (height < 1 || width < 1)
        return height;
    return filterObject->Run(destination, current, previous, next, strength, width, height, fieldMode,
                             TProgressReport{progress, context});
}

QS_NR_EXPORT int32_t Process(const TNoiseReductionCommand* command, TNoiseReductionReply* reply) noexcept {
    if (filterObject == nullptr)
        return AnswerUnavailable(command, reply);
    TTemporalFilter& filter = *filterObject;
    return filter.Host().Dispatch(command, reply, [&filter](const TNoiseReductionCommand& exec, int32_t width,
                                                            int32_t height) {
        const uint8_t* current = exec.Source != nullptr ? exec.Source : exec.Destination;
        return filter.Run(exec.Destination, current, exec.Previous, exec.Next, filter.Host().Settings().Strength,
                          width, height, filter.Host().Settings().FieldMode, TProgressReport{});
    });
}
