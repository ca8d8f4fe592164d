// The 2-D transform: bit-reverse the columns of every row, then the rows, then
// radix-4 passes over the column index of every row and over the row index of
// every column. The negative exponent runs the same passes with every twiddle
// factor conjugated.

#include "fft/complex_fft_2d.h"

#include "fft/detail/avx_stages.h"
#include "fft/detail/passes_2d.h"
#include "fft/detail/permute.h"
#include "fft/twiddle.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace {

using fft_detail::Cx;
using fft_detail::load;
using fft_detail::store;

// Every row into bit-reversed column order (positions counted in doubles).
// With move_data false only the scratch index list is made: a pass that reads
// its inputs in bit-reversed order does the moves itself.
void bit_reverse_columns(int n1, int n2, int* scratch, double** rows, bool move_data) {
    using fft_detail::exchange;
    int l = n2;
    const int m = fft_detail::reversal_offsets(scratch, l, 2);
    if (!move_data) {
        return;
    }
    if ((m << 2) > l) {
        for (int i = 0; i < n1; ++i) {
            double* row = rows[i];
            for (int k = 1; k < m; ++k) {
                for (int j = 0; j < k; ++j) {
                    exchange(row, scratch[k] + 2 * j, scratch[j] + 2 * k);
                }
            }
        }
    } else {
        const int m2 = 2 * m;
        for (int i = 0; i < n1; ++i) {
            double* row = rows[i];
            for (int k = 1; k < m; ++k) {
                for (int j = 0; j < k; ++j) {
                    const int p = scratch[k] + 2 * j;
                    const int q = scratch[j] + 2 * k;
                    exchange(row, p, q);
                    exchange(row, p + m2, q + m2);
                }
            }
        }
    }
}

void exchange_rows(int n2, double* r, double* s) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    if (n2 % 8 == 0 && fft_detail::avx512_available()) {
        fft_avx512::exchange_rows(n2, r, s);  // 64 bytes per move
        return;
    }
#endif
    for (int c = 0; c < n2; c += 2) {
        const Cx x = load(r + c);
        const Cx y = load(s + c);
        store(r + c, y);
        store(s + c, x);
    }
}

// The rows into bit-reversed order; their contents move, the pointers stay.
// With move_data false only the scratch index list is made.
void bit_reverse_rows(int n1, int n2, int* scratch, double** rows, bool move_data) {
    int l = n1;
    const int m = fft_detail::reversal_offsets(scratch, l, 1);
    if (!move_data) {
        return;
    }
    const bool odd = (m << 1) == l;
    for (int k = 1; k < m; ++k) {
        for (int j = 0; j < k; ++j) {
            const int p = j + scratch[k];
            const int q = k + scratch[j];
            exchange_rows(n2, rows[p], rows[q]);
            if (odd) {
                exchange_rows(n2, rows[p + m], rows[q + m]);
            }
        }
    }
}

using fft_detail::Negative;
using fft_detail::Positive;

using PassFunction = void (*)(int, int, double**, const double*);

// A pass in the widest lanes that the processor has and the shape allows: a
// row pass takes two (AVX) or four (AVX-512) columns per instruction, a column
// pass two or four rows, so the count of the lines must be a multiple of that.
// `avx512` and `avx` are null where the build carries no such code.
struct Passes {
    PassFunction avx512;
    PassFunction avx;
    PassFunction portable;
};

LATTICE_BUBBLE_FFT_INLINE void run_pass(const Passes& pass, int lines, int n1, int n2, double** rows,
                                        const double* twiddle) {
    if (pass.avx512 != nullptr && lines % 4 == 0 && fft_detail::avx512_available()) {
        pass.avx512(n1, n2, rows, twiddle);
    } else if (pass.avx != nullptr && lines % 2 == 0 && fft_detail::avx_available()) {
        pass.avx(n1, n2, rows, twiddle);
    } else {
        pass.portable(n1, n2, rows, twiddle);
    }
}

#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX)
#define LATTICE_BUBBLE_FFT_AVX_PASS(name) (&fft_avx::name)
#else
#define LATTICE_BUBBLE_FFT_AVX_PASS(name) nullptr
#endif
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
#define LATTICE_BUBBLE_FFT_AVX512_PASS(name) (&fft_avx512::name)
#else
#define LATTICE_BUBBLE_FFT_AVX512_PASS(name) nullptr
#endif
#define LATTICE_BUBBLE_FFT_PASSES(name, portable) \
    Passes { LATTICE_BUBBLE_FFT_AVX512_PASS(name), LATTICE_BUBBLE_FFT_AVX_PASS(name), portable }

// Where the processor has AVX-512F, a row of 32 columns or more goes through
// the column pass on its own, its bit reversal done with its first stage, so
// the driver leaves the columns where they are.
bool column_pass_by_rows(int n2) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    return fft_detail::fused_kernels && n2 >= 64 && fft_detail::avx512_available();
#else
    static_cast<void>(n2);
    return false;
