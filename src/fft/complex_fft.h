#pragma once
// One-dimensional complex FFT, radix 4, in place, on interleaved doubles.
//
// The sign convention of the whole engine: a sign ≥ 0 (zero included) is the
// positive exponent, exp(+2πi·jk/N); a sign < 0 is the negative one,
// exp(−2πi·jk/N). Inside the engine the two are Positive and Negative, and no
// transform is called forward or backward. Which kernels run:
// fft/kernel_choice.h; the work arrays' lengths: fft/work_sizes.h.

namespace lattice_bubble {

// a holds N = n/2 complex values (n a power of two, counted in doubles); on
// return it holds, in natural order and unscaled,
//   A_k = Σ_j a_j·exp(±2πi·jk/N),   + for the positive sign, − for the negative.
// So +1 followed by −1 gives N times the input.
//
// The table in twiddle is rebuilt (with nt = n/4) only when n > 4·index_work[0];
// set index_work[0] = 0 before the first call. A table built for a longer
// transform serves every shorter one with bit-identical results. twiddle needs
// n/4 doubles, index_work 2 + 2^floor((log2 n − 1)/2) ints.
//
// n ≤ 2 holds no second value: a is left as it is (n = 1 or 2 still rebuilds
// the table header when index_work[0] is 0; n ≤ 0 touches nothing). A larger
// n that is not a power of two is the caller's error: before any memory is
// touched it throws Failure("complex_fft: n = <n> is not a power of two").
// The work arrays' lengths cannot be checked.
void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle);

}  // namespace lattice_bubble
