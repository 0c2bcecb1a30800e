// Kernel benchmarks. Each replaced slot is timed with the reference set ("Reference") and with
// every processor step that replaces it ("SSE2", "AVX2" on top of SSE2). In-place kernels
// restore their 64-value input before each call; the copy is part of every set's time.
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "encoder/kernels/aligned_memory.h"
#include "encoder/kernels/color_conversion.h"
#include "encoder/kernels/kernel_sets.h"
#include "encoder/kernels/kernel_slots.h"

namespace quillset {
namespace {

using TRunner = std::function<void(const TKernelTable&, benchmark::State&)>;

// Picture-like inputs: a 720 x 576 plane with slack, random content.
struct TInputs {
    static constexpr int kPitch = 720, kRows = 576;
    TInputs() : rng(42) {
        for (auto* buffer : {&cur, &ref, &dst}) {
            buffer->resize(static_cast<size_t>(kPitch * (kRows + 2)));
            for (uint8_t& v : *buffer)
                v = static_cast<uint8_t>(rng() & 0xFF);
        }
        for (uint16_t& v : sums)
            v = static_cast<uint16_t>(rng() % 4096);
        for (int i = 0; i < 64 * 8; ++i)
            coefficients[i] = static_cast<int16_t>(static_cast<int>(rng() % 4096) - 2048);
        for (int i = 0; i < 64; ++i) {
            pixels[i] = static_cast<int16_t>(static_cast<int>(rng() % 511) - 255);
            levels[i] = static_cast<int16_t>(i % 3 == 0 ? static_cast<int>(rng() % 200) - 100 : 0);
            divisors[i] = 8 * (1 + static_cast<int32_t>(rng() % 112)) * 16;
            offsets[i] = divisors[i] / 3;
            factors[i] = 128.0f / static_cast<float>(divisors[i]);
            floatOffsets[i] = 0.3f;
            multipliers[i] = 16 * (1 + static_cast<int32_t>(rng() % 31));
            dequantFactors[i] = static_cast<float>(multipliers[i]) / 16.0f;
            floats[i] = static_cast<float>(coefficients[i]) + 0.25f;
        }
    }
    std::mt19937 rng;
    std::vector<uint8_t> cur, ref, dst;
    uint16_t sums[64 * 64];
    int16_t coefficients[64 * 8], pixels[64], levels[64];
    int32_t divisors[64], offsets[64], multipliers[64];
    float factors[64], floatOffsets[64], dequantFactors[64], floats[64 * 8];
    uint8_t packed[256];
};

TInputs& Inputs() {
    static TInputs inputs;
    return inputs;
}

constexpr int kPitch = TInputs::kPitch;

template <typename F>
void Loop(benchmark::State& state, F call) {
    for (auto _ : state) {
        call();
        benchmark::ClobberMemory();
    }
}

TRunner Measure(TBlockMeasureKernel TKernelTable::*slot) {
    return [slot](const TKernelTable& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize((t.*slot)(in.cur.data() + 1, in.ref.data() + 3, kPitch)); });
    };
}

TRunner PackedMeasure(TBlockMeasureKernel TKernelTable::*slot) {
    return [slot](const TKernelTable& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize((t.*slot)(in.cur.data(), in.ref.data(), kPitch)); });
    };
}

TRunner SumsMeasure(TSumsMeasureKernel TKernelTable::*slot) {
    return [slot](const TKernelTable& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize((t.*slot)(in.sums + 2, in.sums + 70, 128)); });
    };
}

// The destination starts half a page into its plane: the planes are allocated alike, so at the
// same offset every store would alias the loads of its row modulo 4 KiB, a stall that depends on
// where two buffers happen to lie rather than on the kernel.
TRunner Predict(TPredictKernel TKernelTable::*slot) {
    return [slot](const TKernelTable& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { (t.*slot)(in.dst.data() + 2048, in.ref.data() + 5, kPitch, 16); });
    };
}

TRunner Fetch(TFetchKernel TKernelTable::*slot) {
    return [slot](const TKernelTable& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { (t.*slot)(in.packed, in.ref.data() + 5, kPitch); });
    };
}

TRunner DiffEnergy(TDiffEnergyKernel TKernelTable::*slot) {
    return [slot](const TKernelTable& t, benchmark::State& s) {
        TInputs& in = Inputs();
        int32_t out[2];
        Loop(s, [&] { (t.*slot)(in.cur.data(), in.ref.data(), kPitch, out); });
    };
}

