// Double-precision 8x8 DCT used as the accuracy yardstick of the transform tests. Pixel blocks
// are row-major (row y, column x); coefficient blocks are in the transposed order of the kernels
// (horizontal frequency u, vertical frequency v at index u * 8 + v).
#pragma once

#include <cmath>

namespace quillset::testing {

class TExactDct {
public:
    TExactDct() {
        for (int k = 0; k < 8; ++k)
            for (int n = 0; n < 8; ++n)
                basis_[k][n] = (k == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * n + 1) * k * M_PI / 16.0);
    }

    void Forward(const double* pixels, double* coefficients) const {
        double temp[64]; // temp[y * 8 + u]: each row resolved into horizontal frequencies first
        for (int y = 0; y < 8; ++y)
            for (int u = 0; u < 8; ++u) {
                double sum = 0;
                for (int x = 0; x < 8; ++x)
                    sum += pixels[y * 8 + x] * basis_[u][x];
                temp[y * 8 + u] = sum;
            }
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v) {
                double sum = 0;
                for (int y = 0; y < 8; ++y)
                    sum += temp[y * 8 + u] * basis_[v][y];
                coefficients[u * 8 + v] = sum;
            }
    }

    void Inverse(const double* coefficients, double* pixels) const {
        double temp[64]; // temp[u * 8 + y]: the vertical frequencies resolved first
        for (int u = 0; u < 8; ++u)
            for (int y = 0; y < 8; ++y) {
                double sum = 0;
                for (int v = 0; v < 8; ++v)
                    sum += coefficients[u * 8 + v] * basis_[v][y];
                temp[u * 8 + y] = sum;
            }
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int u = 0; u < 8; ++u)
                    sum += temp[u * 8 + y] * basis_[u][x];
                pixels[y * 8 + x] = sum;
            }
    }

private:
    double basis_[8][8];
};

} // namespace quillset::testing
