// The 1-D stages and the 2-D passes built for AVX-512F. This translation unit
// alone is compiled with -mavx512f (never with FMA): its lanes do the same IEEE
// operations as the SSE2 ones, four butterflies at a time. Nothing here may
// run before the caller has checked that the processor has AVX-512F. The 1-D
// first stage, whose spans are too short for these lanes, stays in AVX.

#define LATTICE_BUBBLE_FFT_COMPILING_AVX512_UNIT 1

#include "fft/detail/avx_stages.h"

#include "fft/detail/passes_2d.h"
#include "fft/detail/stages.h"
#include "fft/detail/tiles_avx512.h"

namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX512_ENTRIES {

namespace avx512 = ::lattice_bubble::LATTICE_BUBBLE_FFT_ABI::fft_detail;

void radix4_stage(int begin, int end, int l, double* a, const double* twiddle) {
    avx512::radix4_stage(begin, end, l, a, twiddle);
}

void radix4_stage_pair(int begin, int end, int l, double* a, const double* twiddle) {
    avx512::radix4_stage_pair(begin, end, l, a, twiddle);
}

void last_two_stages(int n, int sign, int l, double* a, const double* twiddle) {
    if (sign >= 0) {
        avx512::last_two_stages<avx512::Positive, avx512::PlainLast<avx512::Positive>>(n, l, a, twiddle);
    } else {
        avx512::last_two_stages<avx512::Positive, avx512::BackwardLast>(n, l, a, twiddle);
    }
}

void reverse_and_first_stage_forward(int n, double* a, const double* twiddle) {
    avx512::reverse_and_first_stage<avx512::Positive, false, 1>(n, &a, 1, twiddle);
}

void reverse_and_first_stage_backward(int n, double* a, const double* twiddle) {
    avx512::reverse_and_first_stage<avx512::Positive, true, 1>(n, &a, 1, twiddle);
}

void final_stage_forward(int n, int l, double* a) { avx512::final_stage_forward(n, l, a); }

void final_stage_backward(int n, int l, double* a) { avx512::final_stage_backward(n, l, a); }

void row_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
    avx512::row_pass<avx512::Positive>(n1, n2, rows, twiddle);
}

void row_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
    avx512::row_pass<avx512::Negative>(n1, n2, rows, twiddle);
}

void column_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
    avx512::column_pass<avx512::Positive>(n1, n2, rows, twiddle);
}

void column_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
    avx512::column_pass<avx512::Negative>(n1, n2, rows, twiddle);
}

void row_pass_reversing_positive(int n1, int n2, double** rows, const double* twiddle) {
    avx512::row_pass_reversing<avx512::Positive>(n1, n2, rows, twiddle);
}

void row_pass_reversing_negative(int n1, int n2, double** rows, const double* twiddle) {
    avx512::row_pass_reversing<avx512::Negative>(n1, n2, rows, twiddle);
}

void column_pass_by_rows_positive(int n1, int n2, double** rows, const double* twiddle) {
    avx512::column_pass_by_rows<avx512::Positive>(n1, n2, rows, twiddle);
}

void column_pass_by_rows_negative(int n1, int n2, double** rows, const double* twiddle) {
    avx512::column_pass_by_rows<avx512::Negative>(n1, n2, rows, twiddle);
}

void exchange_rows(int n2, double* r, double* s) {
    for (int c = 0; c < n2; c += avx512::lane_doubles) {
        const avx512::Cx x = avx512::load(r + c);
        const avx512::Cx y = avx512::load(s + c);
        avx512::store(r + c, y);
        avx512::store(s + c, x);
    }
}

void column_pass_of_few_columns(int n1, int n2, int sign, double** rows, const double* twiddle) {
    if (n2 == 16) {
        if (sign >= 0) {
            avx512::column_pass_of_few_columns<avx512::Positive, 8>(n1, rows, twiddle);
        } else {
            avx512::column_pass_of_few_columns<avx512::Negative, 8>(n1, rows, twiddle);
        }
    } else if (sign >= 0) {
        avx512::column_pass_of_few_columns<avx512::Positive, 16>(n1, rows, twiddle);
    } else {
        avx512::column_pass_of_few_columns<avx512::Negative, 16>(n1, rows, twiddle);
    }
}

}  // namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX512_ENTRIES
