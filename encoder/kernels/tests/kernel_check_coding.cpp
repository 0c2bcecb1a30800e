// Checkers for the level bound, quantisers, dequantisers and transforms.
#include <cmath>
#include <cstring>

#include "encoder/kernels/tests/kernel_check.h"

namespace quillset::testing {

namespace {

constexpr int kTrials = 300;

// Coefficients within -limit..limit, sparse in some trials, at the extremes in the first ones.
void FillCoefficients(int16_t* block, int count, int limit, TCheckRun& run) {
    const int density = run.Trial < 3 ? 100 : (run.Chance(50) ? 100 : run.Uniform(2, 40));
    for (int i = 0; i < count; ++i) {
        int v = 0;
        if (run.Trial == 0)
            v = limit;
        else if (run.Trial == 1)
            v = -limit - 1;
        else if (run.Trial == 2)
            v = run.Chance(50) ? limit : -limit - 1;
        else if (run.Chance(density))
            v = run.Uniform(-limit - 1, limit);
        block[i] = static_cast<int16_t>(v);
    }
}

std::string Ints(long long expected, long long got) {
    return "expected " + std::to_string(expected) + ", got " + std::to_string(got);
}

std::string Floats(float expected, float got) {
    return "expected " + std::to_string(expected) + ", got " + std::to_string(got);
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || a == b; }

TGuardedBuffer Blocks(TCheckRun& run, int count, int limit) {
    TGuardedBuffer b(static_cast<size_t>(128 * (count > 0 ? count : 1)), static_cast<size_t>(2 * run.Uniform(0, 7)));
    FillCoefficients(b.As<int16_t>(), 64 * count, limit, run);
    return b;
}

// A value within 1 .. 2^bits, spread evenly over the powers of two, so that small and large
// values are equally likely.
int32_t LogUniform(TCheckRun& run, int bits) {
    const int k = run.Uniform(0, bits - 1);
    return run.Uniform(1 << k, (1 << k) + ((1 << k) - 1)) + (run.Chance(5) ? 1 : 0);
}

void CheckMaxLevelBound(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int count = run.Uniform(0, 12);
        const bool fullRange = run.Chance(25); // any 16-bit values, weights up to 2^22
        TGuardedBuffer blocks = Blocks(run, count, fullRange ? 32767 : 2047);
        int32_t weights[64];
        for (int32_t& w : weights)
            w = run.Chance(10) ? 1 : (fullRange ? LogUniform(run, 22) : run.Uniform(1, 32767));
        const int32_t expected = ref.MaxLevelBound(blocks.As<int16_t>(), weights, count);
        const int32_t got = test.MaxLevelBound(blocks.As<int16_t>(), weights, count);
        run.Expect(expected == got, "count " + std::to_string(count), Ints(expected, got));
    }
}

void FillFactors(float* f, int count, TCheckRun& run, float low, float high) {
    for (int i = 0; i < count; ++i)
        f[i] = run.UniformF(low, high);
}

void CheckMaxLevelBoundF(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int count = run.Uniform(0, 12);
        TGuardedBuffer blocks = Blocks(run, count, run.Chance(20) ? 32767 : 2047);
        float factors[64];
        FillFactors(factors, 64, run, 0.0f, 2.0f);
        const float expected = ref.MaxLevelBoundF(blocks.As<int16_t>(), factors, count);
        const float got = test.MaxLevelBoundF(blocks.As<int16_t>(), factors, count);
        run.Expect(SameBits(expected, got), "count " + std::to_string(count), Floats(expected, got));
    }
}

void CheckMaxLevelBoundFloatBlocks(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        const int count = run.Uniform(0, 12);
        TGuardedBuffer blocks(static_cast<size_t>(256 * (count > 0 ? count : 1)), static_cast<size_t>(4 * run.Uniform(0, 3)));
        FillFactors(blocks.As<float>(), 64 * count, run, -2048.0f, 2048.0f);
        float factors[64];
        FillFactors(factors, 64, run, 0.0f, 2.0f);
        const float expected = ref.MaxLevelBoundFloatBlocks(blocks.As<float>(), factors, count);
        const float got = test.MaxLevelBoundFloatBlocks(blocks.As<float>(), factors, count);
        run.Expect(SameBits(expected, got), "count " + std::to_string(count), Floats(expected, got));
    }
}

