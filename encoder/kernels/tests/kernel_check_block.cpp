// Checkers for the block measures, predictions and 8x8 block operations.
#include <climits>

#include "encoder/kernels/tests/kernel_check.h"

namespace quillset::testing {

namespace {

constexpr int kTrials = 200;

std::string Note(int pitch, size_t misalign, const std::string& more = "") {
    return "pitch " + std::to_string(pitch) + ", misalign " + std::to_string(misalign) + more;
}

std::string Values(long long expected, long long got) {
    return "expected " + std::to_string(expected) + ", got " + std::to_string(got);
}

// Slots 1-9, 11-18: cur of Width x Rows, ref of (Width + 1) x (Rows + 1) for the half samples.
void CheckMeasure(TBlockMeasureKernel TKernelTable::*slot, int width, int rows, const TKernelTable& ref,
                  const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, width + 1, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane cur(rows, width, pitch, misalign), prev(rows + 1, width + 1, pitch, 15 - misalign);
        FillBytes(cur.Buffer.Data(), cur.Buffer.Size(), PickFill(run, 0), run);
        FillBytes(prev.Buffer.Data(), prev.Buffer.Size(), PickFill(run, 1), run);
        const int32_t expected = (ref.*slot)(cur.Row0(), prev.Row0(), pitch);
        const int32_t got = (test.*slot)(cur.Row0(), prev.Row0(), pitch);
        run.Expect(expected == got, Note(pitch, misalign), Values(expected, got));
    }
}

// Slots 10, 19: ref is a packed 16 buffer.
void CheckPackedMeasure(TBlockMeasureKernel TKernelTable::*slot, const TKernelTable& ref, const TKernelTable& test,
                        TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 16, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane cur(16, 16, pitch, misalign);
        TGuardedBuffer packed(256, static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(cur.Buffer.Data(), cur.Buffer.Size(), PickFill(run, 0), run);
        FillBytes(packed.Data(), 256, PickFill(run, 1), run);
        const int32_t expected = (ref.*slot)(cur.Row0(), packed.Data(), pitch);
        const int32_t got = (test.*slot)(cur.Row0(), packed.Data(), pitch);
        run.Expect(expected == got, Note(pitch, misalign), Values(expected, got));
    }
}

// Sum pictures: unsigned 16-bit values below 4096, pitch in bytes (even).
void FillSums(uint16_t* p, size_t count, TCheckRun& run, int which) {
    const TFill fill = PickFill(run, which);
    for (size_t i = 0; i < count; ++i) {
        switch (fill) {
        case TFill::Random: p[i] = static_cast<uint16_t>(run.Uniform(0, 4095)); break;
        case TFill::Zero: p[i] = 0; break;
        case TFill::Full: p[i] = 4095; break;
        case TFill::Extremes: p[i] = run.Chance(50) ? 4095 : 0; break;
        }
    }
}

struct TSumsPlane {
    TSumsPlane(TCheckRun& run, int values, int pitch, int which)
        : plane(4, 2 * values, pitch, static_cast<size_t>(2 * run.Uniform(0, 7))) {
        FillSums(reinterpret_cast<uint16_t*>(plane.Buffer.Data()), plane.Buffer.Size() / 2, run, which);
    }
    const uint16_t* Row0() { return reinterpret_cast<const uint16_t*>(plane.Row0()); }
    TPlane plane;
};

// Sum pictures have even pitches (whole 16-bit values per row).
int PickEvenPitch(TCheckRun& run, int bytes) { return (PickPitch(run, bytes, true) / 2) * 2; }

void CheckSumsMeasure(TSumsMeasureKernel TKernelTable::*slot, int values, const TKernelTable& ref,
                      const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickEvenPitch(run, 2 * values);
        TSumsPlane cur(run, values, pitch, 0), prev(run, values, pitch, 1);
        const int32_t expected = (ref.*slot)(cur.Row0(), prev.Row0(), pitch);
        const int32_t got = (test.*slot)(cur.Row0(), prev.Row0(), pitch);
        run.Expect(expected == got, Note(pitch, 0), Values(expected, got));
    }
}

void CheckSumsBest(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickEvenPitch(run, 8);
        TSumsPlane cur(run, 4, pitch, 0), a(run, 4, pitch, 1), b(run, 4, pitch, 2);
        const int32_t expected = ref.SseSums4x4Best(cur.Row0(), a.Row0(), pitch, b.Row0());
        const int32_t got = test.SseSums4x4Best(cur.Row0(), a.Row0(), pitch, b.Row0());
        run.Expect(expected == got, Note(pitch, 0), Values(expected, got));
    }
}

