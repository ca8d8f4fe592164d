#pragma once
// Private to the FFT engine: the butterfly passes of the 2-D transform, over
// the lanes of detail/lanes.h. Included by complex_fft_2d.cpp (SSE2 or scalar
// lanes) and by the AVX and AVX-512 units.
//
// Both passes run the same stages over `count` elements; every butterfly is
// applied to a whole set of independent lines, innermost, so that its twiddles
// are formed once per block. A row pass transforms the row index, and its
// lines are the columns (one lane group of columns at a time); a column pass
// transforms the column index, and its lines are the rows (two rows per
// register in AVX, four in AVX-512). Independent butterflies may run in any order: the values
// are those of the written loop nest.

#include "fft/detail/lanes.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {

// Twiddles of block g ≥ 2: T1 = W[g]; T2 = T1², read from the table as
// (s·twiddle[g], twiddle[g + s]) with s = +1 for even g and −1 for odd g;
// T3 = T1³ by the cube formula.
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles block_twiddles(int g, const double* twiddle) {
    const double t1_re = twiddle[2 * g];
    const double t1_im = twiddle[2 * g + 1];
    const int s = (g % 2 == 0) ? 1 : -1;
    const double t2_im = twiddle[g + s];
    return {twiddle_of(t1_re, t1_im), twiddle_of(s * twiddle[g], t2_im), cube_from(t1_re, t1_im, t2_im)};
}

// How a pass reaches element p of line `line`.
struct RowsOfColumns {  // row pass: element p is row p; a line is a group of columns
    double** rows;
    [[nodiscard]] Cx get(int p, int line) const { return load(rows[p] + line * lane_doubles); }
    void put(int p, int line, Cx v) const { store(rows[p] + line * lane_doubles, v); }
};

#if defined(LATTICE_BUBBLE_FFT_COMPILING_AVX512_UNIT)
struct ColumnsOfRows {  // column pass: element p is column p; a line is four rows
    double** rows;
    [[nodiscard]] Cx get(int p, int line) const {
        double* const* r = rows + 4 * line;
        const __m256d lo = _mm256_loadu2_m128d(r[1] + 2 * p, r[0] + 2 * p);
        const __m256d hi = _mm256_loadu2_m128d(r[3] + 2 * p, r[2] + 2 * p);
        return {_mm512_insertf64x4(_mm512_castpd256_pd512(lo), hi, 1)};
    }
    void put(int p, int line, Cx v) const {
        double* const* r = rows + 4 * line;
        _mm256_storeu2_m128d(r[1] + 2 * p, r[0] + 2 * p, _mm512_castpd512_pd256(v.v));
        _mm256_storeu2_m128d(r[3] + 2 * p, r[2] + 2 * p, _mm512_extractf64x4_pd(v.v, 1));
    }
};
inline constexpr int rows_per_line = 4;
#elif defined(LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT)
struct ColumnsOfRows {  // column pass: element p is column p; a line is a pair of rows
    double** rows;
    [[nodiscard]] Cx get(int p, int line) const {
        return {_mm256_loadu2_m128d(rows[2 * line + 1] + 2 * p, rows[2 * line] + 2 * p)};
    }
    void put(int p, int line, Cx v) const {
        _mm256_storeu2_m128d(rows[2 * line + 1] + 2 * p, rows[2 * line] + 2 * p, v.v);
    }
};
inline constexpr int rows_per_line = 2;
#else
struct ColumnsOfRows {  // column pass: element p is column p; a line is one row
    double** rows;
    [[nodiscard]] Cx get(int p, int line) const { return load(rows[line] + 2 * p); }
    void put(int p, int line, Cx v) const { store(rows[line] + 2 * p, v); }
};
inline constexpr int rows_per_line = 1;
#endif

template <typename Access>
LATTICE_BUBBLE_FFT_INLINE void butterfly(const Access& x, int p, int span, int lines, const auto& kernel) {
    for (int line = 0; line < lines; ++line) {
        const Opening e = open_butterfly(x.get(p, line), x.get(p + span, line), x.get(p + 2 * span, line),
                                         x.get(p + 3 * span, line));
        const Quad y = kernel(e);
        x.put(p, line, y.y0);
        x.put(p + 2 * span, line, y.y2);
        x.put(p + span, line, y.y1);
        x.put(p + 3 * span, line, y.y3);
    }
}

// The pass scheme over `count` elements of every line, from the stage of span
// first_span on (a power of four: the earlier stages have run).
// The twiddles of the last twiddled stage of a pass with count = 8·span or
// 16·span: the eighth turn and blocks 2 and 3.
struct LastTwiddles {
    Cx h;
    BlockTwiddles g2;
    BlockTwiddles g3;
};

inline LastTwiddles last_twiddles(const double* twiddle) {
    return {splat(twiddle[2]), block_twiddles(2, twiddle), block_twiddles(3, twiddle)};
}

