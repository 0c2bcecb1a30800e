#include "encoder/audio/mpeg/psyc_fft.h"

#include <cmath>
#include <numbers>

namespace quillset::mpa {

RealFFT1024::RealFFT1024()
    : WorkRe(kHalf), WorkIm(kHalf), UnpackRe(kHalf / 2 + 1), UnpackIm(kHalf / 2 + 1), Reversed(kHalf) {
    // Twiddles of every stage one after another: size 2 (1 value), 4 (2), ..., 512 (256).
    for (int32_t size = 2; size <= kHalf; size *= 2) {
        for (int32_t j = 0; j < size / 2; ++j) {
            const double angle = -2.0 * std::numbers::pi * j / size;
            TwiddleRe.push_back(static_cast<float>(std::cos(angle)));
            TwiddleIm.push_back(static_cast<float>(std::sin(angle)));
        }
    }
    for (int32_t k = 0; k <= kHalf / 2; ++k) {
        const double angle = -2.0 * std::numbers::pi * k / kSize;
        UnpackRe[k] = static_cast<float>(std::cos(angle));
        UnpackIm[k] = static_cast<float>(std::sin(angle));
    }
    for (int32_t i = 0; i < kHalf; ++i) {
        int32_t r = 0;
        for (int32_t b = 0, v = i; b < 9; ++b, v >>= 1)
            r = (r << 1) | (v & 1);
        Reversed[i] = r;
    }
}

void RealFFT1024::Transform(const float* x, float* re, float* im) {
    float* wr = WorkRe.data();
    float* wi = WorkIm.data();
    // Even samples as the real part and odd ones as the imaginary part of a 512-point transform.
    for (int32_t n = 0; n < kHalf; ++n) {
        wr[Reversed[n]] = x[2 * n];
        wi[Reversed[n]] = x[2 * n + 1];
    }
    const float* twr = TwiddleRe.data();
    const float* twi = TwiddleIm.data();
    for (int32_t size = 2; size <= kHalf; size *= 2) {
        const int32_t half = size / 2;
        for (int32_t start = 0; start < kHalf; start += size) {
            float* ar = wr + start;
            float* ai = wi + start;
            float* br = ar + half;
            float* bi = ai + half;
            for (int32_t j = 0; j < half; ++j) {
                const float tr = twr[j] * br[j] - twi[j] * bi[j];
                const float ti = twr[j] * bi[j] + twi[j] * br[j];
                br[j] = ar[j] - tr;
                bi[j] = ai[j] - ti;
                ar[j] += tr;
                ai[j] += ti;
            }
        }
        twr += half;
        twi += half;
    }
    // Separate the two interleaved real transforms: E[k] = (Z[k] + conj Z[N - k]) / 2,
    // O[k] = (Z[k] - conj Z[N - k]) / 2i, X[k] = E[k] + w^k O[k], X[N - k] = conj(E[k] - w^k O[k]).
    re[0] = wr[0] + wi[0];
    im[0] = 0.0f;
    re[kHalf] = wr[0] - wi[0];
    im[kHalf] = 0.0f;
    for (int32_t k = 1; k <= kHalf / 2; ++k) {
        const float ar = wr[k], ai = wi[k];
        const float br = wr[kHalf - k], bi = -wi[kHalf - k];
        const float er = 0.5f * (ar + br), ei = 0.5f * (ai + bi);
        // (a - b) / 2i = (Im(a - b) / 2, -Re(a - b) / 2)
        const float orr = 0.5f * (ai - bi), oi = -0.5f * (ar - br);
        const float tr = UnpackRe[k] * orr - UnpackIm[k] * oi;
        const float ti = UnpackRe[k] * oi + UnpackIm[k] * orr;
        re[k] = er + tr;
        im[k] = ei + ti;
        re[kHalf - k] = er - tr;
        im[kHalf - k] = -(ei - ti);
    }
}

} // namespace quillset::mpa