void CheckBlockSum(TBlockSumKernel TKernelTable::*slot, int rows, const TKernelTable& ref, const TKernelTable& test,
                   TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 4, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane src(rows, 4, pitch, misalign);
        FillBytes(src.Buffer.Data(), src.Buffer.Size(), PickFill(run, 0), run);
        const int32_t expected = (ref.*slot)(src.Row0(), pitch), got = (test.*slot)(src.Row0(), pitch);
        run.Expect(expected == got, Note(pitch, misalign), Values(expected, got));
    }
}

void CheckRgbSum(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 12, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane src(4, 12, pitch, misalign);
        FillBytes(src.Buffer.Data(), src.Buffer.Size(), PickFill(run, 0), run);
        TGuardedBuffer expected(6, 2), got(expected);
        ref.SumRgb4x4(src.Row0(), pitch, expected.As<uint16_t>());
        test.SumRgb4x4(src.Row0(), pitch, got.As<uint16_t>());
        run.Expect(expected == got, Note(pitch, misalign), got.FirstDifference(expected));
    }
}

// Slots 29-44: dst and ref share the pitch; the averaging forms start from a random dst.
void CheckPredict(TPredictKernel TKernelTable::*slot, int width, const TKernelTable& ref, const TKernelTable& test,
                  TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int rows = run.Chance(50) ? (run.Chance(50) ? 16 : 8) : run.Uniform(1, 17);
        const int pitch = PickPitch(run, width + 1, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane source(rows + 1, width + 1, pitch, static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(source.Buffer.Data(), source.Buffer.Size(), PickFill(run, 0), run);
        TPlane expected(rows, width, pitch, misalign);
        FillBytes(expected.Buffer.Data(), expected.Buffer.Size(), PickFill(run, 1), run);
        TPlane got(expected);
        (ref.*slot)(expected.Row0(), source.Row0(), pitch, rows);
        (test.*slot)(got.Row0(), source.Row0(), pitch, rows);
        run.Expect(expected.Buffer == got.Buffer, Note(pitch, misalign, ", rows " + std::to_string(rows)),
                   got.Buffer.FirstDifference(expected.Buffer));
    }
}

// Slots 45-52: a packed 16 (16 rows) or field 32 (8 rows) destination; the other field's rows
// of a field buffer must stay as they were.
void CheckFetch(TFetchKernel TKernelTable::*slot, int rows, const TKernelTable& ref, const TKernelTable& test,
                TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 17, true);
        TPlane source(rows + 1, 17, pitch, static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(source.Buffer.Data(), source.Buffer.Size(), PickFill(run, 0), run);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TGuardedBuffer expected(256, misalign);
        FillBytes(expected.Data(), 256, TFill::Random, run);
        TGuardedBuffer got(expected);
        (ref.*slot)(expected.Data(), source.Row0(), pitch);
        (test.*slot)(got.Data(), source.Row0(), pitch);
        run.Expect(expected == got, Note(pitch, misalign), got.FirstDifference(expected));
    }
}

void CheckAverage(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        TGuardedBuffer a(256, static_cast<size_t>(run.Uniform(0, 15))), b(256, static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(a.Data(), 256, PickFill(run, 0), run);
        FillBytes(b.Data(), 256, PickFill(run, 1), run);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TGuardedBuffer expected(256, misalign), got(expected);
        ref.AveragePacked16x16(expected.Data(), a.Data(), b.Data());
        test.AveragePacked16x16(got.Data(), a.Data(), b.Data());
        run.Expect(expected == got, Note(16, misalign), got.FirstDifference(expected));
    }
}

void CheckSumAndEnergy(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 8, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane src(8, 8, pitch, misalign);
        FillBytes(src.Buffer.Data(), src.Buffer.Size(), PickFill(run, 0), run);
        TGuardedBuffer expected(8, 4), got(expected);
        ref.SumAndEnergy8x8(src.Row0(), pitch, expected.As<int32_t>());
        test.SumAndEnergy8x8(src.Row0(), pitch, got.As<int32_t>());
        run.Expect(expected == got, Note(pitch, misalign), got.FirstDifference(expected));
    }
}

// Slots 55-57: b has the pitch (0), or rows 16 (packed) or 32 (field) bytes apart.
void CheckDiffEnergy(TDiffEnergyKernel TKernelTable::*slot, int bPitch, const TKernelTable& ref,
                     const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 8, bPitch == 0);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane a(8, 8, pitch, misalign), b(8, 8, bPitch == 0 ? pitch : bPitch, static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(a.Buffer.Data(), a.Buffer.Size(), PickFill(run, 0), run);
        FillBytes(b.Buffer.Data(), b.Buffer.Size(), PickFill(run, 1), run);
        TGuardedBuffer expected(8, 4), got(expected);
        (ref.*slot)(a.Row0(), b.Row0(), pitch, expected.As<int32_t>());
        (test.*slot)(a.Row0(), b.Row0(), pitch, got.As<int32_t>());
        run.Expect(expected == got, Note(pitch, misalign), got.FirstDifference(expected));
    }
}