// Quantiser steps as the encoder builds them: 8 * scale * weight, the DC step 128..1024.
int32_t PickDivisor(TCheckRun& run, int position) {
    if (position == 0 && run.Chance(50))
        return 128 << run.Uniform(0, 3);
    return 8 * run.Uniform(1, 112) * run.Uniform(1, 255);
}

template <typename Call>
void CompareQuantizer(TCheckRun& run, TGuardedBuffer& block, Call call) {
    TGuardedBuffer got(block);
    const int32_t expectedSum = call(true, block);
    const int32_t gotSum = call(false, got);
    if (run.Expect(expectedSum == gotSum, "sum", Ints(expectedSum, gotSum)))
        run.Expect(block == got, "levels", got.FirstDifference(block));
}

void CheckQuantizeBlock(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        // Mostly the encoder's steps; in some trials the whole contract: any 16-bit values,
        // divisors up to 2^30 and offsets up to 2^22.
        const bool fullRange = run.Chance(25);
        TGuardedBuffer block = Blocks(run, 1, fullRange ? 32767 : 2047);
        int32_t divisors[64], offsets[64];
        for (int i = 0; i < 64; ++i) {
            divisors[i] = fullRange ? LogUniform(run, 30) : PickDivisor(run, i);
            offsets[i] = fullRange ? run.Uniform(0, 1 << 22) : run.Uniform(0, divisors[i] / 2);
        }
        CompareQuantizer(run, block, [&](bool reference, TGuardedBuffer& b) {
            return (reference ? ref : test).QuantizeBlock(b.As<int16_t>(), divisors, offsets);
        });
    }
}

// Factors 128 / step and offsets up to half a step in coefficient units.
void PickFloatQuantiser(TCheckRun& run, float* factors, float* offsets) {
    for (int i = 0; i < 64; ++i) {
        const int32_t step = PickDivisor(run, i);
        factors[i] = 128.0f / static_cast<float>(step);
        offsets[i] = run.UniformF(0.0f, 0.5f) * static_cast<float>(step) / 128.0f;
    }
}

// In some trials, offsets that put (|x| + offset) * factor, as the reference forms it in double
// precision, just below a whole number, where single precision would round up to it.
void PushBelowWhole(TCheckRun& run, const float* magnitudes, const float* factors, float* offsets) {
    if (!run.Chance(25))
        return;
    for (int i = 0; i < 64; ++i) {
        const double x = magnitudes[i], f = factors[i];
        if (x == 0.0 || !run.Chance(70))
            continue;
        const double whole = std::floor((x + offsets[i]) * f) + 1.0;
        float r = static_cast<float>(whole / f - x);
        while (r > 0.0f && (x + r) * f >= whole)
            r = std::nextafter(r, 0.0f);
        if (r > 0.0f)
            offsets[i] = r;
    }
}

void CheckQuantizeBlockF(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        TGuardedBuffer block = Blocks(run, 1, run.Chance(10) ? 32767 : 2047);
        float factors[64], offsets[64], magnitudes[64];
        PickFloatQuantiser(run, factors, offsets);
        for (int i = 0; i < 64; ++i)
            magnitudes[i] = std::fabs(static_cast<float>(block.As<int16_t>()[i]));
        PushBelowWhole(run, magnitudes, factors, offsets);
        CompareQuantizer(run, block, [&](bool reference, TGuardedBuffer& b) {
            return (reference ? ref : test).QuantizeBlockF(b.As<int16_t>(), factors, offsets);
        });
    }
}

