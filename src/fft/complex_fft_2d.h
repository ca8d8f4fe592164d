#pragma once
// Two-dimensional complex FFT, radix 4, in place, on an array of row pointers.

namespace lattice_bubble {

// rows: n1 pointers (n1 a power of two ≥ 1), each to n2 doubles holding
// N2 = n2/2 interleaved complex values (n2 a power of two ≥ 2); element
// (j1, j2) is at rows[j1][2·j2]. On return, unscaled and in natural order,
//   X(k1, k2) = Σ_{j1, j2} x(j1, j2)·exp(±2πi·(j1·k1/n1 + j2·k2/N2)),
// with the sign convention of complex_fft.h. Each row is transformed over
// its columns first (the sums over j2), then each column over its rows; the
// other order gives other last bits.
//
// The table is rebuilt (nt = n/4, n = max(2·n1, n2)) only when
// n > 4·index_work[0]. index_work needs 2 + m ints, m the largest power of two
// with m·m ≤ max(n1, N2); twiddle needs n/4 doubles. Rows are reached only
// through the pointers, which are never changed.
//
// n1 ≤ 0 or n2 ≤ 1 describes no element: nothing is touched. Otherwise an n1
// or n2 that is not a power of two, or more than 2^29 rows, is the caller's
// error: before any memory is touched it throws Failure("complex_fft_2d: n1 =
// <n1> is not a power of two", or the like for n2). The work arrays' lengths
// cannot be checked.
void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle);

}  // namespace lattice_bubble
