#pragma once
// Private to the FFT engine: the tables of kernels, one per lane width and
// with or without the fused kernels, each holding the whole transforms of
// both signs of the exponent. The units define them as constant data (no code
// runs to build them); kernel_choice.cpp picks one.

#include <atomic>

#include "fft/kernel_choice.h"

namespace lattice_bubble::fft_engine {

// n doubles of a (a power of two ≥ 2); scratch is index_work + 2.
using Transform1d = void (*)(int n, double* a, int* scratch, const double* twiddle);
// n1 rows of n2 doubles (powers of two, n2 ≥ 2).
using Transform2d = void (*)(int n1, int n2, double** rows, int* scratch, const double* twiddle);

inline constexpr int largest_pass_radix = 13;
inline constexpr int largest_pass_count = 32;

// One pass of a plan (fft/general_fft.cpp builds them into the caller's work arrays).
struct MixedPass {
    int radix;
    int l1;
    int ido;
    // w^{m·i} for the positive sign, e^{+2πi·m·i·l1/N}, at [(m − 1)·ido + i],
    // m = 1 … p − 1, i = 0 … ido − 1 (1 at i = 0); the negative sign takes its conjugate.
    const double* twiddle;
    // An odd radix's cos(2πk/p) and sin(2πk/p), k = 0 … p − 1, interleaved.
    const double* trig;
};

struct MixedPlan {
    int points;
    int passes;
    MixedPass pass[largest_pass_count];
};

// The passes of a plan on `width` transforms side by side (engine/mixed_radix.h),
// from a to scratch and back; returns the one that holds the result.
using MixedTransform = double* (*)(const MixedPlan& plan, double* a, double* scratch, int width);

struct KernelTable {
    FftKernels kernels;
    Transform1d positive_1d;
    Transform1d negative_1d;
    Transform2d positive_2d;
    Transform2d negative_2d;
    MixedTransform positive_mixed;
    MixedTransform negative_mixed;
};

// [0] without the fused kernels, [1] with them: scalar in
// kernels_portable.cpp; on x86-64 also sse2 there, avx and avx512 in
// kernels_avx.cpp and kernels_avx512.cpp.
extern const KernelTable scalar_tables[2];
extern const KernelTable sse2_tables[2];
extern const KernelTable avx_tables[2];
extern const KernelTable avx512_tables[2];

// The table chosen (null before the first choice), and the table to run:
// inline, as the smallest transforms take a few nanoseconds.
extern std::atomic<const KernelTable*> chosen_kernels;

inline const KernelTable& chosen_table() {
    const KernelTable* table = chosen_kernels.load(std::memory_order_acquire);
    if (table == nullptr) [[unlikely]] {
        choose_fft_kernels();
        table = chosen_kernels.load(std::memory_order_acquire);
    }
    return *table;
}

}  // namespace lattice_bubble::fft_engine