#endif
}

#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
// Where the processor has AVX-512F, 8 or 16 columns of four rows at a time
// go through the fused kernels transposed in registers.
bool few_columns_transposed(int n1, int n2) {
    return fft_detail::fused_kernels && (n2 == 16 || n2 == 32) && n1 % 4 == 0 && fft_detail::avx512_available();
}
#endif

void fft2d_column_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    if (column_pass_by_rows(n2)) {
        fft_avx512::column_pass_by_rows_positive(n1, n2, rows, twiddle);
        return;
    }
    if (few_columns_transposed(n1, n2)) {
        fft_avx512::column_pass_of_few_columns(n1, n2, 1, rows, twiddle);
        return;
    }
#endif
    run_pass(LATTICE_BUBBLE_FFT_PASSES(column_pass_positive, fft_detail::column_pass<Positive>), n1, n1, n2,
             rows, twiddle);
}
// Where the processor has AVX-512F, from 32 rows on, the row pass reads the
// rows in natural order and does their bit reversal with its first stage, as
// long as the 32 rows of a tile pair fit in 32 KiB of cache (n2 ≤ 128): wider
// rows are faster moved by the plain row reversal.
bool row_pass_reverses(int n1, int n2) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    return fft_detail::fused_kernels && n1 >= 32 && n2 % 8 == 0 && n2 <= 128 && fft_detail::avx512_available();
#else
    static_cast<void>(n1), static_cast<void>(n2);
    return false;
#endif
}

void fft2d_row_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    if (row_pass_reverses(n1, n2)) {
        fft_avx512::row_pass_reversing_positive(n1, n2, rows, twiddle);
        return;
    }
#endif
    run_pass(LATTICE_BUBBLE_FFT_PASSES(row_pass_positive, fft_detail::row_pass<Positive>), n2 / 2, n1, n2, rows,
             twiddle);
}
void fft2d_column_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    if (column_pass_by_rows(n2)) {
        fft_avx512::column_pass_by_rows_negative(n1, n2, rows, twiddle);
        return;
    }
    if (few_columns_transposed(n1, n2)) {
        fft_avx512::column_pass_of_few_columns(n1, n2, -1, rows, twiddle);
        return;
    }
#endif
    run_pass(LATTICE_BUBBLE_FFT_PASSES(column_pass_negative, fft_detail::column_pass<Negative>), n1, n1, n2,
             rows, twiddle);
}
void fft2d_row_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    if (row_pass_reverses(n1, n2)) {
        fft_avx512::row_pass_reversing_negative(n1, n2, rows, twiddle);
        return;
    }
#endif
    run_pass(LATTICE_BUBBLE_FFT_PASSES(row_pass_negative, fft_detail::row_pass<Negative>), n2 / 2, n1, n2, rows,
             twiddle);
}

// 2·n1 must fit in an int.
inline constexpr int max_rows = 1 << 29;

[[noreturn]] void refuse_shape(int n1, int n2) {
    if (!fft_detail::is_power_of_two(n1)) {
        fft_detail::size_error("complex_fft_2d", "n1", n1, "is not a power of two");
    }
    if (!fft_detail::is_power_of_two(n2)) {
        fft_detail::size_error("complex_fft_2d", "n2", n2, "is not a power of two");
    }
    fft_detail::size_error("complex_fft_2d", "n1", n1, "is too large (at most 2^29 rows)");
}

}  // namespace

void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle) {
    if (n1 <= 0 || n2 <= 1) {
        return;  // no element to transform
    }
    if (((n1 & (n1 - 1)) | (n2 & (n2 - 1))) != 0 || n1 > max_rows) [[unlikely]] {
        refuse_shape(n1, n2);
    }
    int n = 2 * n1;
    if (n < n2) {
        n = n2;
    }
    if (n > (index_work[0] << 2)) {
        build_twiddle_table(n >> 2, index_work, twiddle);
    }
    // The row reversal and the column pass commute (the column pass treats
    // every row alike), so a row pass may take over the row moves.
    if (n2 > 4) {
        bit_reverse_columns(n1, n2, index_work + 2, rows,
                            !fft_detail::reverses_on_load(n2 / 2) && !column_pass_by_rows(n2));
    }
    if (n1 > 2) {
        bit_reverse_rows(n1, n2, index_work + 2, rows,
                         !fft_detail::reverses_on_load(n1) && !row_pass_reverses(n1, n2));
    }
    if (sign < 0) {
        fft2d_column_pass_negative(n1, n2, rows, twiddle);
        fft2d_row_pass_negative(n1, n2, rows, twiddle);
    } else {
        fft2d_column_pass_positive(n1, n2, rows, twiddle);
        fft2d_row_pass_positive(n1, n2, rows, twiddle);
    }
}

}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