// A block of 64 coefficients: mostly values within -300..555 (pixel sums and residuals), with
// full 16-bit extremes in some trials.
void FillBlockValues(int16_t* block, TCheckRun& run) {
    const bool extremes = run.Trial < 3 || run.Chance(15);
    for (int i = 0; i < 64; ++i) {
        if (extremes)
            block[i] = static_cast<int16_t>(run.Chance(50) ? run.Uniform(-32768, 32767) : (run.Chance(50) ? 32767 : -32768));
        else
            block[i] = static_cast<int16_t>(run.Uniform(-300, 555));
    }
}

TGuardedBuffer NewBlock(TCheckRun& run) { return TGuardedBuffer(128, static_cast<size_t>(2 * run.Uniform(0, 7))); }

void CheckLoadBlock(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 8, true);
        TPlane src(8, 8, pitch, static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(src.Buffer.Data(), src.Buffer.Size(), PickFill(run, 0), run);
        TGuardedBuffer expected = NewBlock(run), got(expected);
        ref.LoadBlock8x8(expected.As<int16_t>(), src.Row0(), pitch);
        test.LoadBlock8x8(got.As<int16_t>(), src.Row0(), pitch);
        run.Expect(expected == got, Note(pitch, 0), got.FirstDifference(expected));
    }
}

void CheckDiffBlock(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 8, true);
        TPlane cur(8, 8, pitch, static_cast<size_t>(run.Uniform(0, 15)));
        TPlane pred(8, 8, pitch, static_cast<size_t>(run.Uniform(0, 15)));
        FillBytes(cur.Buffer.Data(), cur.Buffer.Size(), PickFill(run, 0), run);
        FillBytes(pred.Buffer.Data(), pred.Buffer.Size(), PickFill(run, 1), run);
        TGuardedBuffer expected = NewBlock(run), got(expected);
        ref.DiffBlock8x8(expected.As<int16_t>(), cur.Row0(), pred.Row0(), pitch);
        test.DiffBlock8x8(got.As<int16_t>(), cur.Row0(), pred.Row0(), pitch);
        run.Expect(expected == got, Note(pitch, 0), got.FirstDifference(expected));
    }
}

// Slots 82 and 84 (same signature): dst starts random, block values as FillBlockValues.
void CheckStoreBlock(TStoreBlockKernel TKernelTable::*slot, const TKernelTable& ref, const TKernelTable& test,
                     TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 8, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TGuardedBuffer block = NewBlock(run);
        FillBlockValues(block.As<int16_t>(), run);
        TPlane expected(8, 8, pitch, misalign);
        FillBytes(expected.Buffer.Data(), expected.Buffer.Size(), PickFill(run, 0), run);
        TPlane got(expected);
        (ref.*slot)(expected.Row0(), block.As<int16_t>(), pitch);
        (test.*slot)(got.Row0(), block.As<int16_t>(), pitch);
        run.Expect(expected.Buffer == got.Buffer, Note(pitch, misalign), got.Buffer.FirstDifference(expected.Buffer));
    }
}

void CheckFillBlock(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 8, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane expected(8, 8, pitch, misalign);
        FillBytes(expected.Buffer.Data(), expected.Buffer.Size(), TFill::Random, run);
        TPlane got(expected);
        const auto value = static_cast<uint8_t>(run.Uniform(0, 255));
        ref.FillBlock8x8(expected.Row0(), value, pitch);
        test.FillBlock8x8(got.Row0(), value, pitch);
        run.Expect(expected.Buffer == got.Buffer, Note(pitch, misalign), got.Buffer.FirstDifference(expected.Buffer));
    }
}

void CheckAddDc(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int pitch = PickPitch(run, 8, true);
        const size_t misalign = static_cast<size_t>(run.Uniform(0, 15));
        TPlane expected(8, 8, pitch, misalign);
        FillBytes(expected.Buffer.Data(), expected.Buffer.Size(), PickFill(run, 0), run);
        TPlane got(expected);
        const int32_t choices[] = {INT32_MIN, -70000, -256, -255, 255, 256, 70000, INT32_MAX};
        const int32_t value = run.Chance(20) ? choices[run.Uniform(0, 7)] : run.Uniform(-300, 300);
        ref.AddDc8x8(expected.Row0(), value, pitch);
        test.AddDc8x8(got.Row0(), value, pitch);
        run.Expect(expected.Buffer == got.Buffer, Note(pitch, misalign, ", value " + std::to_string(value)),
                   got.Buffer.FirstDifference(expected.Buffer));
    }
}

} // namespace

