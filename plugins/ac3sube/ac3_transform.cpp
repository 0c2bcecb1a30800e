#include "plugins/ac3sube/ac3_transform.h"

#include <cassert>
#include <cmath>

namespace quillset::ac3sube {

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

TAC3Transform::TDctIV::TDctIV(int size) : Size(size) {
    const int half = size / 2;
    PreTwiddle.resize(half);
    PostTwiddle.resize(half);
    for (int j = 0; j < half; ++j) {
        PreTwiddle[j] = std::polar(1.0, -kPi * (j + 0.25) / size);
        PostTwiddle[j] = std::polar(1.0, -kPi * j / size);
    }
    FftTwiddle.resize(half / 2);
    for (int t = 0; t < half / 2; ++t)
        FftTwiddle[t] = std::polar(1.0, -2.0 * kPi * t / half);
    int bits = 0;
    while ((1 << bits) < half)
        ++bits;
    BitReverse.resize(half);
    for (int i = 0; i < half; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((i >> b) & 1) << (bits - 1 - b);
        BitReverse[i] = r;
    }
    WorkRe.resize(half);
    WorkIm.resize(half);
}

void TAC3Transform::TDctIV::Run(const double* u, double* out) {
    const int half = Size / 2;
    double* re = WorkRe.data();
    double* im = WorkIm.data();
    // Pairs of the even and the mirrored odd inputs, turned by the pre-twiddle, in bit-reversed
    // order for the in-place radix-2 FFT. Complex products are written out so that they compile
    // to plain multiply-adds.
    for (int j = 0; j < half; ++j) {
        const double a = u[2 * j], b = u[Size - 1 - 2 * j];
        const double c = PreTwiddle[j].real(), d = PreTwiddle[j].imag();
        re[BitReverse[j]] = a * c - b * d;
        im[BitReverse[j]] = a * d + b * c;
    }
    for (int span = 1; span < half; span *= 2) {
        const int stride = half / (2 * span);
        for (int start = 0; start < half; start += 2 * span) {
            for (int k = 0; k < span; ++k) {
                const double c = FftTwiddle[k * stride].real(), d = FftTwiddle[k * stride].imag();
                const int p = start + k, q = p + span;
                const double br = re[q] * c - im[q] * d;
                const double bi = re[q] * d + im[q] * c;
                re[q] = re[p] - br;
                im[q] = im[p] - bi;
                re[p] += br;
                im[p] += bi;
            }
        }
    }
    for (int p = 0; p < half; ++p) {
        const double c = PostTwiddle[p].real(), d = PostTwiddle[p].imag();
        out[2 * p] = re[p] * c - im[p] * d;
        out[Size - 1 - 2 * p] = -(re[p] * d + im[p] * c);
    }
}

TAC3Transform::TAC3Transform() : Folded(256), Shifted(512), Half{std::vector<double>(128), std::vector<double>(128)} {}

void TAC3Transform::Transform(const double* input, int n, int n0, double* output) {
    assert((n == 512 || n == 256) && n0 >= 0 && n0 < n);
    const int m = n / 2;
    // The kernel cos(pi/2N (2k+1)(2n+1+2n0)) changes sign when n moves by N and is odd about
    // N - 1/2, so the shifted input folds into N/2 values of a type-IV DCT.
    for (int i = 0; i < n; ++i) {
        const int at = i + n0;
        if (at < n)
            Shifted[at] = input[i];
        else
            Shifted[at - n] = -input[i];
    }
    for (int j = 0; j < m; ++j)
        Folded[j] = Shifted[j] - Shifted[n - 1 - j];
    TDctIV& dct = n == 512 ? Long : Short;
    dct.Run(Folded.data(), output);
    const double scale = -2.0 / n;
    for (int k = 0; k < m; ++k)
        output[k] *= scale;
}

void TAC3Transform::Forward(const double* windowed, bool shortBlocks, double* coefficients) {
    if (!shortBlocks) {
        Transform(windowed, 512, 128, coefficients);
        return;
    }
    Transform(windowed, 256, 0, Half[0].data());
    Transform(windowed + 256, 256, 128, Half[1].data());
    for (int k = 0; k < 128; ++k) {
        coefficients[2 * k] = Half[0][k];
        coefficients[2 * k + 1] = Half[1][k];
    }
}

} // namespace quillset::ac3sube