void CheckQuantizeFloatBlock(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        float source[64], factors[64], offsets[64];
        for (float& v : source)
            v = run.Chance(20) ? (run.Chance(50) ? 0.0f : -0.0f) : run.UniformF(-2048.0f, 2048.0f);
        PickFloatQuantiser(run, factors, offsets);
        float magnitudes[64];
        for (int i = 0; i < 64; ++i)
            magnitudes[i] = std::fabs(source[i]);
        PushBelowWhole(run, magnitudes, factors, offsets);
        TGuardedBuffer out(128, static_cast<size_t>(2 * run.Uniform(0, 7)));
        CompareQuantizer(run, out, [&](bool reference, TGuardedBuffer& b) {
            return (reference ? ref : test).QuantizeFloatBlock(b.As<int16_t>(), source, factors, offsets);
        });
    }
}

// Levels of the quantiser ranges (MPEG-1 up to 255, MPEG-2 up to 2047), sometimes beyond.
int PickLevelLimit(TCheckRun& run) { return run.Chance(10) ? 16383 : (run.Chance(30) ? 255 : 2047); }

void CheckDequant(TDequantKernel TKernelTable::*slot, const TKernelTable& ref, const TKernelTable& test,
                  TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        TGuardedBuffer expected = Blocks(run, 1, PickLevelLimit(run)), got(expected);
        int32_t multipliers[64];
        for (int32_t& m : multipliers)
            m = run.Chance(10) ? run.Uniform(1, 32) : run.Uniform(1, 112) * run.Uniform(1, 255);
        (ref.*slot)(expected.As<int16_t>(), multipliers);
        (test.*slot)(got.As<int16_t>(), multipliers);
        run.Expect(expected == got, "block", got.FirstDifference(expected));
    }
}

// Dequantiser factors: multipliers over 16 or 32 as the encoder builds them, other multiples of
// 2^-12, arbitrary factors, or factors just below n / s for each position's scaled level s (2|q| + 1
// for inter blocks), whose exact products fall just short of a whole number n while
// single-precision products round up to it.
enum class TFactorKind { Multiplier, Grid, Arbitrary, JustBelowWhole };

void PickDequantFactors(TCheckRun& run, const int16_t* levels, bool inter, float* factors) {
    const int pick = run.Uniform(0, 99);
    const TFactorKind kind = pick < 55 ? TFactorKind::Multiplier
                             : pick < 70 ? TFactorKind::Grid
                             : pick < 85 ? TFactorKind::Arbitrary
                                         : TFactorKind::JustBelowWhole;
    for (int i = 0; i < 64; ++i) {
        const int32_t q = levels[i] < 0 ? -levels[i] : levels[i];
        const int32_t s = inter ? 2 * q + 1 : q;
        float& f = factors[i];
        switch (kind) {
        case TFactorKind::Multiplier:
            f = static_cast<float>(run.Uniform(1, 112) * run.Uniform(1, 255)) / (run.Chance(50) ? 16.0f : 32.0f);
            break;
        case TFactorKind::Grid: f = static_cast<float>(run.Uniform(1, 1 << 22)) / 4096.0f; break;
        case TFactorKind::Arbitrary: f = run.UniformF(0.0f, 64.0f); break;
        case TFactorKind::JustBelowWhole:
            if (s == 0) {
                f = run.UniformF(0.0f, 64.0f);
                break;
            }
            f = static_cast<float>(static_cast<double>(run.Uniform(1, 3000)) / s);
            const double whole = static_cast<double>(f) * s;
            while (static_cast<double>(f) * s >= std::round(whole))
                f = std::nextafter(f, 0.0f);
            break;
        }
    }
}

void CheckDequantF(TDequantFKernel TKernelTable::*slot, bool inter, const TKernelTable& ref, const TKernelTable& test,
                   TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        TGuardedBuffer expected = Blocks(run, 1, PickLevelLimit(run)), got(expected);
        float factors[64];
        PickDequantFactors(run, expected.As<int16_t>(), inter, factors);
        (ref.*slot)(expected.As<int16_t>(), factors);
        (test.*slot)(got.As<int16_t>(), factors);
        run.Expect(expected == got, "block", got.FirstDifference(expected));
    }
}

