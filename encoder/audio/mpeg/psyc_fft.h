// The 1024-point transform of real samples that the psychoacoustic model analyses.
#pragma once

#include <cstdint>
#include <vector>

namespace quillset::mpa {

class RealFFT1024 {
public:
    static constexpr int32_t kSize = 1024;
    static constexpr int32_t kLines = kSize / 2 + 1;

    RealFFT1024();

    // X[k] = sum over n of x[n] e^(-2 pi i k n / 1024) for k = 0 .. 512 (unnormalised), as real
    // and imaginary parts.
    void Transform(const float* x, float* re, float* im);

private:
    static constexpr int32_t kHalf = kSize / 2; // the complex transform's size

    // Real and imaginary parts kept apart so that the butterflies vectorise.
    std::vector<float> WorkRe, WorkIm;       // kHalf values
    std::vector<float> TwiddleRe, TwiddleIm; // per stage, e^(-2 pi i j / size) for j < size / 2
    std::vector<float> UnpackRe, UnpackIm;   // e^(-2 pi i k / 1024), k <= 256
    std::vector<int32_t> Reversed;           // bit reversal of 9-bit indices
};

} // namespace quillset::mpa