// In-place 64-value kernels: the input is restored before each call.
template <typename Call>
TRunner InPlace(const int16_t* (*source)(), Call call) {
    return [source, call](const TKernelTable& t, benchmark::State& s) {
        int16_t block[64];
        const int16_t* input = source();
        Loop(s, [&] {
            std::memcpy(block, input, sizeof block);
            call(t, block);
            benchmark::DoNotOptimize(block);
        });
    };
}

const int16_t* PixelBlock() { return Inputs().pixels; }
const int16_t* CoefficientBlock() { return Inputs().coefficients; }
const int16_t* LevelBlock() { return Inputs().levels; }

TRunner Dequant(TDequantKernel TKernelTable::*slot) {
    return InPlace(LevelBlock, [slot](const TKernelTable& t, int16_t* b) { (t.*slot)(b, Inputs().multipliers); });
}
TRunner DequantF(TDequantFKernel TKernelTable::*slot) {
    return InPlace(LevelBlock, [slot](const TKernelTable& t, int16_t* b) { (t.*slot)(b, Inputs().dequantFactors); });
}

// A whole 720 x 576 picture through a conversion kernel.
TRunner Conversion(TPixelConversionKernel TKernelTable::*slot, int packedBytes) {
    return [slot, packedBytes](const TKernelTable& t, benchmark::State& s) {
        const int w = 720, h = 576;
        std::vector<uint8_t> packed(static_cast<size_t>(w * packedBytes * h)), y(static_cast<size_t>(w * h)),
            cb(static_cast<size_t>(w * h / 2)), cr(cb.size());
        std::mt19937 rng(7);
        for (uint8_t& v : packed)
            v = static_cast<uint8_t>(rng() & 0xFF);
        const TColorConversionTable& table = StudioRangeConversionTable();
        Loop(s, [&] {
            (t.*slot)(packed.data(), w, h, false, &table, w / 2, w, cr.data(), cb.data(), y.data(), w * packedBytes);
        });
        s.SetItemsProcessed(s.iterations() * w * h);
    };
}

using TRunners = std::map<int, TRunner>;
using T = TKernelTable;

void AddMeasureRunners(TRunners& r) {
    TBlockMeasureKernel T::*const measures[] = {&T::Sad16x16, &T::Sad16x16V, &T::Sad16x16H, &T::Sad16x16HV,
                                                &T::Sad16x8,  &T::Sad16x8V,  &T::Sad16x8H,  &T::Sad16x8HV,
                                                &T::SadRgb16x16};
    for (int i = 0; i < 9; ++i)
        r[1 + i] = Measure(measures[i]);
    r[10] = PackedMeasure(&T::Sad16x16Packed);
    TBlockMeasureKernel T::*const sse[] = {&T::Sse16x16, &T::Sse16x16V, &T::Sse16x16H, &T::Sse16x16HV,
                                           &T::Sse16x8,  &T::Sse16x8V,  &T::Sse16x8H,  &T::Sse16x8HV};
    for (int i = 0; i < 8; ++i)
        r[11 + i] = Measure(sse[i]);
    r[19] = PackedMeasure(&T::Sse16x16Packed);
    r[21] = SumsMeasure(&T::SseSums4x4);
    r[22] = [](const T& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize(t.SseSums4x4Best(in.sums, in.sums + 70, 128, in.sums + 140)); });
    };
    r[24] = SumsMeasure(&T::SseRgbSums4x4);
    r[25] = [](const T& t, benchmark::State& s) {
        Loop(s, [&] { benchmark::DoNotOptimize(t.Sum4x4(Inputs().cur.data() + 3, kPitch)); });
    };
    r[26] = [](const T& t, benchmark::State& s) {
        Loop(s, [&] { benchmark::DoNotOptimize(t.Sum4x2(Inputs().cur.data() + 3, kPitch)); });
    };
    r[28] = [](const T& t, benchmark::State& s) {
        uint16_t out[3];
        Loop(s, [&] { t.SumRgb4x4(Inputs().cur.data() + 3, kPitch, out); });
    };
}