void AddBlockCheckers(TCheckerMap& c) {
    using T = TKernelTable;
    auto measure = [](TBlockMeasureKernel T::*slot, int width, int rows) {
        return [=](const T& r, const T& t, TCheckRun& run) { CheckMeasure(slot, width, rows, r, t, run); };
    };
    TBlockMeasureKernel T::*const sad[] = {&T::Sad16x16, &T::Sad16x16V, &T::Sad16x16H, &T::Sad16x16HV,
                                           &T::Sad16x8,  &T::Sad16x8V,  &T::Sad16x8H,  &T::Sad16x8HV};
    TBlockMeasureKernel T::*const sse[] = {&T::Sse16x16, &T::Sse16x16V, &T::Sse16x16H, &T::Sse16x16HV,
                                           &T::Sse16x8,  &T::Sse16x8V,  &T::Sse16x8H,  &T::Sse16x8HV};
    for (int i = 0; i < 8; ++i) {
        c[1 + i] = measure(sad[i], 16, i < 4 ? 16 : 8);
        c[11 + i] = measure(sse[i], 16, i < 4 ? 16 : 8);
    }
    c[9] = measure(&T::SadRgb16x16, 48, 16);
    c[10] = [](const T& r, const T& t, TCheckRun& run) { CheckPackedMeasure(&T::Sad16x16Packed, r, t, run); };
    c[19] = [](const T& r, const T& t, TCheckRun& run) { CheckPackedMeasure(&T::Sse16x16Packed, r, t, run); };
    c[21] = [](const T& r, const T& t, TCheckRun& run) { CheckSumsMeasure(&T::SseSums4x4, 4, r, t, run); };
    c[22] = CheckSumsBest;
    c[24] = [](const T& r, const T& t, TCheckRun& run) { CheckSumsMeasure(&T::SseRgbSums4x4, 12, r, t, run); };
    c[25] = [](const T& r, const T& t, TCheckRun& run) { CheckBlockSum(&T::Sum4x4, 4, r, t, run); };
    c[26] = [](const T& r, const T& t, TCheckRun& run) { CheckBlockSum(&T::Sum4x2, 2, r, t, run); };
    c[28] = CheckRgbSum;
    TPredictKernel T::*const predict[] = {
        &T::Predict16,    &T::Predict16V,    &T::Predict16H,    &T::Predict16HV,    &T::Predict8,    &T::Predict8V,
        &T::Predict8H,    &T::Predict8HV,    &T::PredictAvg16,  &T::PredictAvg16V,  &T::PredictAvg16H,
        &T::PredictAvg16HV, &T::PredictAvg8, &T::PredictAvg8V, &T::PredictAvg8H,   &T::PredictAvg8HV};
    for (int i = 0; i < 16; ++i) {
        const int width = (i / 4) % 2 == 0 ? 16 : 8;
        auto slot = predict[i];
        c[29 + i] = [=](const T& r, const T& t, TCheckRun& run) { CheckPredict(slot, width, r, t, run); };
    }
    TFetchKernel T::*const fetch[] = {&T::FetchPacked16x16, &T::FetchPacked16x16V, &T::FetchPacked16x16H,
                                      &T::FetchPacked16x16HV, &T::FetchField16x8, &T::FetchField16x8V,
                                      &T::FetchField16x8H,   &T::FetchField16x8HV};
    for (int i = 0; i < 8; ++i) {
        auto slot = fetch[i];
        const int rows = i < 4 ? 16 : 8;
        c[45 + i] = [=](const T& r, const T& t, TCheckRun& run) { CheckFetch(slot, rows, r, t, run); };
    }
    c[53] = CheckAverage;
    c[54] = CheckSumAndEnergy;
    c[55] = [](const T& r, const T& t, TCheckRun& run) { CheckDiffEnergy(&T::DiffSadEnergy8x8, 0, r, t, run); };
    c[56] = [](const T& r, const T& t, TCheckRun& run) { CheckDiffEnergy(&T::DiffSadEnergy8x8Packed, 16, r, t, run); };
    c[57] = [](const T& r, const T& t, TCheckRun& run) { CheckDiffEnergy(&T::DiffSadEnergy8x8Field, 32, r, t, run); };
    c[80] = CheckLoadBlock;
    c[81] = CheckDiffBlock;
    c[82] = [](const T& r, const T& t, TCheckRun& run) { CheckStoreBlock(&T::StoreBlock8x8, r, t, run); };
    c[83] = CheckFillBlock;
    c[84] = [](const T& r, const T& t, TCheckRun& run) { CheckStoreBlock(&T::AddBlock8x8, r, t, run); };
    c[85] = CheckAddDc;
}

} // namespace quillset::testing
