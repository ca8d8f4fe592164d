#pragma once
// Private to the FFT engine: the 1-D stages and the 2-D passes compiled for AVX
// (fft/avx_stages.cpp), two butterflies per instruction, and for AVX-512F
// (fft/avx512_stages.cpp), four. Call the AVX ones only where avx_available()
// says so, the 1-D stages only with spans l ≥ 4 doubles, the row passes only
// with an even number of columns (n2 a multiple of 4) and the column passes
// only with an even number of rows. Call the AVX-512 ones only where
// avx512_available() says so, with spans l ≥ 8 doubles, a multiple of four
// columns (n2 of 8) for a row pass and of four rows for a column pass.

#include "fft/fft_abi.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {
// Whether the AVX functions below may run: this build carries them and the
// processor (and its operating system) has AVX. Asked once, and inline: the
// small transforms ask several times per call. Not for the AVX units, which
// run only once it has been asked.
#if !defined(LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT) && !defined(LATTICE_BUBBLE_FFT_COMPILING_AVX512_UNIT)
inline bool avx_available() {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX)
#if !defined(__GNUC__)
#error "the run-time check for AVX is written for GCC and Clang"
#endif
    // The processor's AVX flag and the operating system's saving of the
    // 256-bit registers, both checked by the compiler's runtime.
    static const bool available = __builtin_cpu_supports("avx");
    return available;
#else
    return false;
#endif
}

// The same for the AVX-512F functions (a processor with them has AVX too):
// the flag, and the operating system's saving of the 512-bit registers and
// the mask registers.
inline bool avx512_available() {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    static const bool available = __builtin_cpu_supports("avx512f");
    return available;
#else
    return false;
#endif
}
#endif
}  // namespace fft_detail
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble

namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX_ENTRIES {

void radix4_stage(int begin, int end, int l, double* a, const double* twiddle);
void first_stage_twiddled_blocks(int begin, int end, double* a, const double* twiddle);
void final_stage_forward(int n, int l, double* a);
void final_stage_backward(int n, int l, double* a);
void row_pass_positive(int n1, int n2, double** rows, const double* twiddle);
void row_pass_negative(int n1, int n2, double** rows, const double* twiddle);
void column_pass_positive(int n1, int n2, double** rows, const double* twiddle);
void column_pass_negative(int n1, int n2, double** rows, const double* twiddle);

}  // namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX_ENTRIES

namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX512_ENTRIES {

void radix4_stage(int begin, int end, int l, double* a, const double* twiddle);
// The stages of spans l and 4l in one pass, over a range of multiples of 32l.
void radix4_stage_pair(int begin, int end, int l, double* a, const double* twiddle);
// The bit reversal (conjugating for the backward transform) and the first
// stage in one pass; n ≥ 64.
void reverse_and_first_stage_forward(int n, double* a, const double* twiddle);
void reverse_and_first_stage_backward(int n, double* a, const double* twiddle);
// The last twiddled stage (span l, with n = 8l or 16l) and the last stage in
// one pass, of the forward (sign ≥ 0) or the backward transform.
void last_two_stages(int n, int sign, int l, double* a, const double* twiddle);
void final_stage_forward(int n, int l, double* a);
void final_stage_backward(int n, int l, double* a);
void row_pass_positive(int n1, int n2, double** rows, const double* twiddle);
void row_pass_negative(int n1, int n2, double** rows, const double* twiddle);
void column_pass_positive(int n1, int n2, double** rows, const double* twiddle);
void column_pass_negative(int n1, int n2, double** rows, const double* twiddle);
// The column pass row by row from columns in natural order, each row's bit
// reversal done with its first stage; n2 ≥ 64, any n1.
void column_pass_by_rows_positive(int n1, int n2, double** rows, const double* twiddle);
void column_pass_by_rows_negative(int n1, int n2, double** rows, const double* twiddle);
// The row pass from rows in natural order, the rows' bit reversal done with
// its first stage; n1 ≥ 32, n2 a multiple of 8.
void row_pass_reversing_positive(int n1, int n2, double** rows, const double* twiddle);
void row_pass_reversing_negative(int n1, int n2, double** rows, const double* twiddle);
// The column pass of 8 or 16 columns (n2 = 16 or 32) from columns in natural
// order, n1 a multiple of four, with the fused kernels; sign as for the
// transform.
void column_pass_of_few_columns(int n1, int n2, int sign, double** rows, const double* twiddle);
// Exchanges the contents of two rows of n2 doubles, n2 a multiple of 8.
void exchange_rows(int n2, double* r, double* s);

}  // namespace lattice_bubble::LATTICE_BUBBLE_FFT_AVX512_ENTRIES

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_avx = ::lattice_bubble::LATTICE_BUBBLE_FFT_AVX_ENTRIES;
namespace fft_avx512 = ::lattice_bubble::LATTICE_BUBBLE_FFT_AVX512_ENTRIES;
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