void AddPredictionRunners(TRunners& r) {
    TPredictKernel T::*const predict[] = {
        &T::Predict16,      &T::Predict16V,   &T::Predict16H,    &T::Predict16HV,   &T::Predict8,
        &T::Predict8V,      &T::Predict8H,    &T::Predict8HV,    &T::PredictAvg16,  &T::PredictAvg16V,
        &T::PredictAvg16H,  &T::PredictAvg16HV, &T::PredictAvg8, &T::PredictAvg8V,  &T::PredictAvg8H,
        &T::PredictAvg8HV};
    for (int i = 0; i < 16; ++i)
        r[29 + i] = Predict(predict[i]);
    TFetchKernel T::*const fetch[] = {&T::FetchPacked16x16, &T::FetchPacked16x16V, &T::FetchPacked16x16H,
                                      &T::FetchPacked16x16HV, &T::FetchField16x8, &T::FetchField16x8V,
                                      &T::FetchField16x8H,   &T::FetchField16x8HV};
    for (int i = 0; i < 8; ++i)
        r[45 + i] = Fetch(fetch[i]);
    r[53] = [](const T& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { t.AveragePacked16x16(in.packed, in.cur.data(), in.ref.data()); });
    };
    r[54] = [](const T& t, benchmark::State& s) {
        int32_t out[2];
        Loop(s, [&] { t.SumAndEnergy8x8(Inputs().cur.data(), kPitch, out); });
    };
    r[55] = DiffEnergy(&T::DiffSadEnergy8x8);
    r[56] = DiffEnergy(&T::DiffSadEnergy8x8Packed);
    r[57] = DiffEnergy(&T::DiffSadEnergy8x8Field);
}

void AddCodingRunners(TRunners& r) {
    r[59] = [](const T& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize(t.MaxLevelBound(in.coefficients, in.multipliers, 6)); });
    };
    r[60] = [](const T& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize(t.MaxLevelBoundF(in.coefficients, in.factors, 6)); });
    };
    r[61] = [](const T& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize(t.MaxLevelBoundFloatBlocks(in.floats, in.factors, 6)); });
    };
    r[63] = InPlace(CoefficientBlock, [](const T& t, int16_t* b) {
        benchmark::DoNotOptimize(t.QuantizeBlock(b, Inputs().divisors, Inputs().offsets));
    });
    r[64] = InPlace(CoefficientBlock, [](const T& t, int16_t* b) {
        benchmark::DoNotOptimize(t.QuantizeBlockF(b, Inputs().factors, Inputs().floatOffsets));
    });
    r[65] = InPlace(CoefficientBlock, [](const T& t, int16_t* b) {
        benchmark::DoNotOptimize(t.QuantizeFloatBlock(b, Inputs().floats, Inputs().factors, Inputs().floatOffsets));
    });
    r[67] = Dequant(&T::DequantIntraMpeg1);
    r[68] = DequantF(&T::DequantIntraMpeg1F);
    r[70] = Dequant(&T::DequantIntraMpeg2);
    r[71] = DequantF(&T::DequantIntraMpeg2F);
    r[73] = Dequant(&T::DequantInterMpeg1);
    r[74] = DequantF(&T::DequantInterMpeg1F);
    r[76] = Dequant(&T::DequantInterMpeg2);
    r[77] = DequantF(&T::DequantInterMpeg2F);
    r[80] = [](const T& t, benchmark::State& s) {
        int16_t block[64];
        Loop(s, [&] { t.LoadBlock8x8(block, Inputs().cur.data(), kPitch); });
    };
    r[81] = [](const T& t, benchmark::State& s) {
        int16_t block[64];
        Loop(s, [&] { t.DiffBlock8x8(block, Inputs().cur.data(), Inputs().ref.data(), kPitch); });
    };
    r[82] = [](const T& t, benchmark::State& s) {
        Loop(s, [&] { t.StoreBlock8x8(Inputs().dst.data(), Inputs().coefficients, kPitch); });
    };
    r[83] = [](const T& t, benchmark::State& s) { Loop(s, [&] { t.FillBlock8x8(Inputs().dst.data(), 77, kPitch); }); };
    r[84] = [](const T& t, benchmark::State& s) {
        Loop(s, [&] { t.AddBlock8x8(Inputs().dst.data(), Inputs().pixels, kPitch); });
    };
    r[85] = [](const T& t, benchmark::State& s) { Loop(s, [&] { t.AddDc8x8(Inputs().dst.data(), 9, kPitch); }); };
    r[86] = InPlace(PixelBlock, [](const T& t, int16_t* b) { t.ForwardDct(b); });
    r[87] = InPlace(PixelBlock, [](const T& t, int16_t* b) { t.ForwardDctF(b); });
    r[88] = [](const T& t, benchmark::State& s) {
        float out[64];
        Loop(s, [&] {
            t.ForwardDctToFloat(out, Inputs().pixels);
            benchmark::DoNotOptimize(out);
        });
    };
    r[89] = InPlace(CoefficientBlock, [](const T& t, int16_t* b) { t.InverseDct(b); });
}

