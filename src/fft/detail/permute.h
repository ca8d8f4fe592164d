#pragma once
// Private to the FFT engine: moving complex values of an interleaved array.

#include "fft/detail/lanes.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {

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
