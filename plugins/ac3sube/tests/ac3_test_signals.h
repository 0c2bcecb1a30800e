// Test signals for the AC-3 encoder tests: one frame (1536 samples) per call.
#pragma once

#include <cmath>
#include <random>
#include <vector>

namespace quillset::ac3sube::testing {

inline std::vector<double> Noise(int count, unsigned seed, double amplitude = 0.3) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-amplitude, amplitude);
    std::vector<double> x(count);
    for (double& v : x)
        v = value(random);
    return x;
}

inline std::vector<double> Sine(int count, double frequency, double rate, double amplitude = 0.5, int offset = 0) {
    std::vector<double> x(count);
    for (int i = 0; i < count; ++i)
        x[i] = amplitude * std::sin(2.0 * 3.14159265358979323846 * frequency * (i + offset) / rate);
    return x;
}

} // namespace quillset::ac3sube::testing
