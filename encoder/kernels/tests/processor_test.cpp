// Processor features from CPUID reports, the requirement rules, the set selection, the CPU mask
// and the memory helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/kernels/processor.h"

namespace quillset::testing {
namespace {

constexpr uint32_t kEdxMmx = 1u << 23, kEdxSse = 1u << 25, kEdxSse2 = 1u << 26, kEdxHtt = 1u << 28;
constexpr uint32_t kEcxSse3 = 1u << 0, kEcxAvx = 1u << 28, kExtMmxExt = 1u << 22, kExt3DNowExt = 1u << 30,
                   kExt3DNow = 1u << 31;

TCpuIdReport Report(const char* vendor, uint32_t signature, uint32_t edx, uint32_t ecx = 0, uint32_t ext = 0) {
    TCpuIdReport r;
    r.HasCpuId = true;
    r.MaxLeaf = 7;
    std::memcpy(r.Vendor, vendor, std::min<size_t>(std::strlen(vendor), 12)); // Vendor[12] stays 0
    r.Signature = signature;
    r.Leaf1Edx = edx;
    r.Leaf1Ecx = ecx;
    r.ExtendedEdx = ext;
    r.SseExecutes = true;
    r.Sse2Executes = true;
    return r;
}

struct TFeatureCase {
    const char* Name;
    TCpuIdReport Report;
    TProcessorFeatures Expected;
    TKernelSet Set;
};

TEST(ProcessorFeatures, DerivedFromCpuIdWithTheRequirementRules) {
    TCpuIdReport osWithoutSse = Report("GenuineIntel", 0x673, kEdxMmx | kEdxSse);
    osWithoutSse.SseExecutes = false;
    TCpuIdReport noCpuId;
    TCpuIdReport avx2 = Report("GenuineIntel", 0x906EA, kEdxMmx | kEdxSse | kEdxSse2, kEcxSse3 | kEcxAvx);
    avx2.Leaf7Ebx = 1u << 5;
    avx2.OsSavesYmm = true;
    TCpuIdReport avx2WithoutOs = avx2;
    avx2WithoutOs.OsSavesYmm = false;
    const TFeatureCase cases[] = {
        {"no CPUID", noCpuId, 0, TKernelSet::NormalAsm},
        {"Pentium MMX", Report("GenuineIntel", 0x543, kEdxMmx), 0x01, TKernelSet::MMX},
        {"Pentium III", Report("GenuineIntel", 0x673, kEdxMmx | kEdxSse), 0x07, TKernelSet::SSE},
        {"SSE not enabled by the system", osWithoutSse, 0x03, TKernelSet::MMX2_Pentium3},
        {"Pentium 4", Report("GenuineIntel", 0xF29, kEdxMmx | kEdxSse | kEdxSse2), 0x0F, TKernelSet::SSE2_Pentium4},
        {"Prescott", Report("GenuineIntel", 0xF41, kEdxMmx | kEdxSse | kEdxSse2, kEcxSse3), 0x1F,
         TKernelSet::SSE2_Pentium4},
        {"K6-2", Report("AuthenticAMD", 0x58C, kEdxMmx, 0, kExt3DNow), 0x21, TKernelSet::ThreeDNow},
        {"Athlon", Report("AuthenticAMD", 0x642, kEdxMmx, 0, kExtMmxExt | kExt3DNow | kExt3DNowExt), 0x63,
         TKernelSet::MMX2_Pentium3},
        {"Athlon 0x662 never uses SSE", Report("AuthenticAMD", 0x662, kEdxMmx | kEdxSse | kEdxSse2, kEcxSse3, kExt3DNow),
         0x23, TKernelSet::MMX2_Pentium3},
        {"other vendor with 0x662", Report("GenuineIntel", 0x662, kEdxMmx | kEdxSse), 0x07, TKernelSet::SSE},
        {"MMX2 without MMX", Report("Emulator", 0x600, 0, 0, kExtMmxExt), 0x00, TKernelSet::NormalAsm},
        {"extended 3DNow! without MMX2", Report("AuthenticAMD", 0x600, kEdxMmx, 0, kExt3DNow | kExt3DNowExt), 0x21,
         TKernelSet::ThreeDNow},
        {"AVX2", avx2, 0x9F, TKernelSet::SSE2_Pentium4},
        {"AVX2 without system support", avx2WithoutOs, 0x1F, TKernelSet::SSE2_Pentium4},
    };
    for (const TFeatureCase& c : cases) {
        const TProcessorFeatures features = DeriveProcessorFeatures(c.Report);
        EXPECT_EQ(features, c.Expected) << c.Name;
        EXPECT_EQ(SelectKernelSet(features), c.Set) << c.Name;
    }
}

// The rule tests each flag against the raw set, not against flags already removed.
TEST(ProcessorFeatures, RequirementsAreTestedAgainstTheRawSet) {
    EXPECT_EQ(ApplyFeatureRequirements(0x0E), 0x00); // no MMX: MMX2, SSE, SSE2 all go
    EXPECT_EQ(ApplyFeatureRequirements(0x0B), 0x03); // SSE2 without SSE goes, MMX2 stays
    EXPECT_EQ(ApplyFeatureRequirements(0x41), 0x01); // extended 3DNow! needs 3DNow! and MMX2
    EXPECT_EQ(ApplyFeatureRequirements(0x87), 0x07); // AVX2 needs SSE2
    EXPECT_EQ(ApplyFeatureRequirements(0xFF), 0xFF);
}

TEST(ProcessorFeatures, HyperThreadingNeedsTheFlagAndSeveralLogicalProcessors) {
    TCpuIdReport r = Report("GenuineIntel", 0xF29, kEdxMmx | kEdxHtt);
    r.Leaf1Ebx = 2u << 16;
    EXPECT_TRUE(DeriveHyperThreading(r));
    r.Leaf1Ebx = 1u << 16;
    EXPECT_FALSE(DeriveHyperThreading(r));
    r.Leaf1Ebx = 2u << 16;
    r.Leaf1Edx = kEdxMmx;
    EXPECT_FALSE(DeriveHyperThreading(r));
}

TEST(ProcessorFeatures, CpuMaskParsing) {
    EXPECT_EQ(ParseCpuMask(nullptr), 0xFF);
    EXPECT_EQ(ParseCpuMask(""), 0xFF);
    EXPECT_EQ(ParseCpuMask("0x0F"), 0x0F);
    EXPECT_EQ(ParseCpuMask("7"), 0x07);
    EXPECT_EQ(ParseCpuMask("0"), 0x00);
    EXPECT_EQ(ParseCpuMask("sse2"), 0xFF);
    EXPECT_EQ(ParseCpuMask("0x1FF"), 0xFF);
    EXPECT_EQ(ParseCpuMask("12abc"), 0xFF);
}

TEST(ProcessorState, DetectedOnceAndConsistent) {
    DetectProcessor();
    const TProcessorFeatures features = ActiveFeatures();
    EXPECT_EQ(ApplyFeatureRequirements(features), features);
    EXPECT_GE(ProcessorCount(), 1);
    DetectProcessor();
    EXPECT_EQ(ActiveFeatures(), features);
#if defined(__x86_64__)
    if (std::getenv("QUILLSET_CPU_MASK") == nullptr) {
        EXPECT_EQ(features & 0x0F, 0x0F) << "x86-64 always has MMX to SSE2";
    }
#endif
}

TEST(MemoryHelpers, AlignedBlocksHaveSlackAfterThem) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{31}, size_t{32}, size_t{1000}}) {
        auto* block = static_cast<uint8_t*>(AllocAligned(size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 32, 0u) << size;
        std::memset(block, 0x5A, size + 96); // the sanitizer objects to any byte beyond the block
        FreeAligned(block);
    }
    FreeAligned(nullptr);
}

