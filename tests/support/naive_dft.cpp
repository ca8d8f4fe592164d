#include "support/naive_dft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace lattice_bubble::testing {
namespace {

// exp(s·2πi·r/N) for r = 0 … N − 1, each from its own reduced angle.
std::vector<LongComplex> roots(int n, int sign) {
    std::vector<LongComplex> w(static_cast<std::size_t>(n));
    const long double s = sign >= 0 ? 1.0L : -1.0L;
    for (int r = 0; r < n; ++r) {
        const long double angle = s * 2.0L * std::numbers::pi_v<long double> * r / n;
        w[r] = LongComplex(std::cos(angle), std::sin(angle));
    }
    return w;
}

}  // namespace

std::vector<LongComplex> naive_dft(const std::vector<LongComplex>& x, int sign) {
    const int n = static_cast<int>(x.size());
    const auto w = roots(n, sign);
    std::vector<LongComplex> out(x.size());
    for (int k = 0; k < n; ++k) {
        long double re = 0;
        long double im = 0;
        int r = 0;  // j·k mod n
        for (int j = 0; j < n; ++j) {
            const long double xr = x[j].real();
            const long double xi = x[j].imag();
            const long double wr = w[r].real();
            const long double wi = w[r].imag();
            re += xr * wr - xi * wi;
            im += xr * wi + xi * wr;
            r += k;
            if (r >= n) {
                r -= n;
            }
        }
        out[k] = LongComplex(re, im);
    }
    return out;
}

// Separable: the 1-D sum over every row, then over every column.
std::vector<LongComplex> naive_dft_2d(const std::vector<LongComplex>& x, int n1, int n2, int sign) {
    std::vector<LongComplex> out(x.size());
    for (int j1 = 0; j1 < n1; ++j1) {
        const std::vector<LongComplex> row(x.begin() + j1 * n2, x.begin() + (j1 + 1) * n2);
        const auto transformed = naive_dft(row, sign);
        std::copy(transformed.begin(), transformed.end(), out.begin() + j1 * n2);
    }
    for (int k2 = 0; k2 < n2; ++k2) {
        std::vector<LongComplex> column(static_cast<std::size_t>(n1));
        for (int j1 = 0; j1 < n1; ++j1) {
            column[j1] = out[j1 * n2 + k2];
        }
        const auto transformed = naive_dft(column, sign);
        for (int k1 = 0; k1 < n1; ++k1) {
            out[k1 * n2 + k2] = transformed[k1];
        }
    }
    return out;
}

std::vector<LongComplex> random_values(int count, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<LongComplex> values(static_cast<std::size_t>(count));
    for (auto& v : values) {
        const double re = u(rng);
        const double im = u(rng);
        v = LongComplex(re, im);
    }
    return values;
}

std::vector<double> interleave(const std::vector<LongComplex>& values) {
    std::vector<double> data;
    data.reserve(2 * values.size());
    for (const auto& v : values) {
        data.push_back(static_cast<double>(v.real()));
        data.push_back(static_cast<double>(v.imag()));
    }
    return data;
}

std::vector<LongComplex> deinterleave(const double* data, int count) {
    std::vector<LongComplex> values(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c) {
        values[c] = LongComplex(data[2 * c], data[2 * c + 1]);
    }
    return values;
}

double relative_rms_error(const std::vector<LongComplex>& got, const std::vector<LongComplex>& exact) {
    long double diff = 0;
    long double norm = 0;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        diff += std::norm(got[i] - exact[i]);
        norm += std::norm(exact[i]);
    }
    return static_cast<double>(std::sqrt(diff / norm));
}

bool same_bits(const double* a, const double* b, int count) {
    return count == 0 || std::memcmp(a, b, sizeof(double) * static_cast<std::size_t>(count)) == 0;
}

}  // namespace lattice_bubble::testing
