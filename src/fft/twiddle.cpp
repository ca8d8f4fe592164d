#include "fft/twiddle.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "fft/detail/permute.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {

void fft_detail::size_error(const char* function, const char* name, int value, const char* problem) {
    std::fprintf(stderr, "%s: %s = %d %s\n", function, name, value, problem);
    std::abort();
}

void build_twiddle_table(int nt, int* index_work, double* twiddle) {
    index_work[0] = nt;
    index_work[1] = 1;
    if (nt <= 2) {
        return;
    }
    const int half = nt >> 1;
    // half is a power of two, so step and every j·step scale exactly with the
    // table length: that is what makes a longer table extend a shorter one.
    const double step = std::atan(1.0) / half;
    twiddle[0] = 1.0;
    twiddle[1] = 0.0;
    twiddle[half] = std::cos(step * half);
    twiddle[half + 1] = twiddle[half];
    for (int j = 2; j <= half - 2; j += 2) {
        const double angle = step * j;
        const double x = std::cos(angle);
        const double y = std::sin(angle);
        twiddle[j] = x;
        twiddle[j + 1] = y;
        twiddle[nt - j] = y;
        twiddle[nt - j + 1] = x;
    }
    bit_reverse_permute(nt, index_work + 2, twiddle);
}

void bit_reverse_permute(int n, int* scratch, double* a) {
    using fft_detail::exchange;
    int l = n;
    const int m = fft_detail::reversal_offsets(scratch, l, 2);
    if (n >= fft_detail::tiled_reversal_doubles) {
        fft_detail::tiled_bit_reverse<false>(n, a);  // the same moves, cache line by cache line
    } else if ((m << 2) > l) {
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                exchange(a, 2 * j + scratch[k], 2 * k + scratch[j]);
            }
        }
    } else {
        const int m2 = 2 * m;
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                const int p = 2 * j + scratch[k];
                const int q = 2 * k + scratch[j];
                exchange(a, p, q);
                exchange(a, p + m2, q + m2);
            }
        }
    }
}

}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