// The last twiddled stage and the untwiddled last stage in registers, for the
// elements p + i·span of one line: with count = 16·span, blocks 0 … 3 and a
// radix-4 last stage; with count = 8·span, blocks 0 and 1 and a radix-2 last
// stage.
template <typename Exponent, typename Access>
LATTICE_BUBBLE_FFT_INLINE void last_two_stages_of(const Access& x, int p, int line, int span, int count,
                                                  const LastTwiddles& t) {
    const auto leg = [&](int i) { return x.get(p + i * span, line); };
    const Quad b0 = Exponent::plain(open_butterfly(leg(0), leg(1), leg(2), leg(3)));
    const Quad b1 = Exponent::eighth(open_butterfly(leg(4), leg(5), leg(6), leg(7)), t.h);
    if (count == 16 * span) {
        const Quad b2 = Exponent::twiddled(open_butterfly(leg(8), leg(9), leg(10), leg(11)), t.g2);
        const Quad b3 = Exponent::twiddled(open_butterfly(leg(12), leg(13), leg(14), leg(15)), t.g3);
        const Quad* b[4] = {&b0, &b1, &b2, &b3};
        const Cx Quad::*part[4] = {&Quad::y0, &Quad::y1, &Quad::y2, &Quad::y3};
        for (int r = 0; r < 4; ++r) {
            const Quad z = Exponent::plain(
                open_butterfly(b[0]->*part[r], b[1]->*part[r], b[2]->*part[r], b[3]->*part[r]));
            x.put(p + r * span, line, z.y0);
            x.put(p + (r + 8) * span, line, z.y2);
            x.put(p + (r + 4) * span, line, z.y1);
            x.put(p + (r + 12) * span, line, z.y3);
        }
    } else {
        const Cx lo[4] = {b0.y0, b0.y1, b0.y2, b0.y3};
        const Cx hi[4] = {b1.y0, b1.y1, b1.y2, b1.y3};
        for (int r = 0; r < 4; ++r) {
            x.put(p + r * span, line, lo[r] + hi[r]);
            x.put(p + (r + 4) * span, line, lo[r] - hi[r]);
        }
    }
}

// With fuse_last, the last two stages run in one pass (last_two_stages_of).
template <typename Exponent, typename Access>
void radix4_pass(const Access& x, int count, int lines, const double* twiddle, int first_span = 1,
                 bool fuse_last = false) {
    int span = first_span;
    while (2 * span < count) {
        if (fused_kernels && fuse_last && (count == 8 * span || count == 16 * span)) {
            const LastTwiddles t = last_twiddles(twiddle);
            for (int p = 0; p < span; ++p) {
                for (int line = 0; line < lines; ++line) {
                    last_two_stages_of<Exponent>(x, p, line, span, count, t);
                }
            }
            return;
        }
        const int block = 4 * span;
        for (int p = 0; p < span; ++p) {
            butterfly(x, p, span, lines, [](const Opening& e) { return Exponent::plain(e); });
        }
        if (block < count) {
            const Cx h = splat(twiddle[2]);
            for (int p = block; p < block + span; ++p) {
                butterfly(x, p, span, lines, [h](const Opening& e) { return Exponent::eighth(e, h); });
            }
            for (int g = 2; g * block <= count - block; ++g) {
                const int start = g * block;
                const BlockTwiddles t = block_twiddles(g, twiddle);
                for (int p = start; p < start + span; ++p) {
                    butterfly(x, p, span, lines, [&t](const Opening& e) { return Exponent::twiddled(e, t); });
                }
            }
        }
        span = block;
    }
    if (span < count) {
        for (int p = 0; p < span; ++p) {
            for (int line = 0; line < lines; ++line) {
                const Cx a = x.get(p, line);
                const Cx b = x.get(p + span, line);
                const Cx d = a - b;
                x.put(p, line, a + b);
                x.put(p + span, line, d);
            }
        }
    }
}

// Eight and sixteen points get fused kernels of their own: the inputs are read
// in bit-reversed order (the moves of the bit reversal), and all stages run in
// registers, with the same operations as the general pass. Eight: one radix-4
// stage (untwiddled block, eighth-turn block) and the radix-2 stage. Sixteen:
// a radix-4 stage with all four kinds of block, then one untwiddled radix-4
// stage of span 4.
inline constexpr int eight = 8;
inline constexpr int sixteen = 16;
inline constexpr int reversed_eight[eight] = {0, 4, 2, 6, 1, 5, 3, 7};
inline constexpr int reversed_sixteen[sixteen] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

