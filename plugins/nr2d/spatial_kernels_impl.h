// The spatial filter's loops as templates over the vector types of simd_vec.h; each code path
// instantiates them in a file compiled with its own instruction-set flags.
#pragma once

#include <cstdint>

#include "plugins/nr2d/simd_vec.h"
#include "plugins/nr2d/spatial_kernels.h"

namespace quillset::noise_reduction {
namespace {

template <class V>
inline void AccumulatePairStep(const TPairRun& run, int32_t i, typename V::T strength) {
    using T = typename V::T;
    const T lb = V::Load(run.Lower[0] + i), lg = V::Load(run.Lower[1] + i), lr = V::Load(run.Lower[2] + i);
    const T ub = V::Load(run.Upper[0] + i), ug = V::Load(run.Upper[1] + i), ur = V::Load(run.Upper[2] + i);
    const T db = V::Sub(lb, ub), dg = V::Sub(lg, ug), dr = V::Sub(lr, ur);
    // Integers below 2^24 throughout: exact in single precision.
    const T distance = V::Add(V::Add(V::Mul(db, db), V::Mul(dg, dg)), V::Mul(dr, dr));
    const T w = V::Max(V::Sub(strength, distance), V::Set(0.0f));
    // Partner sums first: within one row they are the sums of pixel i + distance, which then
    // receive their left partner's pair before their right partner's (see TPairRun).
    float* const* us = run.UpperSums;
    V::Store(us[0] + i, V::Add(V::Load(us[0] + i), V::Mul(w, lb)));
    V::Store(us[1] + i, V::Add(V::Load(us[1] + i), V::Mul(w, lg)));
    V::Store(us[2] + i, V::Add(V::Load(us[2] + i), V::Mul(w, lr)));
    V::Store(us[3] + i, V::Add(V::Load(us[3] + i), w));
    float* const* ls = run.LowerSums;
    V::Store(ls[0] + i, V::Add(V::Load(ls[0] + i), V::Mul(w, ub)));
    V::Store(ls[1] + i, V::Add(V::Load(ls[1] + i), V::Mul(w, ug)));
    V::Store(ls[2] + i, V::Add(V::Load(ls[2] + i), V::Mul(w, ur)));
    V::Store(ls[3] + i, V::Add(V::Load(ls[3] + i), w));
}

template <class V>
void AccumulatePairs(const TPairRun& run, int32_t count, float strength) {
    int32_t i = 0;
    if constexpr (V::Lanes > 1) {
        const typename V::T s = V::Set(strength);
        for (; i + V::Lanes <= count; i += V::Lanes)
            AccumulatePairStep<V>(run, i, s);
    }
    for (; i < count; ++i)
        AccumulatePairStep<TVecScalar>(run, i, strength);
}

template <class V>
inline void ResolveStep(const float* const sums[4], uint8_t* out, int32_t i) {
    using T = typename V::T;
    const T r = V::Reciprocal(V::Load(sums[3] + i));
    const T limit = V::Set(255.0f);
    float q[3][V::Lanes];
    for (int32_t c = 0; c < 3; ++c)
        V::Store(q[c], V::Min(V::Mul(V::Load(sums[c] + i), r), limit));
    uint8_t* p = out + static_cast<size_t>(i) * 3;
    for (int32_t lane = 0; lane < V::Lanes; ++lane, p += 3) {
        // The sums are never negative, so truncation toward zero is the integer conversion.
        p[0] = static_cast<uint8_t>(static_cast<int32_t>(q[0][lane]));
        p[1] = static_cast<uint8_t>(static_cast<int32_t>(q[1][lane]));
        p[2] = static_cast<uint8_t>(static_cast<int32_t>(q[2][lane]));
    }
}

template <class V>
void ResolveRow(const float* const sums[4], uint8_t* out, int32_t width) {
    int32_t i = 0;
    if constexpr (V::Lanes > 1) {
        for (; i + V::Lanes <= width; i += V::Lanes)
            ResolveStep<V>(sums, out, i);
    }
    for (; i < width; ++i)
        ResolveStep<TVecScalar>(sums, out, i);
}

template <class V>
TSpatialKernels MakeSpatialKernels() {
    return TSpatialKernels{&AccumulatePairs<V>, &ResolveRow<V>};
}

} // namespace
} // namespace quillset::noise_reduction
