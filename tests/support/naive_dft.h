#pragma once
// An independent oracle for the FFT engine: the discrete Fourier transform by
// its defining O(N²) sum, in long double, and error measures against it.

#include <complex>
#include <cstdint>
#include <vector>

namespace lattice_bubble::testing {

using LongComplex = std::complex<long double>;

// X_k = Σ_j x_j·exp(s·2πi·jk/N), s = +1 for sign ≥ 0, −1 for sign < 0.
std::vector<LongComplex> naive_dft(const std::vector<LongComplex>& x, int sign);

// The same over an n1 × n2 array stored row by row (element (j1, j2) at j1·n2 + j2).
std::vector<LongComplex> naive_dft_2d(const std::vector<LongComplex>& x, int n1, int n2, int sign);

// count complex values with parts uniform in [−1, 1), reproducible from seed.
std::vector<LongComplex> random_values(int count, std::uint64_t seed);

// Interleaved doubles (re, im, re, im, …) from complex values, and back.
std::vector<double> interleave(const std::vector<LongComplex>& values);
std::vector<LongComplex> deinterleave(const double* data, int count);

// sqrt(Σ|got − exact|² / Σ|exact|²)
double relative_rms_error(const std::vector<LongComplex>& got, const std::vector<LongComplex>& exact);

// True when the two arrays hold the same bit patterns.
bool same_bits(const double* a, const double* b, int count);

}  // namespace lattice_bubble::testing
