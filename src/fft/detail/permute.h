#pragma once
// Private to the FFT engine: moving complex values of an interleaved array,
// and the check of the sizes the callers pass.

#include "fft/detail/lanes.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {

// The index list of the bit-reversal permutations: starting from l = length
// and m = 1, while (m << shift) < l, l is halved and scratch[m … 2m − 1] =
// scratch[0 … m − 1] + l, then m doubles; so scratch[j] is the position of the
// bit reverse of j, in the permutation's own units. Returns m; l is left at its
// last value, which tells the permutation which of its two cases applies.
inline int reversal_offsets(int* scratch, int& l, int shift) {
    scratch[0] = 0;
    int m = 1;
    while ((m << shift) < l) {
        l >>= 1;
        for (int j = 0; j < m; ++j) {
            scratch[m + j] = scratch[j] + l;
        }
        m <<= 1;
    }
    return m;
}

constexpr bool is_power_of_two(int value) { return value > 0 && (value & (value - 1)) == 0; }

// A size the engine cannot transform is the caller's error, caught before any
// memory is touched: one line on standard error, then abort, so that a debugger
// or a core dump shows the caller.
[[noreturn]] void size_error(const char* function, const char* name, int value, const char* problem);

// Exchanges the complex values that start at doubles p and q.
inline void exchange(double* a, int p, int q) {
    const Cx x = load(a + p);
    const Cx y = load(a + q);
    store(a + p, y);
    store(a + q, x);
}

// Puts the conjugate of each value in the other's place.
inline void cross_conj(double* a, int p, int q) {
    const Cx x = load(a + p);
    const Cx y = load(a + q);
    store(a + p, neg_im(y));
    store(a + q, neg_im(x));
}

// Conjugates the value that starts at double p.
inline void negate_imag(double* a, int p) { a[p + 1] = -a[p + 1]; }

}  // namespace fft_detail
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