template <typename Exponent, typename Access>
LATTICE_BUBBLE_FFT_INLINE void eight_points(const Access& x, int line, Cx h) {
    Cx u[eight];
    for (int p = 0; p < eight; ++p) {
        u[p] = x.get(reversed_eight[p], line);
    }
    const Quad a = Exponent::plain(open_butterfly(u[0], u[1], u[2], u[3]));
    const Quad b = Exponent::eighth(open_butterfly(u[4], u[5], u[6], u[7]), h);
    x.put(0, line, a.y0 + b.y0);
    x.put(1, line, a.y1 + b.y1);
    x.put(2, line, a.y2 + b.y2);
    x.put(3, line, a.y3 + b.y3);
    x.put(4, line, a.y0 - b.y0);
    x.put(5, line, a.y1 - b.y1);
    x.put(6, line, a.y2 - b.y2);
    x.put(7, line, a.y3 - b.y3);
}

// The twiddles of the sixteen-point kernel: the eighth turn and blocks 2 and 3.
struct SixteenTwiddles {
    Cx h;
    BlockTwiddles g2;
    BlockTwiddles g3;
};

inline SixteenTwiddles sixteen_twiddles(const double* twiddle) {
    return {splat(twiddle[2]), block_twiddles(2, twiddle), block_twiddles(3, twiddle)};
}

template <typename Exponent, typename Access>
LATTICE_BUBBLE_FFT_INLINE void sixteen_points(const Access& x, int line, const SixteenTwiddles& t) {
    Cx u[sixteen];
    for (int p = 0; p < sixteen; ++p) {
        u[p] = x.get(reversed_sixteen[p], line);
    }
    const Quad b0 = Exponent::plain(open_butterfly(u[0], u[1], u[2], u[3]));
    const Quad b1 = Exponent::eighth(open_butterfly(u[4], u[5], u[6], u[7]), t.h);
    const Quad b2 = Exponent::twiddled(open_butterfly(u[8], u[9], u[10], u[11]), t.g2);
    const Quad b3 = Exponent::twiddled(open_butterfly(u[12], u[13], u[14], u[15]), t.g3);
    const Quad c0 = Exponent::plain(open_butterfly(b0.y0, b1.y0, b2.y0, b3.y0));
    const Quad c1 = Exponent::plain(open_butterfly(b0.y1, b1.y1, b2.y1, b3.y1));
    const Quad c2 = Exponent::plain(open_butterfly(b0.y2, b1.y2, b2.y2, b3.y2));
    const Quad c3 = Exponent::plain(open_butterfly(b0.y3, b1.y3, b2.y3, b3.y3));
    const Quad* c[4] = {&c0, &c1, &c2, &c3};
    for (int p = 0; p < 4; ++p) {
        x.put(p, line, c[p]->y0);
        x.put(p + 4, line, c[p]->y1);
        x.put(p + 8, line, c[p]->y2);
        x.put(p + 12, line, c[p]->y3);
    }
}

// Whether a direction of `count` points reads its inputs in bit-reversed order
// itself, so that the driver's bit reversal only makes the index list.
constexpr bool reverses_on_load(int count) { return fused_kernels && (count == eight || count == sixteen); }

// One pass over `count` elements of `lines` lines.
template <typename Exponent, typename Access>
void fft2d_pass(const Access& x, int count, int lines, const double* twiddle, bool fuse_last = false) {
    if (reverses_on_load(count) && count == eight) {
        const Cx h = splat(twiddle[2]);
        for (int line = 0; line < lines; ++line) {
            eight_points<Exponent>(x, line, h);
        }
    } else if (reverses_on_load(count) && count == sixteen) {
        const SixteenTwiddles t = sixteen_twiddles(twiddle);
        for (int line = 0; line < lines; ++line) {
            sixteen_points<Exponent>(x, line, t);
        }
    } else {
        radix4_pass<Exponent>(x, count, lines, twiddle, 1, fuse_last);
    }
}

// The column index of every row; n1 a multiple of rows_per_line. The rows go
// in bands of about 16 KiB, each band through all stages while it is in cache.
inline constexpr int band_doubles = 2048;

template <typename Exponent>
void column_pass(int n1, int n2, double** rows, const double* twiddle) {
    int band = band_doubles / n2;
    band = band < rows_per_line ? rows_per_line : (band > n1 ? n1 : band);
    for (int first = 0; first < n1; first += band) {
        fft2d_pass<Exponent>(ColumnsOfRows{rows + first}, n2 / 2, band / rows_per_line, twiddle);
    }
}

// The row pass's last two stages run in one pass over sixteen (or eight) rows
// at a time, `span` rows apart, as long as those rows lie at most 2 KiB apart:
// at 4 KiB or a multiple of it they would all fall into one set of the
// first-level cache, more of them than it has ways.
constexpr bool rows_fuse_last(int n1, int n2) {
    int span = 1;
    while (16 * span < n1) {
        span *= 4;
    }
    return span * n2 <= 256;
}

// The row index of every column; n2 a multiple of lane_doubles.
template <typename Exponent>
void row_pass(int n1, int n2, double** rows, const double* twiddle) {
    fft2d_pass<Exponent>(RowsOfColumns{rows}, n1, n2 / lane_doubles, twiddle, rows_fuse_last(n1, n2));
}

}  // namespace fft_detail
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
