// The kernel check: each processor step (SSE2, then AVX2 on top of it) against the reference,
// slot by slot. QUILLSET_KERNEL_SEED sets the base seed (decimal or 0x hex) to replay a failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/kernels/kernel_slots.h"
#include "encoder/kernels/tests/kernel_check.h"

namespace quillset::testing {
namespace {

struct TStep {
    const char* Name;
    TProcessorFeatures Features; // features that enable the step and those below it
    TProcessorFeatures Below;    // features of the step it is applied on
};

constexpr TStep kSteps[] = {
    {"SSE2", ProcessorFeature_SSE2, 0},
    {"AVX2", ProcessorFeature_SSE2 | ProcessorFeature_AVX2, ProcessorFeature_SSE2},
};

uint32_t BaseSeed() {
    const char* text = std::getenv("QUILLSET_KERNEL_SEED");
    return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 0)) : 0x5EED1180u;
}

TKernelTable TableWith(TProcessorFeatures features) {
    TKernelTable table;
    MPEGEncoder_FuncSet_Normal(table);
    FillProcessorKernels(table, features);
    return table;
}

class KernelCheck : public ::testing::TestWithParam<TStep> {};

TEST_P(KernelCheck, EveryReplacedSlotMatchesTheReference) {
    const TStep step = GetParam();
    if (!ProcessorKernelsBuilt())
        GTEST_SKIP() << "this build has no processor-specific kernels";
    if ((ActiveFeatures() & step.Features) != step.Features)
        GTEST_SKIP() << "this processor cannot run the " << step.Name << " kernels";
    TCheckerMap checkers;
    AddBlockCheckers(checkers);
    AddCodingCheckers(checkers);
    AddPictureCheckers(checkers);

    TKernelTable reference;
    MPEGEncoder_FuncSet_Normal(reference);
    const TKernelTable below = TableWith(step.Below), tested = TableWith(step.Features);
    const uint32_t base = BaseSeed();
    int replaced = 0;
    for (int slot = 0; slot < kKernelSlotCount; ++slot) {
        if (SlotWord(below, slot) == SlotWord(tested, slot))
            continue;
        ++replaced;
        EXPECT_FALSE(IsKernelFlagSlot(slot)) << "a processor step changed flag slot " << slot;
        const auto checker = checkers.find(slot);
        if (checker == checkers.end()) {
            ADD_FAILURE() << "slot " << slot << " " << KernelSlotName(slot) << " is replaced by " << step.Name
                          << " but has no checker";
            continue;
        }
        const uint32_t seed = base ^ (0x9E3779B9u * static_cast<uint32_t>(slot + 1));
        std::ostringstream label;
        label << "slot " << slot << " " << KernelSlotName(slot) << ", set " << step.Name << ", seed 0x" << std::hex
              << seed << " (QUILLSET_KERNEL_SEED=0x" << base << ")";
        TCheckRun run(label.str(), seed);
        checker->second(reference, tested, run);
    }
    EXPECT_GT(replaced, 0) << step.Name << " replaces no slot";
}

INSTANTIATE_TEST_SUITE_P(Steps, KernelCheck, ::testing::ValuesIn(kSteps),
                         [](const ::testing::TestParamInfo<TStep>& step) { return std::string(step.param.Name); });

} // namespace
} // namespace quillset::testing
