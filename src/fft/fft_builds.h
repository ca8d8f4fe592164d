#pragma once
// The engine's entry points as another build of the same sources declares them
// (see fft_abi.h), for code that links several builds side by side and calls
// each by its namespace, as the tests do. The program itself never needs this:
// complex_fft.h and complex_fft_2d.h name the build it is linked with.

#include "fft/fft_abi.h"

// Declares complex_fft, complex_fft_2d and fft_path in lattice_bubble::build.
#define LATTICE_BUBBLE_FFT_DECLARE_BUILD(build)                                                     \
    namespace lattice_bubble::build {                                                               \
    void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle);                 \
    void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle); \
    FftPath fft_path();                                                                             \
    }
