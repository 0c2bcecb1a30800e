// Shared parts of the stand-in libraries that play the motion-search packages and noise
// reduction plug-ins in the binding tests. Each entry identifies itself in what it writes, and
// start-up, shutdown and unloading are reported to an event sink the test installs.
#pragma once

#include <cstdint>

#define QS_STAND_IN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using TEventSink = void (*)(const char* event);
TEventSink eventSink = nullptr;
int initializeCount = 0;

void Emit(const char* event) {
    if (eventSink != nullptr)
        eventSink(event);
}

// The value a search entry writes into its result: package number * 1000 + slot.
void Answer(void* result, int32_t package, int32_t slot) { static_cast<int32_t*>(result)[0] = package * 1000 + slot; }

} // namespace

QS_STAND_IN_EXPORT void StandIn_SetEventSink(TEventSink sink) { eventSink = sink; }
QS_STAND_IN_EXPORT int StandIn_InitializeCount() { return initializeCount; }