TEST(MemoryHelpers, FastFillAndFastMove) {
    std::vector<uint8_t> buffer(100);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<uint8_t>(i);
    FastFill(buffer.data(), 0, 0xFF);
    FastFill(buffer.data(), -5, 0xFF);
    EXPECT_EQ(buffer[0], 0);
    FastFill(buffer.data() + 10, 40, 0xFF);
    EXPECT_EQ(buffer[9], 9);
    EXPECT_EQ(buffer[10], 0xFF);
    EXPECT_EQ(buffer[49], 0xFF);
    EXPECT_EQ(buffer[50], 50);

    // Overlapping, destination inside the source range above it: an overlap-safe move.
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<uint8_t>(i);
    FastMove(buffer.data(), buffer.data() + 10, 60);
    for (int i = 0; i < 60; ++i)
        ASSERT_EQ(buffer[static_cast<size_t>(10 + i)], i);
    // Destination below the source.
    FastMove(buffer.data() + 10, buffer.data(), 60);
    for (int i = 0; i < 60; ++i)
        ASSERT_EQ(buffer[static_cast<size_t>(i)], i);
    FastMove(buffer.data(), buffer.data() + 1, 0);
    EXPECT_EQ(ClampToByte(-1), 0);
    EXPECT_EQ(ClampToByte(256), 255);
    EXPECT_EQ(ClampToByte(77), 77);
}

} // namespace
} // namespace quillset::testing
