#include "encoder/kernels/kernel_sets.h"

#include <cstring>

#include "encoder/kernels/kernel_libraries.h"
#include "encoder/kernels/reference/reference_kernels.h"

#if QS_KERNELS_X86
#include "encoder/kernels/x86/x86_kernels.h"
#endif

namespace quillset {

// Every byte of the 133 slots is cleared, including those after the flag bytes.
void MPEGEncoder_FuncSet_Normal(TKernelTable& table) {
    std::memset(static_cast<void*>(&table), 0, sizeof(table));
    reference::FillReferenceKernels(table);
}

void MPEGEncoder_FuncSet_NormalAsm(TKernelTable& table) { MPEGEncoder_FuncSet_Normal(table); }

void MPEGEncoder_FuncSet_MMX(TKernelTable& table) { MPEGEncoder_FuncSet_NormalAsm(table); }

void MPEGEncoder_FuncSet_MMX2(TKernelTable& table) { MPEGEncoder_FuncSet_MMX(table); }

void MPEGEncoder_FuncSet_MMX2_Pentium3(TKernelTable& table) {
    MPEGEncoder_FuncSet_MMX2(table);
    BindMotionSearchPackage(TKernelLibrary::Mosrik3, table);
}

void MPEGEncoder_FuncSet_SSE(TKernelTable& table) {
    MPEGEncoder_FuncSet_MMX2_Pentium3(table);
    table.UseFloatLevelBound = 1;
    table.UseFloatQuantize = 1;
    table.UseFloatDequantIntraMpeg1 = 1;
    table.UseFloatDequantIntraMpeg2 = 1;
    table.UseFloatDequantInterMpeg1 = 1;
    table.UseFloatDequantInterMpeg2 = 1;
}

void MPEGEncoder_FuncSet_SSE2(TKernelTable& table) {
    MPEGEncoder_FuncSet_SSE(table);
    FillProcessorKernels(table, ActiveFeatures());
}

void MPEGEncoder_FuncSet_SSE2_Pentium4(TKernelTable& table) {
    MPEGEncoder_FuncSet_SSE2(table);
    BindMotionSearchPackage(TKernelLibrary::Mosrik4, table);
    BindNoiseReductionPlugins(table);
}

void MPEGEncoder_FuncSet_3DNow(TKernelTable& table) { MPEGEncoder_FuncSet_MMX(table); }

TKernelSet SelectKernelSet(TProcessorFeatures features) {
    if (features & ProcessorFeature_SSE2)
        return TKernelSet::SSE2_Pentium4;
    if (features & ProcessorFeature_SSE)
        return TKernelSet::SSE;
    if (features & ProcessorFeature_MMX2)
        return TKernelSet::MMX2_Pentium3;
    if (features & ProcessorFeature_3DNow)
        return TKernelSet::ThreeDNow;
    if (features & ProcessorFeature_MMX)
        return TKernelSet::MMX;
    return TKernelSet::NormalAsm;
}

void FillKernelTableWithSet(TKernelTable& table, TKernelSet set) {
    switch (set) {
    case TKernelSet::Normal: MPEGEncoder_FuncSet_Normal(table); break;
    case TKernelSet::NormalAsm: MPEGEncoder_FuncSet_NormalAsm(table); break;
    case TKernelSet::MMX: MPEGEncoder_FuncSet_MMX(table); break;
    case TKernelSet::MMX2: MPEGEncoder_FuncSet_MMX2(table); break;
    case TKernelSet::MMX2_Pentium3: MPEGEncoder_FuncSet_MMX2_Pentium3(table); break;
    case TKernelSet::SSE: MPEGEncoder_FuncSet_SSE(table); break;
    case TKernelSet::SSE2: MPEGEncoder_FuncSet_SSE2(table); break;
    case TKernelSet::SSE2_Pentium4: MPEGEncoder_FuncSet_SSE2_Pentium4(table); break;
    case TKernelSet::ThreeDNow: MPEGEncoder_FuncSet_3DNow(table); break;
    }
}

void FillKernelTable(TKernelTable& table) { FillKernelTableWithSet(table, SelectKernelSet(ActiveFeatures())); }

bool ProcessorKernelsBuilt() {
#if QS_KERNELS_X86
    return true;
#else
    return false;
#endif
}

void FillProcessorKernels(TKernelTable& table, TProcessorFeatures features) {
#if QS_KERNELS_X86
    if (!(features & ProcessorFeature_SSE2))
        return;
    x86::FillSse2Kernels(table);
    if (!(features & ProcessorFeature_AVX2))
        return;
    x86::FillAvx2Kernels(table);
#else
    (void)table;
    (void)features;
#endif
}

} // namespace quillset
