// The forward transform of A/52: a 512-point windowed block gives 256 coefficients, by one long
// transform or, on transients, by two short transforms whose coefficients are interleaved.
//
// Each transform computes X[k] = -2/N sum(n = 0 .. N-1) x[n] cos(2pi/4N (2n+1)(2k+1)
// + pi/4 (2k+1)(1+alpha)) for k < N/2: N = 512 and alpha = 0 for a long block; N = 256 and
// alpha = -1 (first half of the block) and +1 (second half) for the short pair. The decoder's
// inverse transforms of A/52 7.9.4 undo them with overlap-add (time-domain aliasing
// cancellation). Internally each one is a fold into N/2 values and a type-IV DCT computed with an
// N/4-point complex FFT.
#pragma once

#include <complex>
#include <vector>

namespace quillset::ac3sube {

class TAC3Transform {
public:
    TAC3Transform();

    // windowed: 512 samples, already multiplied by the window. coefficients: 256 values.
    void Forward(const double* windowed, bool shortBlocks, double* coefficients);

    // One transform of length n (512 or 256) with the phase shift n0 = n (1 + alpha) / 4;
    // writes n / 2 values. Exposed for tests.
    void Transform(const double* input, int n, int n0, double* output);

private:
    // A type-IV DCT of size m (256 or 128): out[k] = sum u[j] cos(pi/m (j + 1/2)(k + 1/2)).
    struct TDctIV {
        explicit TDctIV(int size);
        void Run(const double* u, double* out);

        int Size;
        std::vector<std::complex<double>> PreTwiddle;  // exp(-i pi (j + 1/4) / m)
        std::vector<std::complex<double>> PostTwiddle; // exp(-i pi p / m)
        std::vector<std::complex<double>> FftTwiddle;  // exp(-2 pi i t / (m / 2))
        std::vector<int> BitReverse;
        std::vector<double> WorkRe, WorkIm;
    };

    TDctIV Long{256};
    TDctIV Short{128};
    std::vector<double> Folded;
    std::vector<double> Shifted;
    std::vector<double> Half[2];
};

} // namespace quillset::ac3sube
