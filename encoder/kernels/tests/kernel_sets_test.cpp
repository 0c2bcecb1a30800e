// The kernel sets: what each fills, what they leave empty, and that tables are plain values.
#include <gtest/gtest.h>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/kernels/kernel_slots.h"
#include "encoder/kernels/tests/kernel_test_support.h"

namespace quillset::testing {
namespace {

TEST(KernelSets, NormalFillsEveryReferenceSlotAndNothingElse) {
    TKernelTable table;
    std::memset(static_cast<void*>(&table), 0x5A, sizeof(table)); // filling must clear old content
    MPEGEncoder_FuncSet_Normal(table);
    for (int slot = 0; slot < kKernelSlotCount; ++slot) {
        const bool empty = slot == 23 || slot >= 118 || IsKernelFlagSlot(slot);
        EXPECT_EQ(SlotWord(table, slot) == 0, empty) << "slot " << slot << " " << KernelSlotName(slot);
    }
}

TEST(KernelSets, PlainChainsAddNoKernelsAndFlagsBelongToTheSseSets) {
    TKernelTable normal, asmSet, mmx, mmx2, threeDNow;
    MPEGEncoder_FuncSet_Normal(normal);
    MPEGEncoder_FuncSet_NormalAsm(asmSet);
    MPEGEncoder_FuncSet_MMX(mmx);
    MPEGEncoder_FuncSet_MMX2(mmx2);
    MPEGEncoder_FuncSet_3DNow(threeDNow);
    for (const TKernelTable* t : {&asmSet, &mmx, &mmx2, &threeDNow})
        for (int slot = 0; slot < kKernelSlotCount; ++slot)
            EXPECT_EQ(SlotWord(*t, slot), SlotWord(normal, slot)) << "slot " << slot;
}

TEST(KernelSets, ProcessorKernelsNeedSse2) {
    TKernelTable normal, table;
    MPEGEncoder_FuncSet_Normal(normal);
    MPEGEncoder_FuncSet_Normal(table);
    FillProcessorKernels(table, ProcessorFeature_MMX | ProcessorFeature_MMX2 | ProcessorFeature_SSE);
    for (int slot = 0; slot < kKernelSlotCount; ++slot)
        EXPECT_EQ(SlotWord(table, slot), SlotWord(normal, slot)) << "slot " << slot;
}

TEST(KernelSets, SelectionOrder) {
    EXPECT_EQ(SelectKernelSet(0xFF), TKernelSet::SSE2_Pentium4);
    EXPECT_EQ(SelectKernelSet(0x27), TKernelSet::SSE);
    EXPECT_EQ(SelectKernelSet(0x23), TKernelSet::MMX2_Pentium3);
    EXPECT_EQ(SelectKernelSet(0x21), TKernelSet::ThreeDNow);
    EXPECT_EQ(SelectKernelSet(0x01), TKernelSet::MMX);
    EXPECT_EQ(SelectKernelSet(0x00), TKernelSet::NormalAsm);
}

TEST(KernelSets, SlotNames) {
    EXPECT_STREQ(KernelSlotName(0), "ClearKernelState");
    EXPECT_STREQ(KernelSlotName(4), "Sad16x16HV");
    EXPECT_STREQ(KernelSlotName(23), "");
    EXPECT_STREQ(KernelSlotName(58), "UseFloatLevelBound");
    EXPECT_STREQ(KernelSlotName(91), "Rgb24ToYuv420");
    EXPECT_STREQ(KernelSlotName(132), "NoiseReduction3DPluginDLL");
    EXPECT_STREQ(KernelSlotName(133), "");
}

} // namespace
} // namespace quillset::testing