void AddPictureRunners(TRunners& r) {
    TPixelConversionKernel T::*const conversions[20] = {
        &T::Rgb24ToYuv420, &T::Rgb24ToYuv422, &T::Rgb24ToYuv444, &T::Yuv420ToRgb24, &T::Yuv422ToRgb24,
        &T::Rgb32ToYuv420, &T::Rgb32ToYuv422, &T::Rgb32ToYuv444, &T::Yuv420ToRgb32, &T::Yuv422ToRgb32,
        &T::UyvyToYuv420,  &T::UyvyToYuv422,  &T::UyvyToYuv444,  &T::Yuv420ToUyvy,  &T::Yuv422ToUyvy,
        &T::Yuy2ToYuv420,  &T::Yuy2ToYuv422,  &T::Yuy2ToYuv444,  &T::Yuv420ToYuy2,  &T::Yuv422ToYuy2};
    for (int i = 0; i < 20; ++i)
        r[91 + i] = Conversion(conversions[i], i < 5 ? 3 : (i < 10 ? 4 : 2));
    r[116] = [](const T& t, benchmark::State& s) {
        Loop(s, [&] { benchmark::DoNotOptimize(t.ExcessDiffEnergy(Inputs().cur.data(), Inputs().ref.data(), 720, 8)); });
    };
    r[117] = [](const T& t, benchmark::State& s) {
        TInputs& in = Inputs();
        Loop(s, [&] { benchmark::DoNotOptimize(t.ExcessDiffEnergy3(in.cur.data(), in.ref.data(), in.dst.data(), 16, 720)); });
    };
}

TRunners Runners() {
    TRunners r;
    AddMeasureRunners(r);
    AddPredictionRunners(r);
    AddCodingRunners(r);
    AddPictureRunners(r);
    return r;
}

uintptr_t Word(const TKernelTable& t, int slot) {
    uintptr_t w;
    std::memcpy(&w, KernelSlotAddress(t, slot), sizeof w);
    return w;
}

struct TSet {
    std::string Name;
    TKernelTable Table;
    const TKernelTable* Below; // the set it is measured against (null for the reference)
};

void RegisterAll() {
    static std::vector<TSet> sets;
    sets.reserve(3);
    TKernelTable normal;
    MPEGEncoder_FuncSet_Normal(normal);
    sets.push_back({"Reference", normal, nullptr});
    const TProcessorFeatures active = ActiveFeatures();
    if (active & ProcessorFeature_SSE2) {
        TKernelTable t = normal;
        FillProcessorKernels(t, ProcessorFeature_SSE2);
        sets.push_back({"SSE2", t, &sets[0].Table});
        if (active & ProcessorFeature_AVX2) {
            FillProcessorKernels(t, ProcessorFeature_SSE2 | ProcessorFeature_AVX2);
            sets.push_back({"AVX2", t, &sets[1].Table});
        }
    }
    static const std::map<int, TRunner> runners = Runners();
    for (const auto& [slot, runner] : runners) {
        bool replaced = false;
        for (size_t i = 1; i < sets.size(); ++i)
            replaced |= Word(sets[i].Table, slot) != Word(*sets[i].Below, slot);
        if (!replaced)
            continue;
        for (const TSet& set : sets) {
            if (set.Below != nullptr && Word(set.Table, slot) == Word(*set.Below, slot))
                continue;
            const std::string name = std::string("BM_") + KernelSlotName(slot) + "/" + set.Name;
            const TRunner* run = &runner;
            const TKernelTable* table = &set.Table;
            benchmark::RegisterBenchmark(name.c_str(), [run, table](benchmark::State& s) { (*run)(*table, s); });
        }
    }
    // Start-up: reading the processor identification (done once per run).
    benchmark::RegisterBenchmark("BM_ReadCpuId/Detection", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(ReadCpuId());
    });
    // Filling a table with the reference and processor kernels (no library binding): the cost an
    // owner pays per fill.
    benchmark::RegisterBenchmark("BM_FillKernelTable/Kernels", [](benchmark::State& s) {
        TKernelTable t;
        for (auto _ : s) {
            MPEGEncoder_FuncSet_Normal(t);
            FillProcessorKernels(t, ActiveFeatures());
            benchmark::DoNotOptimize(t);
        }
    });
}

} // namespace
} // namespace quillset

int main(int argc, char** argv) {
    quillset::RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
