// The 1-D stages and the 2-D passes built for AVX. This translation unit alone
// is compiled with -mavx (never with FMA): its lanes do the same IEEE
// operations as the SSE2 ones, two butterflies at a time. Nothing here may run
// before the caller has checked that the processor has AVX.

#define LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT 1

#include "fft/detail/avx_stages.h"

#include "fft/detail/passes_2d.h"
#include "fft/detail/stages.h"

namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX_ENTRIES {

namespace avx = ::lattice_bubble::LATTICE_BUBBLE_FFT_ABI::fft_detail;

void radix4_stage(int begin, int end, int l, double* a, const double* twiddle) {
    avx::radix4_stage(begin, end, l, a, twiddle);
}

void first_stage_twiddled_blocks(int begin, int end, double* a, const double* twiddle) {
    avx::first_stage_twiddled_blocks(begin, end, a, twiddle);
}

void final_stage_forward(int n, int l, double* a) { avx::final_stage_forward(n, l, a); }

void final_stage_backward(int n, int l, double* a) { avx::final_stage_backward(n, l, a); }

void row_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
    avx::row_pass<avx::Positive>(n1, n2, rows, twiddle);
}

void row_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
    avx::row_pass<avx::Negative>(n1, n2, rows, twiddle);
}

void column_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
    avx::column_pass<avx::Positive>(n1, n2, rows, twiddle);
}

void column_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
    avx::column_pass<avx::Negative>(n1, n2, rows, twiddle);
}

}  // namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX_ENTRIES
