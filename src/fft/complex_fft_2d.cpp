// The 2-D transform: bit-reverse the columns of every row, then the rows, then
// radix-4 passes over the column index of every row and over the row index of
// every column. The negative exponent runs the same passes with every twiddle
// factor conjugated.

#include "fft/complex_fft_2d.h"

#include "fft/detail/lanes.h"
#include "fft/detail/permute.h"
#include "fft/twiddle.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace {

using fft_detail::Cx;
using fft_detail::load;
using fft_detail::Opening;
using fft_detail::Quad;
using fft_detail::store;
using fft_detail::Twiddle;

// Every row into bit-reversed column order (positions counted in doubles).
// With move_data false only the scratch index list is made: a pass that reads
// its inputs in bit-reversed order does the moves itself.
void bit_reverse_columns(int n1, int n2, int* scratch, double** rows, bool move_data) {
    using fft_detail::exchange;
    scratch[0] = 0;
    int l = n2;
    int m = 1;
    while ((m << 2) < l) {
        l >>= 1;
        for (int j = 0; j < m; ++j) {
            scratch[m + j] = scratch[j] + l;
        }
        m <<= 1;
    }
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
    scratch[0] = 0;
    int l = n1;
    int m = 1;
    while ((m << 1) < l) {
        l >>= 1;
        for (int j = 0; j < m; ++j) {
            scratch[m + j] = scratch[j] + l;
        }
        m <<= 1;
    }
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

// Twiddles of block g ≥ 2: T1 = W[g]; T2 = T1², read from the table as
// (s·twiddle[g], twiddle[g + s]) with s = +1 for even g and −1 for odd g;
// T3 = T1³ by the cube formula.
struct BlockTwiddles {
    Twiddle t1;
    Twiddle t2;
    Twiddle t3;
};

inline BlockTwiddles block_twiddles(int g, const double* twiddle) {
    const double t1_re = twiddle[2 * g];
    const double t1_im = twiddle[2 * g + 1];
    const int s = (g % 2 == 0) ? 1 : -1;
    const double t2_re = s * twiddle[g];
    const double t2_im = twiddle[g + s];
    const fft_detail::ScalarPair t3 = fft_detail::cube_from(t1_re, t1_im, t2_im);
    return {fft_detail::twiddle_of(t1_re, t1_im), fft_detail::twiddle_of(t2_re, t2_im),
            fft_detail::twiddle_of(t3.re, t3.im)};
}

// The butterflies of one direction of the exponent.
struct Positive {
    static Quad plain(const Opening& e) { return fft_detail::plain_positive(e); }
    static Quad eighth(const Opening& e, Cx h) { return fft_detail::eighth_positive(e, h); }
    static Quad twiddled(const Opening& e, const BlockTwiddles& t) {
        return fft_detail::twiddled_positive(e, t.t1, t.t2, t.t3);
    }
};

struct Negative {
    static Quad plain(const Opening& e) { return fft_detail::plain_negative(e); }
    static Quad eighth(const Opening& e, Cx h) { return fft_detail::eighth_negative(e, h); }
    static Quad twiddled(const Opening& e, const BlockTwiddles& t) {
        return fft_detail::twiddled_negative(e, t.t1, t.t2, t.t3);
    }
};

// Element access of the two passes: a column pass works along one row (element
// p is column p of that row), a row pass along one column (element p is row p).
struct AlongRow {
    double* row;
    [[nodiscard]] double* at(int p, int /*column*/) const { return row + 2 * p; }
};

struct AlongColumns {
    double** rows;
    [[nodiscard]] double* at(int p, int column) const { return rows[p] + column; }
};

template <typename Exponent, typename Access>
inline void butterfly(const Access& x, int p, int span, int column, const auto& kernel) {
    double* u0 = x.at(p, column);
    double* u1 = x.at(p + span, column);
    double* u2 = x.at(p + 2 * span, column);
    double* u3 = x.at(p + 3 * span, column);
    const Opening e = fft_detail::open_butterfly(load(u0), load(u1), load(u2), load(u3));
    const Quad y = kernel(e);
    store(u0, y.y0);
    store(u2, y.y2);
    store(u1, y.y1);
    store(u3, y.y3);
}

// The pass scheme over N elements. `columns` is the number of columns each
// butterfly runs over (1 for a column pass, N2 for a row pass, innermost).
template <typename Exponent, typename Access>
void radix4_pass(const Access& x, int count, int columns, const double* twiddle) {
    const auto for_columns = [&](int p, int span, const auto& kernel) {
        for (int c = 0; c < 2 * columns; c += 2) {
            butterfly<Exponent>(x, p, span, c, kernel);
        }
    };
    int span = 1;
    while (2 * span < count) {
        const int block = 4 * span;
        for (int p = 0; p < span; ++p) {
            for_columns(p, span, [](const Opening& e) { return Exponent::plain(e); });
        }
        if (block < count) {
            const Cx h = fft_detail::splat(twiddle[2]);
            for (int p = block; p < block + span; ++p) {
                for_columns(p, span, [h](const Opening& e) { return Exponent::eighth(e, h); });
            }
            for (int g = 2; g * block <= count - block; ++g) {
                const int start = g * block;
                const BlockTwiddles t = block_twiddles(g, twiddle);
                for (int p = start; p < start + span; ++p) {
                    for_columns(p, span, [&t](const Opening& e) { return Exponent::twiddled(e, t); });
                }
            }
        }
        span = block;
    }
    if (span < count) {
        for (int p = 0; p < span; ++p) {
            for (int c = 0; c < 2 * columns; c += 2) {
                double* u = x.at(p, c);
                double* v = x.at(p + span, c);
                const Cx a = load(u);
                const Cx b = load(v);
                const Cx d = a - b;
                store(u, a + b);
                store(v, d);
            }
        }
    }
}

// Eight points are the lattice's size and get a kernel of their own: the
// inputs are read in bit-reversed order (the moves of the bit reversal), and
// the radix-4 stage (untwiddled block, eighth-turn block) and the radix-2
// stage run in registers, with the same operations as the general pass.
inline constexpr int eight = 8;
inline constexpr int reversed_eight[eight] = {0, 4, 2, 6, 1, 5, 3, 7};

template <typename Exponent, typename Access>
inline void eight_points(const Access& x, int column, Cx h) {
    Cx u[eight];
    for (int p = 0; p < eight; ++p) {
        u[p] = load(x.at(reversed_eight[p], column));
    }
    const Quad a = Exponent::plain(fft_detail::open_butterfly(u[0], u[1], u[2], u[3]));
    const Quad b = Exponent::eighth(fft_detail::open_butterfly(u[4], u[5], u[6], u[7]), h);
    store(x.at(0, column), a.y0 + b.y0);
    store(x.at(1, column), a.y1 + b.y1);
    store(x.at(2, column), a.y2 + b.y2);
    store(x.at(3, column), a.y3 + b.y3);
    store(x.at(4, column), a.y0 - b.y0);
    store(x.at(5, column), a.y1 - b.y1);
    store(x.at(6, column), a.y2 - b.y2);
    store(x.at(7, column), a.y3 - b.y3);
}

// Whether a direction of `count` points reads its inputs in bit-reversed order
// itself, so that the driver's bit reversal only makes the index list.
#if defined(LATTICE_BUBBLE_FFT_REFERENCE)
constexpr bool reverses_on_load(int /*count*/) { return false; }
#else
constexpr bool reverses_on_load(int count) { return count == eight; }
#endif

template <typename Exponent>
void column_pass(int n1, int n2, double** rows, const double* twiddle) {
    const int count = n2 / 2;
    if (reverses_on_load(count)) {
        const Cx h = fft_detail::splat(twiddle[2]);
        for (int i = 0; i < n1; ++i) {
            eight_points<Exponent>(AlongRow{rows[i]}, 0, h);
        }
        return;
    }
    for (int i = 0; i < n1; ++i) {
        radix4_pass<Exponent>(AlongRow{rows[i]}, count, 1, twiddle);
    }
}

template <typename Exponent>
void row_pass(int n1, int n2, double** rows, const double* twiddle) {
    if (reverses_on_load(n1)) {
        const Cx h = fft_detail::splat(twiddle[2]);
        const AlongColumns x{rows};
        for (int c = 0; c < n2; c += 2) {
            eight_points<Exponent>(x, c, h);
        }
        return;
    }
    radix4_pass<Exponent>(AlongColumns{rows}, n1, n2 / 2, twiddle);
}

void fft2d_column_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
    column_pass<Positive>(n1, n2, rows, twiddle);
}
void fft2d_row_pass_positive(int n1, int n2, double** rows, const double* twiddle) {
    row_pass<Positive>(n1, n2, rows, twiddle);
}
void fft2d_column_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
    column_pass<Negative>(n1, n2, rows, twiddle);
}
void fft2d_row_pass_negative(int n1, int n2, double** rows, const double* twiddle) {
    row_pass<Negative>(n1, n2, rows, twiddle);
}

}  // namespace

void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle) {
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
        bit_reverse_columns(n1, n2, index_work + 2, rows, !reverses_on_load(n2 / 2));
    }
    if (n1 > 2) {
        bit_reverse_rows(n1, n2, index_work + 2, rows, !reverses_on_load(n1));
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
