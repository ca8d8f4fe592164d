#pragma once
// Private to the FFT engine: the 2-D transform over a lane type Cx. Every row
// goes into bit-reversed column order, then the rows into bit-reversed order;
// then a pass along the rows (each row transformed over its columns) and a
// pass along the columns (each column over its rows). Both passes run the
// radix-4 stages of the 1-D transform with the butterflies of the exponent's
// sign Dir (the negative sign conjugates the twiddles instead of the data).
// Every butterfly is applied to a whole set of independent lines, innermost,
// so that its twiddles are formed once per block; independent butterflies may
// run in any order, the values are those of the written loop nest. n1 counts
// rows, n2 the doubles of a row.

#include "fft/engine/transform_1d.h"

namespace lattice_bubble::fft_engine {
namespace {

// Kernels of the AVX-512F lanes (avx512_lanes.h), with the tiles of the 1-D
// transform: the pass along the rows from columns in natural order, row by
// row; the pass along the columns from rows in natural order; and the pass
// along rows of 8 or 16 points (Points), four rows transposed into registers.
template <class Dir, class Cx>
void pass_along_rows_reversing(int n1, int n2, double** rows, const double* twiddle);
template <class Dir, class Cx>
void pass_along_columns_reversing(int n1, int n2, double** rows, const double* twiddle);
template <class Dir, class Cx, int Points>
void pass_along_rows_transposed(int n1, double** rows, const double* twiddle);

// A kernel of the AVX lanes (avx_lanes.h): the pass along the rows from
// columns in natural order, each row's permutation read by its first stage.
template <class Dir, class Cx>
void pass_along_rows_gathering(int n1, int n2, double** rows, const double* twiddle);

template <class Cx, bool Fused>
constexpr bool rows_by_gathering(int n2) {
    return by_gathering<Cx, Fused>(n2);
}

// A pass along the columns: element p of a line is row p, and a line is a
// group of Cx::values neighbouring columns.
template <class Cx>
struct AlongColumns {
    double** rows;
    [[nodiscard]] Cx get(int p, int line) const { return Cx::load(rows[p] + line * doubles_of<Cx>); }
    void put(int p, int line, Cx v) const { store(rows[p] + line * doubles_of<Cx>, v); }
};

// A pass along the rows: element p of a line is column p, and a line is a
// group of Cx::values rows, one row per value.
template <class Cx>
struct AlongRows {
    double** rows;
    [[nodiscard]] Cx get(int p, int line) const { return Cx::load_rows(rows + Cx::values * line, 2 * p); }
    void put(int p, int line, Cx v) const { store_rows(rows + Cx::values * line, 2 * p, v); }
};

template <class Cx, class Access, class Kernel>
LATTICE_BUBBLE_FFT_INLINE void butterfly(const Access& x, int p, int span, int lines, const Kernel& kernel) {
    for (int line = 0; line < lines; ++line) {
        const Quad<Cx> y = kernel(open_butterfly(x.get(p, line), x.get(p + span, line),
                                                 x.get(p + 2 * span, line), x.get(p + 3 * span, line)));
        put_quad(y, [&](int k, Cx v) LATTICE_BUBBLE_FFT_LAMBDA { x.put(p + k * span, line, v); });
    }
}

// The tail on the elements p + k·span of one line (16 or 8 of them).
template <class Dir, int Points, class Cx, class Access>
LATTICE_BUBBLE_FFT_INLINE void tail_of_line(const Access& x, int p, int line, int span,
                                            const TailTwiddles<Cx>& t) {
    tail<Dir, PlainLast<Dir>, Points>(
        [&](int k) LATTICE_BUBBLE_FFT_LAMBDA { return x.get(p + k * span, line); }, t,
        [&](int k, Cx v) LATTICE_BUBBLE_FFT_LAMBDA { x.put(p + k * span, line, v); });
}

// The stages over `count` elements of every line, from span first_span on (a
// power of four: the earlier stages have run). With fuse_last, the last two
// stages run as one tail.
template <class Dir, class Cx, bool Fused, class Access>
void radix4_pass(const Access& x, int count, int lines, const double* twiddle, int first_span,
                 bool fuse_last) {
    int span = first_span;
    while (2 * span < count) {
        if (Fused && fuse_last && (count == 8 * span || count == 16 * span)) {
            const auto run = [&]<int Points>() LATTICE_BUBBLE_FFT_LAMBDA {
                const TailTwiddles<Cx> t = tail_twiddles<Cx, Points>(twiddle);
                for (int p = 0; p < span; ++p) {
                    for (int line = 0; line < lines; ++line) {
                        tail_of_line<Dir, Points>(x, p, line, span, t);
                    }
                }
            };
            if (count == 16 * span) {
                run.template operator()<16>();
            } else {
                run.template operator()<8>();
            }
            return;
        }
        const int block = 4 * span;
        for (int p = 0; p < span; ++p) {
            butterfly<Cx>(x, p, span, lines,
                          [](const Opening<Cx>& e) LATTICE_BUBBLE_FFT_LAMBDA { return Dir::plain(e); });
        }
        if (block < count) {
            const Cx h = Cx::splat(twiddle[2]);
            for (int p = block; p < block + span; ++p) {
                butterfly<Cx>(x, p, span, lines, [h](const Opening<Cx>& e) LATTICE_BUBBLE_FFT_LAMBDA {
                    return Dir::eighth(e, h);
                });
            }
            for (int g = 2; g * block <= count - block; ++g) {
                const BlockTwiddles<Cx> t = block_twiddles<Cx>(g, twiddle);
                for (int p = g * block; p < g * block + span; ++p) {
                    butterfly<Cx>(x, p, span, lines, [&t](const Opening<Cx>& e) LATTICE_BUBBLE_FFT_LAMBDA {
                        return Dir::twiddled(e, t);
                    });
                }
            }
        }
        span = block;
    }
    for (int p = 0; p < span && span < count; ++p) {
        for (int line = 0; line < lines; ++line) {
            const Opening<Cx> d = PlainLast<Dir>::radix2(x.get(p, line), x.get(p + span, line));
            x.put(p, line, d.e0);
            x.put(p + span, line, d.e1);
        }
    }
}

// Whether a pass of `count` points reads its inputs in bit-reversed order
// itself (the fused 8- and 16-point tails), so that the bit reversal before it
// only makes the index list.
template <bool Fused>
constexpr bool reverses_on_load(int count) {
    return Fused && (count == 8 || count == 16);
}

// One pass over `count` elements of `lines` lines.
template <class Dir, class Cx, bool Fused, class Access>
void pass(const Access& x, int count, int lines, const double* twiddle, bool fuse_last) {
    const auto reversed_tail = [&]<int Points>() LATTICE_BUBBLE_FFT_LAMBDA {
        static constexpr ReversedOrder<Points> reversed;
        const TailTwiddles<Cx> t = tail_twiddles<Cx, Points>(twiddle);
        for (int line = 0; line < lines; ++line) {
            tail<Dir, PlainLast<Dir>, Points>(
                [&](int p) LATTICE_BUBBLE_FFT_LAMBDA { return x.get(reversed.index[p], line); }, t,
                [&](int p, Cx v) LATTICE_BUBBLE_FFT_LAMBDA { x.put(p, line, v); });
        }
    };
    if (reverses_on_load<Fused>(count) && count == 8) {
        reversed_tail.template operator()<8>();
    } else if (reverses_on_load<Fused>(count)) {
        reversed_tail.template operator()<16>();
    } else {
        radix4_pass<Dir, Cx, Fused>(x, count, lines, twiddle, 1, fuse_last);
    }
}

// The rows go through the pass along the rows in bands of about 16 KiB, each
// band through all stages while it is in cache.
inline constexpr int band_doubles = 2048;

// visit(first, count) for the bands of rows of about band_doubles, one row at
// the least, that the row-by-row kernels take.
template <class Visit>
LATTICE_BUBBLE_FFT_INLINE void for_each_band(int n1, int n2, const Visit& visit) {
    int band = band_doubles / n2;
    band = band < 1 ? 1 : (band > n1 ? n1 : band);
    for (int first = 0; first < n1; first += band) {
        visit(first, n1 - first < band ? n1 - first : band);
    }
}

template <class Dir, class Cx, bool Fused>
void pass_along_rows(int n1, int n2, double** rows, const double* twiddle) {
    if constexpr (Fused && four_wide<Cx>) {
        if (n2 >= 64) {
            pass_along_rows_reversing<Dir, Cx>(n1, n2, rows, twiddle);
            return;
        }
        if ((n2 == 16 || n2 == 32) && n1 % 4 == 0) {
            if (n2 == 16) {
                pass_along_rows_transposed<Dir, Cx, 8>(n1, rows, twiddle);
            } else {
                pass_along_rows_transposed<Dir, Cx, 16>(n1, rows, twiddle);
            }
            return;
        }
    }
    if constexpr (Fused && Cx::values == 2) {
        if (rows_by_gathering<Cx, Fused>(n2)) {
            pass_along_rows_gathering<Dir, Cx>(n1, n2, rows, twiddle);
            return;
        }
    }
    in_widest_lanes<Cx>(n1, [&]<class Lanes>() LATTICE_BUBBLE_FFT_LAMBDA {
        int band = band_doubles / n2;
        band = band < Lanes::values ? Lanes::values : (band > n1 ? n1 : band);
        for (int first = 0; first < n1; first += band) {
            pass<Dir, Lanes, Fused>(AlongRows<Lanes>{rows + first}, n2 / 2, band / Lanes::values, twiddle,
                                    false);
        }
    });
}

// The last two stages of the pass along the columns run as one tail over
// sixteen (or eight) rows at a time, `span` rows apart, as long as those rows
// lie at most 2 KiB apart: at 4 KiB or a multiple of it they would all fall
// into one set of the first-level cache, more of them than it has ways.
constexpr bool columns_fuse_last(int n1, int n2) {
    int span = 1;
    while (16 * span < n1) {
        span *= 4;
    }
    return span * n2 <= 256;
}

// Whether the AVX-512F lanes take the rows' bit reversal into the pass along
// the columns: from 32 rows on, as long as the 32 rows of a tile pair fit in
// 32 KiB of cache (n2 ≤ 128); wider rows are faster moved on their own.
template <class Cx, bool Fused>
constexpr bool columns_by_tiles(int n1, int n2) {
    return Fused && four_wide<Cx> && n1 >= 32 && n2 % 8 == 0 && n2 <= 128;
}

template <class Dir, class Cx, bool Fused>
void pass_along_columns(int n1, int n2, double** rows, const double* twiddle) {
    if constexpr (Fused && four_wide<Cx>) {
        if (columns_by_tiles<Cx, Fused>(n1, n2)) {
            pass_along_columns_reversing<Dir, Cx>(n1, n2, rows, twiddle);
            return;
        }
    }
    in_widest_lanes<Cx>(n2 / 2, [&]<class Lanes>() LATTICE_BUBBLE_FFT_LAMBDA {
        pass<Dir, Lanes, Fused>(AlongColumns<Lanes>{rows}, n1, n2 / doubles_of<Lanes>, twiddle,
                                columns_fuse_last(n1, n2));
    });
}

// The whole transform of n1 rows of n2 doubles (powers of two, n2 ≥ 2) for the
// exponent's sign Dir. The rows' reversal and the pass along the rows commute
// (that pass treats every row alike), so a pass along the columns may take
// over the row moves.
template <class Dir, class Cx, bool Fused>
void transform_2d(int n1, int n2, double** rows, int* scratch, const double* twiddle) {
    if (n2 > 4) {
        const bool tiles = (Fused && four_wide<Cx> && n2 >= 64) || rows_by_gathering<Cx, Fused>(n2);
        bit_reverse_columns<typename Cx::Single>(n1, n2, scratch, rows,
                                                 !reverses_on_load<Fused>(n2 / 2) && !tiles);
    }
    if (n1 > 2) {
        bit_reverse_rows<Cx>(n1, n2, scratch, rows,
                             !reverses_on_load<Fused>(n1) && !columns_by_tiles<Cx, Fused>(n1, n2));
    }
    pass_along_rows<Dir, Cx, Fused>(n1, n2, rows, twiddle);
    pass_along_columns<Dir, Cx, Fused>(n1, n2, rows, twiddle);
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
