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

// Steps r through the bit reverses of 0, 1, 2, … over `bits` bits: from
// rev(b) to rev(b + 1), with top = 2^(bits − 1) (0 for no bits).
inline int next_reversed(int r, int top) {
    int bit = top;
    while ((r & bit) != 0) {
        r ^= bit;
        bit >>= 1;
    }
    return r | bit;
}

// The bit-reversal permutation of the N = n/2 ≥ 16 complex values of a, in
// tiles, each value conjugated on the way when Conj is set. Index c is split
// into (h, b, d): two high bits, log2 N − 4 middle bits, two low bits, so that
// rev(c) = (rev d, rev b, rev h). The 4 × 4 values with middle bits b form a
// tile of four rows of four neighbours, and the permutation maps tile b onto
// tile rev b: the new row h′ of tile b holds, at d′, the old value at row
// rev d′, column rev h′ of tile rev b. A tile and its partner are read whole
// and written whole, every row one 64-byte run, so each pass over the array
// reads and writes every cache line once; the element-wise exchanges of a
// power-of-two-strided permutation would instead evict each other's lines.
// The values themselves move unchanged (or conjugated, an exact sign flip),
// so the result is that of any other order of the moves.
// Below 2048 values the array sits in the first-level cache, where the
// element-wise exchanges cost less than moving whole tiles.
inline constexpr int tiled_reversal_doubles = 4096;

template <bool Conj>
void tiled_bit_reverse(int n, double* a) {
    constexpr int rev2[4] = {0, 2, 1, 3};
    const int row = n >> 2;  // doubles from one high-bits row of a tile to the next
    int tiles = 1;
    while (16 * tiles < n / 2) {
        tiles <<= 1;
    }
    const int top = tiles >> 1;
    int rb = 0;
    for (int b = 0; b < tiles; b++, rb = next_reversed(rb, top)) {
        if (b > rb) {
            continue;
        }
        double* x = a + 8 * b;
        double* y = a + 8 * rb;
        Cx u[4][4];
        Cx v[4][4];
        for (int h = 0; h < 4; ++h) {
            for (int d = 0; d < 4; ++d) {
                u[h][d] = load(x + h * row + 2 * d);
                v[h][d] = load(y + h * row + 2 * d);
                if constexpr (Conj) {
                    u[h][d] = neg_im(u[h][d]);
                    v[h][d] = neg_im(v[h][d]);
                }
            }
        }
        for (int h = 0; h < 4; ++h) {
            for (int d = 0; d < 4; ++d) {
                store(x + h * row + 2 * d, v[rev2[d]][rev2[h]]);
                if (b != rb) {
                    store(y + h * row + 2 * d, u[rev2[d]][rev2[h]]);
                }
            }
        }
    }
}

}  // namespace fft_detail
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