// Forward transforms take pixels (0..255) or differences (-255..255).
void FillPixelBlock(int16_t* block, TCheckRun& run) {
    const bool differences = run.Chance(50);
    const TFill fill = PickFill(run, run.Uniform(0, 1));
    for (int i = 0; i < 64; ++i) {
        int v = 0;
        switch (fill) {
        case TFill::Random: v = run.Uniform(0, 255); break;
        case TFill::Zero: v = 0; break;
        case TFill::Full: v = 255; break;
        case TFill::Extremes: v = run.Chance(50) ? 255 : 0; break;
        }
        block[i] = static_cast<int16_t>(differences && run.Chance(50) ? -v : v);
    }
}

void CheckForward(TBlockTransformKernel TKernelTable::*slot, const TKernelTable& ref, const TKernelTable& test,
                  TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        TGuardedBuffer expected(128, static_cast<size_t>(2 * run.Uniform(0, 7)));
        FillPixelBlock(expected.As<int16_t>(), run);
        TGuardedBuffer got(expected);
        (ref.*slot)(expected.As<int16_t>());
        (test.*slot)(got.As<int16_t>());
        run.Expect(expected == got, "block", got.FirstDifference(expected));
    }
}

void CheckForwardToFloat(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        TGuardedBuffer block(128, static_cast<size_t>(2 * run.Uniform(0, 7)));
        FillPixelBlock(block.As<int16_t>(), run);
        TGuardedBuffer expected(256, static_cast<size_t>(4 * run.Uniform(0, 3))), got(expected);
        ref.ForwardDctToFloat(expected.As<float>(), block.As<int16_t>());
        test.ForwardDctToFloat(got.As<float>(), block.As<int16_t>());
        run.Expect(expected == got, "floats", got.FirstDifference(expected));
    }
}

// Coefficients within -2048..2047 (dense, sparse, DC only), and in some trials any 16-bit values.
void CheckInverse(const TKernelTable& ref, const TKernelTable& test, TCheckRun& run) {
    for (run.Trial = 0; run.Trial < kTrials && !run.Failed(); ++run.Trial) {
        TGuardedBuffer expected = Blocks(run, 1, run.Chance(10) ? 32767 : 2047);
        if (run.Chance(10))
            std::memset(expected.Data() + 2, 0, 126); // DC only
        TGuardedBuffer got(expected);
        ref.InverseDct(expected.As<int16_t>());
        test.InverseDct(got.As<int16_t>());
        run.Expect(expected == got, "block", got.FirstDifference(expected));
    }
}

} // namespace

void AddCodingCheckers(TCheckerMap& c) {
    using T = TKernelTable;
    c[59] = CheckMaxLevelBound;
    c[60] = CheckMaxLevelBoundF;
    c[61] = CheckMaxLevelBoundFloatBlocks;
    c[63] = CheckQuantizeBlock;
    c[64] = CheckQuantizeBlockF;
    c[65] = CheckQuantizeFloatBlock;
    const std::pair<int, TDequantKernel T::*> integer[] = {
        {67, &T::DequantIntraMpeg1}, {70, &T::DequantIntraMpeg2}, {73, &T::DequantInterMpeg1}, {76, &T::DequantInterMpeg2}};
    for (auto [index, slot] : integer)
        c[index] = [slot](const T& r, const T& t, TCheckRun& run) { CheckDequant(slot, r, t, run); };
    const std::pair<int, TDequantFKernel T::*> floating[] = {{68, &T::DequantIntraMpeg1F},
                                                             {71, &T::DequantIntraMpeg2F},
                                                             {74, &T::DequantInterMpeg1F},
                                                             {77, &T::DequantInterMpeg2F}};
    for (auto [index, slot] : floating) {
        const bool inter = index >= 74;
        c[index] = [slot, inter](const T& r, const T& t, TCheckRun& run) { CheckDequantF(slot, inter, r, t, run); };
    }
    c[86] = [](const T& r, const T& t, TCheckRun& run) { CheckForward(&T::ForwardDct, r, t, run); };
    c[87] = [](const T& r, const T& t, TCheckRun& run) { CheckForward(&T::ForwardDctF, r, t, run); };
    c[88] = CheckForwardToFloat;
    c[89] = CheckInverse;
}

} // namespace quillset::testing
