#pragma once
// Private to the FFT engine: the bit-reversal permutations, of one array (the
// 1-D transform and the twiddle table), of the columns of every row and of the
// rows (the 2-D transform). Values move unchanged, or conjugated (an exact sign
// flip), so any order of the moves gives the same result; lengths count
// doubles, positions are in doubles.

#include "fft/engine/butterflies.h"

namespace lattice_bubble::fft_engine {
namespace {

// The index list of the permutations: starting from l = length and m = 1,
// while (m << shift) < l, l is halved and scratch[m … 2m − 1] =
// scratch[0 … m − 1] + l, then m doubles; so scratch[j] is the position of
// the bit reverse of j, in the permutation's own units. Returns m; l is left
// at its last value, which tells the permutation which of its two cases
// applies. The list stays in the caller's index_work after the transform.
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

// The list that the 1-D permutation of the exponent's sign Dir makes (the
// conjugating one of the negative sign counts in other units).
template <class Dir>
void reversal_list(int n, int* scratch) {
    int l = n;
    reversal_offsets(scratch, l, Dir::negative ? 3 : 2);
}

// Exchanges the values that start at doubles p and q, conjugating both when
// Conjugate is set.
template <class Cx, bool Conjugate = false>
LATTICE_BUBBLE_FFT_INLINE void exchange(double* a, int p, int q) {
    const Cx x = Cx::load(a + p);
    const Cx y = Cx::load(a + q);
    store(a + p, Conjugate ? neg_im(y) : y);
    store(a + q, Conjugate ? neg_im(x) : x);
}

inline void negate_imag(double* a, int p) { a[p + 1] = -a[p + 1]; }

// Calls visit(b, rev b) once for every pair of tiles b ≤ rev b among `tiles`
// (a power of two), rev reversing log2(tiles) bits: a permutation by tiles
// maps each of the pair onto the other. rev(b + 1) follows from rev(b) by
// carrying from the top bit down.
template <class Visit>
LATTICE_BUBBLE_FFT_INLINE void for_each_tile_pair(int tiles, const Visit& visit) {
    const int top = tiles >> 1;
    for (int b = 0, rb = 0; b < tiles; ++b) {
        if (b <= rb) {
            visit(b, rb);
        }
        int bit = top;
        while ((rb & bit) != 0) {
            rb ^= bit;
            bit >>= 1;
        }
        rb |= bit;
    }
}

// Below this many doubles the array sits in the first-level cache, where the
// exchanges of single values cost less than moving whole tiles.
inline constexpr int tiled_reversal_doubles = 4096;

// The permutation of N = n/2 ≥ 16 values in tiles, each value conjugated on the
// way for the negative sign. Index c is split into (h, b, d): two high bits,
// log2 N − 4 middle bits, two low bits, so that rev(c) = (rev d, rev b, rev h).
// The 4 × 4 values with middle bits b form a tile of four rows of four
// neighbours, and the permutation maps tile b onto tile rev b: the new row h′
// of tile b holds, at d′, the old value at row rev d′, column rev h′ of tile
// rev b. A tile and its partner are read whole and written whole, every row
// one 64-byte run, so each pass over the array reads and writes every cache
// line once; the exchanges of single values at power-of-two strides would
// evict each other's lines.
template <class Dir, class Cx>
void tiled_bit_reverse(int n, double* a) {
    static constexpr ReversedOrder<4> rev;
    const int row = n >> 2;  // doubles from one high-bits row of a tile to the next
    for_each_tile_pair(n / 32, [&](int b, int rb) LATTICE_BUBBLE_FFT_LAMBDA {
        double* x = a + 8 * b;
        double* y = a + 8 * rb;
        Cx u[4][4];
        Cx v[4][4];
        for (int h = 0; h < 4; ++h) {
            for (int d = 0; d < 4; ++d) {
                u[h][d] = Cx::load(x + h * row + 2 * d);
                v[h][d] = Cx::load(y + h * row + 2 * d);
                if constexpr (Dir::negative) {
                    u[h][d] = neg_im(u[h][d]);
                    v[h][d] = neg_im(v[h][d]);
                }
            }
        }
        for (int h = 0; h < 4; ++h) {
            for (int d = 0; d < 4; ++d) {
                store(x + h * row + 2 * d, v[rev.index[d]][rev.index[h]]);
                if (b != rb) {
                    store(y + h * row + 2 * d, u[rev.index[d]][rev.index[h]]);
                }
            }
        }
    });
}

// The permutation of the n/2 values of a (n ≥ 2) for the exponent's sign Dir:
// the negative sign conjugates every value, each exactly once (n ≥ 8).
template <class Dir, class Cx>
void bit_reverse(int n, int* scratch, double* a) {
    int l = n;
    const int m = reversal_offsets(scratch, l, Dir::negative ? 3 : 2);
    const int m2 = 2 * m;
    if (n >= tiled_reversal_doubles) {
        tiled_bit_reverse<Dir, Cx>(n, a);
    } else if constexpr (!Dir::negative) {
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                const int p = 2 * j + scratch[k];
                const int q = 2 * k + scratch[j];
                exchange<Cx>(a, p, q);
                if ((m << 2) <= l) {
                    exchange<Cx>(a, p + m2, q + m2);
                }
            }
        }
    } else if ((m << 3) == l) {
        for (int k = 0; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                const int p = 2 * j + scratch[k];
                const int q = 2 * k + scratch[j];
                exchange<Cx, true>(a, p, q);
                exchange<Cx, true>(a, p + m2, q + 2 * m2);
                exchange<Cx, true>(a, p + 2 * m2, q + m2);
                exchange<Cx, true>(a, p + 3 * m2, q + 3 * m2);
            }
            const int q = 2 * k + scratch[k];
            negate_imag(a, q);
            exchange<Cx, true>(a, q + m2, q + 2 * m2);
            negate_imag(a, q + 3 * m2);
        }
    } else {
        negate_imag(a, 0);
        negate_imag(a, m2);
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                const int p = 2 * j + scratch[k];
                const int q = 2 * k + scratch[j];
                exchange<Cx, true>(a, p, q);
                exchange<Cx, true>(a, p + m2, q + m2);
            }
            const int q = 2 * k + scratch[k];
            negate_imag(a, q);
            negate_imag(a, q + m2);
        }
    }
}

