// The temporal filter's loops as templates over the vector types of simd_vec.h; each code path
// instantiates them in a file compiled with its own instruction-set flags.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugins/nr2d/simd_vec.h"
#include "plugins/nr3d/temporal_kernels.h"

namespace quillset::noise_reduction {
namespace {

// Runs step<V>(i) over whole vectors, then step<TVecScalar>(i) over the rest.
template <class V, class Step>
inline void ForEachColumn(int32_t width, Step&& step) {
    int32_t i = 0;
    if constexpr (V::Lanes > 1) {
        for (; i + V::Lanes <= width; i += V::Lanes)
            step.template operator()<V>(i);
    }
    for (; i < width; ++i)
        step.template operator()<TVecScalar>(i);
}

template <class V>
void DifferenceRow(const float* const a[3], const float* const b[3], float* out, int32_t width) {
    ForEachColumn<V>(width, [&]<class W>(int32_t i) {
        typename W::T sum = W::Set(0.0f);
        for (int32_t c = 0; c < 3; ++c) {
            const typename W::T d = W::Sub(W::Load(a[c] + i), W::Load(b[c] + i));
            sum = c == 0 ? W::Mul(d, d) : W::Add(sum, W::Mul(d, d));
        }
        W::Store(out + i, sum);
    });
}

template <class V>
void RowMaximum(const float* in, float* out, int32_t width) {
    ForEachColumn<V>(width, [&]<class W>(int32_t i) {
        typename W::T m = W::Load(in + i - 2);
        for (int32_t k = -1; k <= 2; ++k)
            m = W::Max(m, W::Load(in + i + k));
        W::Store(out + i, m);
    });
}

template <class V>
void BlendRow(const TTemporalRow& row, int32_t width, float strength) {
    ForEachColumn<V>(width, [&]<class W>(int32_t i) {
        using T = typename W::T;
        const T s = W::Set(strength);
        const T zero = W::Set(0.0f);
        T mp = W::Load(row.PreviousMotion[0] + i);
        T mn = W::Load(row.NextMotion[0] + i);
        for (int32_t k = 1; k < 5; ++k) {
            mp = W::Max(mp, W::Load(row.PreviousMotion[k] + i));
            mn = W::Max(mn, W::Load(row.NextMotion[k] + i));
        }
        const T wp = W::Max(W::Sub(s, mp), zero);
        const T wn = W::Max(W::Sub(s, mn), zero);
        const T r = W::Reciprocal(W::Add(W::Add(s, wp), wn));
        const T limit = W::Set(255.0f);
        float q[3][W::Lanes];
        for (int32_t c = 0; c < 3; ++c) {
            // Integers below 2^24: the sum is exact in any order.
            const T own = W::Mul(s, W::Load(row.Current[c] + i));
            const T before = W::Mul(wp, W::Load(row.Previous[c] + i));
            const T after = W::Mul(wn, W::Load(row.Next[c] + i));
            const T sum = W::Add(W::Add(own, before), after);
            W::Store(q[c], W::Min(W::Mul(sum, r), limit));
        }
        uint8_t* p = row.Out + static_cast<size_t>(i) * 3;
        for (int32_t lane = 0; lane < W::Lanes; ++lane, p += 3) {
            p[0] = static_cast<uint8_t>(static_cast<int32_t>(q[0][lane]));
            p[1] = static_cast<uint8_t>(static_cast<int32_t>(q[1][lane]));
            p[2] = static_cast<uint8_t>(static_cast<int32_t>(q[2][lane]));
        }
    });
}

template <class V>
TTemporalKernels MakeTemporalKernels() {
    return TTemporalKernels{&DifferenceRow<V>, &RowMaximum<V>, &BlendRow<V>};
}

} // namespace
} // namespace quillset::noise_reduction
