#include "encoder/kernels/processor.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define QS_HAVE_CPUID 1
#endif

namespace quillset {

TProcessorFeatures ApplyFeatureRequirements(TProcessorFeatures raw) {
    TProcessorFeatures result = raw;
    for (int i = 0; i < 8; ++i) {
        const auto flag = static_cast<TProcessorFeatures>(1u << i);
        const TProcessorFeatures mask = ProcessorFeatureRequirements[i];
        if ((raw & flag) != 0 && (raw & mask) != mask)
            result = static_cast<TProcessorFeatures>(result & ~flag);
    }
    return result;
}

namespace {
constexpr bool Bit(uint32_t word, int bit) { return ((word >> bit) & 1u) != 0; }
} // namespace

TProcessorFeatures DeriveProcessorFeatures(const TCpuIdReport& r) {
    if (!r.HasCpuId || r.MaxLeaf < 1)
        return 0;
    unsigned raw = 0;
    if (Bit(r.Leaf1Edx, 23))
        raw |= ProcessorFeature_MMX;
    if (Bit(r.Leaf1Edx, 25) || Bit(r.Leaf1Edx, 26) || Bit(r.Leaf1Ecx, 0) || Bit(r.ExtendedEdx, 22))
        raw |= ProcessorFeature_MMX2;
    if (Bit(r.Leaf1Edx, 25) && r.SseExecutes)
        raw |= ProcessorFeature_SSE;
    if (Bit(r.Leaf1Edx, 26) && r.Sse2Executes)
        raw |= ProcessorFeature_SSE2;
    if (Bit(r.Leaf1Ecx, 0) && r.SseExecutes)
        raw |= ProcessorFeature_SSE3;
    if (Bit(r.ExtendedEdx, 31))
        raw |= ProcessorFeature_3DNow;
    if (Bit(r.ExtendedEdx, 30))
        raw |= ProcessorFeature_3DNowExt;
    // AVX2 needs AVX (leaf 1 ECX bit 28), leaf 7 EBX bit 5 and the operating system's YMM support.
    if (Bit(r.Leaf1Ecx, 28) && Bit(r.Leaf7Ebx, 5) && r.OsSavesYmm)
        raw |= ProcessorFeature_AVX2;
    TProcessorFeatures features = ApplyFeatureRequirements(static_cast<TProcessorFeatures>(raw));
    // This processor model reports SSE but must not use it.
    if (std::strcmp(r.Vendor, "AuthenticAMD") == 0 && r.Signature == 0x662)
        features = ApplyFeatureRequirements(static_cast<TProcessorFeatures>(features & ~ProcessorFeature_SSE));
    return features;
}

bool DeriveHyperThreading(const TCpuIdReport& r) {
    return r.HasCpuId && r.MaxLeaf >= 1 && Bit(r.Leaf1Edx, 28) && ((r.Leaf1Ebx >> 16) & 0xFF) > 1;
}

#ifdef QS_HAVE_CPUID
namespace {
// XGETBV without requiring the compiler's XSAVE target flag; only run when OSXSAVE is reported.
uint64_t ReadXcr0() {
    uint32_t eax, edx;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return (uint64_t{edx} << 32) | eax;
}
} // namespace
#endif

TCpuIdReport ReadCpuId() {
    TCpuIdReport r;
#ifdef QS_HAVE_CPUID
    unsigned eax, ebx, ecx, edx;
    // On 32-bit processors this also tests that the instruction exists (flags bit 21).
    r.MaxLeaf = __get_cpuid_max(0, nullptr);
#if defined(__x86_64__)
    r.HasCpuId = true;
#else
    r.HasCpuId = r.MaxLeaf != 0;
#endif
    if (!r.HasCpuId)
        return r;
    __cpuid(0, eax, ebx, ecx, edx);
    std::memcpy(r.Vendor, &ebx, 4);
    std::memcpy(r.Vendor + 4, &edx, 4);
    std::memcpy(r.Vendor + 8, &ecx, 4);
    if (r.MaxLeaf < 1)
        return r;
    __cpuid(1, eax, ebx, ecx, edx);
    r.Signature = eax;
    r.Leaf1Ebx = ebx;
    r.Leaf1Ecx = ecx;
    r.Leaf1Edx = edx;
    // The extended leaf is read only when the processor has it; an absent leaf returns other data.
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx))
        r.ExtendedEdx = edx;
    if (r.MaxLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        r.Leaf7Ebx = ebx;
    }
    if (Bit(r.Leaf1Ecx, 27)) // OSXSAVE
        r.OsSavesYmm = (ReadXcr0() & 0x6) == 0x6;
#if defined(__x86_64__)
    // The 64-bit architecture includes SSE and SSE2, and the operating system enables them.
    r.SseExecutes = true;
    r.Sse2Executes = true;
#else
    r.SseExecutes = Bit(r.Leaf1Edx, 25);
    r.Sse2Executes = Bit(r.Leaf1Edx, 26);
#endif
#endif
    return r;
}

TProcessorFeatures ParseCpuMask(const char* text) {
    if (text == nullptr || *text == '\0')
        return 0xFF;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || value > 0xFF)
        return 0xFF;
    return static_cast<TProcessorFeatures>(value);
}

namespace {

struct TProcessorState {
    TProcessorFeatures Features = 0;
    int32_t Count = 1;
    bool HyperThreading = false;
};

const TProcessorState& State() {
    static const TProcessorState state = [] {
        TProcessorState s;
        const TCpuIdReport report = ReadCpuId();
        const TProcessorFeatures mask = ParseCpuMask(std::getenv("QUILLSET_CPU_MASK"));
        s.Features = ApplyFeatureRequirements(static_cast<TProcessorFeatures>(DeriveProcessorFeatures(report) & mask));
        s.HyperThreading = DeriveHyperThreading(report);
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        s.Count = online > 0 ? static_cast<int32_t>(online) : 1;
        return s;
    }();
    return state;
}

} // namespace

void DetectProcessor() { (void)State(); }
TProcessorFeatures ActiveFeatures() { return State().Features; }
int32_t ProcessorCount() { return State().Count; }
bool HyperThreading() { return State().HyperThreading; }

void FastFill(void* destination, int32_t count, uint8_t value) {
    if (count >= 1)
        std::memset(destination, value, static_cast<size_t>(count));
}

void FastMove(const void* source, void* destination, int32_t count) {
    if (count >= 1)
        std::memmove(destination, source, static_cast<size_t>(count));
}

} // namespace quillset