// Every row of n2 doubles into bit-reversed column order, each by the 1-D
// permutation. With move_data false only the index list is made: a pass that
// reads its inputs in bit-reversed order does the moves itself.
template <class Cx>
void bit_reverse_columns(int n1, int n2, int* scratch, double** rows, bool move_data) {
    if (!move_data) {
        reversal_list<Positive>(n2, scratch);
    }
    for (int i = 0; i < n1 && move_data; ++i) {
        bit_reverse<Positive, Cx>(n2, scratch, rows[i]);
    }
}

// The rows into bit-reversed order: their contents move, the pointers stay.
// With move_data false only the index list is made.
template <class Cx>
void bit_reverse_rows(int n1, int n2, int* scratch, double** rows, bool move_data) {
    int l = n1;
    const int m = reversal_offsets(scratch, l, 1);
    const auto exchange_rows = [n2](double* r, double* s) LATTICE_BUBBLE_FFT_LAMBDA {
        in_widest_lanes<Cx>(n2 / 2, [&]<class Lanes>() LATTICE_BUBBLE_FFT_LAMBDA {
            for (int c = 0; c < n2; c += 2 * Lanes::values) {
                const Lanes x = Lanes::load(r + c);
                store(r + c, Lanes::load(s + c));
                store(s + c, x);
            }
        });
    };
    for (int k = 1; k < m && move_data; ++k) {
        for (int j = 0; j < k; ++j) {
            const int p = j + scratch[k];
            const int q = k + scratch[j];
            exchange_rows(rows[p], rows[q]);
            if ((m << 1) == l) {
                exchange_rows(rows[p + m], rows[q + m]);
            }
        }
    }
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
