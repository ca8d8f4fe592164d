#pragma once
// Complex FFTs of any size, 1-D and 2-D, in place on interleaved doubles,
// unscaled, with the sign convention of complex_fft.h:
//   X_k = Σ_j x_j·exp(±2πi·jk/N),   + for a sign ≥ 0, − below.
// Powers of two go to complex_fft and complex_fft_2d as they are (their
// bits). Other sizes go through passes of radix 4, 2, 3, 5, 7, 11 and 13 in
// Stockham's self-sorting order (engine/mixed_radix.h); a size with a larger
// prime factor through Bluestein's chirp to a power-of-two transform of
// M ≥ 2N − 1 points: with c_j = e^{+iπj²/N},
//   X_k = c_k·Σ_j (x_j·c_j)·conj(c_{k−j}),
// the sum a cyclic convolution of length M by two power-of-two transforms;
// the negative sign is the conjugate of the positive transform of conj(x).
//
// Its plan (the factors, the twiddles, the chirp and the scratch) lives in two
// caller-owned work arrays of the lengths general_fft_work_sizes gives: the
// first call builds it, and every later call of the same size reuses it with
// the bits a fresh plan gives. The engine keeps nothing of its own, so calls
// on distinct work arrays may run on any number of threads at once.

#include <cstddef>

namespace lattice_bubble {

inline constexpr int largest_general_points = 1 << 24;

struct GeneralFftWorkSizes {
    std::size_t ints = 0;     // index_work
    std::size_t doubles = 0;  // work
};

// The work arrays of a 1-D transform of `points` values, and of a 2-D one of
// `rows` × `columns` values (each row `columns` values).
[[nodiscard]] GeneralFftWorkSizes general_fft_work_sizes(int points);
[[nodiscard]] GeneralFftWorkSizes general_fft_work_sizes_2d(int rows, int columns);

// The transform of `points` values at a (2·points doubles), in place. Before
// the first call of a pair of work arrays, set index_work[0] = 0.
//
// 1 ≤ points ≤ largest_general_points; another size is refused with a Failure
// (common/failure.h) before any memory is touched.
void general_fft(int points, int sign, double* a, int* index_work, double* work);

// The 2-D transform of rows[0 … rows − 1], each `columns` values, in place:
// X(k1, k2) = Σ x(j1, j2)·exp(±2πi·(j1·k1/rows + j2·k2/columns)), each row
// over its columns first, then each column over its rows, as complex_fft_2d
// does (which both powers of two go to). A row is transformed as general_fft
// transforms it; the columns run side by side through the passes of every
// radix (no split to the power-of-two kernels), or with a prime factor above
// 13 one at a time by the chirp.
void general_fft_2d(int rows, int columns, int sign, double** row_pointers, int* index_work, double* work);

}  // namespace lattice_bubble
