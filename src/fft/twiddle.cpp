#include "fft/twiddle.h"

#include <cmath>

#include "fft/engine/reversal.h"

namespace lattice_bubble {

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
    fft_engine::bit_reverse<fft_engine::Positive, fft_engine::PortableLanes>(n, scratch, a);
}

}  // namespace lattice_bubble
