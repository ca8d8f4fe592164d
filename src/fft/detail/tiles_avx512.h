#pragma once
// Private to the FFT engine, for the AVX-512 unit alone: the bit reversal and
// the first radix-4 stage in one pass over the data, and the 2-D column pass
// of a row built on it.
//
// The bit reversal moves 4 × 4 tiles (see tiled_bit_reverse in permute.h):
// with index c = (h, b, d), two high bits, the middle bits b and two low bits,
// the new row h′ of tile b holds at d′ the old value at row rev d′, column
// rev h′ of tile rev b. Loading old row rev x of tile rev b into a register
// gives a register whose lane y holds value x of the new row rev y: for
// x = 0 … 3 these are the four inputs of the first stage's butterfly on new
// row rev y, and the four lanes are the butterflies of four blocks. So the
// first stage runs on the tile as loaded, and a transposition puts its
// outputs back into rows, lane y's into row rev y. The butterflies are
// the first stage's own, with each block's own twiddles, so the bits are
// those of a bit reversal followed by the stage.

#include "fft/detail/lanes.h"
#include "fft/detail/passes_2d.h"
#include "fft/detail/permute.h"
#include "fft/detail/stages.h"

#if !defined(LATTICE_BUBBLE_FFT_COMPILING_AVX512_UNIT)
#error "tiles_avx512.h is for the AVX-512 unit only"
#endif

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {

// W[first + rev(y)·stride] in lane y, rev(y) being 0, 2, 1, 3.
LATTICE_BUBBLE_FFT_INLINE Cx gather_twiddles(const double* twiddle, int first, int stride) {
    const double* w = twiddle + 2 * first;
    const int step = 2 * stride;
    const __m256d lo = _mm256_loadu2_m128d(w + 2 * step, w);
    const __m256d hi = _mm256_loadu2_m128d(w + 3 * step, w + step);
    return {_mm512_insertf64x4(_mm512_castpd256_pd512(lo), hi, 1)};
}

// A 4 × 4 transposition of complex values: lane i of t[s] is lane s of x[i].
LATTICE_BUBBLE_FFT_INLINE void transpose4(const Cx (&x)[4], Cx (&t)[4]) {
    const __m512d a0 = _mm512_shuffle_f64x2(x[0].v, x[1].v, 0x44);
    const __m512d a1 = _mm512_shuffle_f64x2(x[0].v, x[1].v, 0xee);
    const __m512d a2 = _mm512_shuffle_f64x2(x[2].v, x[3].v, 0x44);
    const __m512d a3 = _mm512_shuffle_f64x2(x[2].v, x[3].v, 0xee);
    t[0].v = _mm512_shuffle_f64x2(a0, a2, 0x88);
    t[1].v = _mm512_shuffle_f64x2(a0, a2, 0xdd);
    t[2].v = _mm512_shuffle_f64x2(a1, a3, 0x88);
    t[3].v = _mm512_shuffle_f64x2(a1, a3, 0xdd);
}

// The twiddles of new tile c of an array of `points` values: lane y is block
// rev(y)·points/16 + c, of the parity of c (points ≥ 32), so t = rev(y)·
// points/32 + c/2 and its twiddles are those of G (c even) or G′.
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles tile_twiddles(int c, int points, const double* twiddle) {
    const int stride = points / 32;
    const Cx q2 = gather_twiddles(twiddle, c >> 1, stride);
    const Cx q1 = gather_twiddles(twiddle, c, 2 * stride);  // W[2t], or W[2t + 1] for odd c
    const Twiddle t1{dup_re(q1), dup_im(q1)};
    const Cx minus_im{flip_signs(dup_im(q2).v, _mm512_set1_epi64(sign_bit))};
    const Twiddle t2 =
        (c & 1) == 0 ? Twiddle{dup_re(q2), dup_im(q2)} : Twiddle{minus_im, dup_re(q2)};  // i·q2
    const Cx twice = splat(2.0) * ((c & 1) == 0 ? dup_im(q2) : dup_re(q2));
    return {t1, t2, {t1.re - twice * t1.im, twice * t1.re - t1.im}};
}

// The first stage's butterflies on new tile c, its inputs x[0 … 3] as loaded,
// with the tile's twiddles t (h = cos π/4 for tile 1); the outputs go to the
// tile's rows at `out`, `row` doubles apart.
template <typename Exponent>
LATTICE_BUBBLE_FFT_INLINE void first_stage_tile(const Cx (&x)[4], int c, const BlockTwiddles& t, Cx h,
                                                double* out, int row) {
    const Opening e = open_butterfly(x[0], x[1], x[2], x[3]);
    Quad y = Exponent::twiddled(e, t);
    if (c < 2) {
        // Lane 0 is block 0 (untwiddled) or block 1 (eighth turn).
        const Quad z = c == 0 ? Exponent::plain(e) : Exponent::eighth(e, h);
        constexpr __mmask8 lane0 = 0b00000011;
        y.y0.v = _mm512_mask_blend_pd(lane0, y.y0.v, z.y0.v);
        y.y1.v = _mm512_mask_blend_pd(lane0, y.y1.v, z.y1.v);
        y.y2.v = _mm512_mask_blend_pd(lane0, y.y2.v, z.y2.v);
        y.y3.v = _mm512_mask_blend_pd(lane0, y.y3.v, z.y3.v);
    }
    // Transposed: row rev(y) gets lane y of the outputs at elements 0, 1, 2, 3.
    Cx rows[4];
    transpose4({y.y0, y.y1, y.y2, y.y3}, rows);
    double* r = out + 8 * c;
    store(r, rows[0]);
    store(r + 2 * row, rows[1]);
    store(r + row, rows[2]);
    store(r + 3 * row, rows[3]);
}

// Old rows rev x of tile b, as the first stage's inputs of new tile rev b.
template <bool Conj>
LATTICE_BUBBLE_FFT_INLINE void load_tile(const double* a, int b, int row, Cx (&x)[4]) {
    constexpr int rev2[4] = {0, 2, 1, 3};
    for (int i = 0; i < 4; ++i) {
        x[i] = load(a + 8 * b + rev2[i] * row);
        if constexpr (Conj) {
            x[i] = neg_im(x[i]);
        }
    }
}

// Bit reversal (conjugating with Conj) and the first stage of n doubles,
// n ≥ 64, in each of the `count` arrays at `arrays`: tile b and its partner
// rev b are read before either is written. The tiles' twiddles are formed once
// for all the arrays (Fixed > 0: count is Fixed).
template <typename Exponent, bool Conj, int Fixed = 0>
void reverse_and_first_stage(int n, double* const* arrays, int count, const double* twiddle) {
    if constexpr (Fixed > 0) {
        count = Fixed;
    }
    const int points = n / 2;
    const int row = n >> 2;
    const int tiles = points / 16;
    const int top = tiles >> 1;
    const Cx h = splat(twiddle[2]);
    int rb = 0;
    for (int b = 0; b < tiles; b++, rb = next_reversed(rb, top)) {
        if (b > rb) {
            continue;
        }
        const BlockTwiddles to_b = tile_twiddles(b, points, twiddle);
        if (b == rb) {
            for (int i = 0; i < count; ++i) {
                Cx x[4];
                load_tile<Conj>(arrays[i], rb, row, x);
                first_stage_tile<Exponent>(x, b, to_b, h, arrays[i], row);
            }
            continue;
        }
        const BlockTwiddles to_rb = tile_twiddles(rb, points, twiddle);
        for (int i = 0; i < count; ++i) {
            Cx from_rb[4];
            Cx from_b[4];
            load_tile<Conj>(arrays[i], rb, row, from_rb);
            load_tile<Conj>(arrays[i], b, row, from_b);
            first_stage_tile<Exponent>(from_rb, b, to_b, h, arrays[i], row);
            first_stage_tile<Exponent>(from_b, rb, to_rb, h, arrays[i], row);
        }
    }
}

// The 2-D row pass from rows in natural order, n1 ≥ 32 rows and n2 a
// multiple of 8: the rows' bit reversal done with the first stage, by the same
// tiles counted in rows. New tile b's row group h′ (rows h′·n1/4 + 4b + d′,
// d′ = 0 … 3) is one first-stage butterfly, block h′·n1/16 + b, on the old
// rows rev d′·n1/4 + 4·rev b + rev h′. A register holds four columns of a row,
// so the tile pair's 32 rows go through their eight butterflies four columns
// at a time, with no transposition; then the other stages.
template <typename Exponent>
void row_pass_reversing(int n1, int n2, double** rows, const double* twiddle) {
    constexpr int rev2[4] = {0, 2, 1, 3};
    const int quarter = n1 / 4;
    const int tiles = n1 / 16;
    const int top = tiles >> 1;
    const Cx h = splat(twiddle[2]);
    int rb = 0;
    for (int b = 0; b < tiles; b++, rb = next_reversed(rb, top)) {
        if (b > rb) {
            continue;
        }
        const int count = b == rb ? 1 : 2;
        const int tile[2] = {b, rb};
        // Rows of the tiles in natural order (h, d), and each butterfly's block.
        double* row[2][16] = {};
        int block[2][4] = {};
        BlockTwiddles twiddles[2][4] = {};
        for (int i = 0; i < count; ++i) {
            for (int k = 0; k < 16; ++k) {
                row[i][k] = rows[(k / 4) * quarter + 4 * tile[i] + k % 4];
            }
            for (int g = 0; g < 4; ++g) {
                block[i][g] = g * tiles + tile[i];
                if (block[i][g] >= 2) {
                    twiddles[i][g] = block_twiddles(block[i][g], twiddle);
                }
            }
        }
        for (int column = 0; column < n2; column += lane_doubles) {
            Cx old[2][16];
            for (int i = 0; i < count; ++i) {
                for (int k = 0; k < 16; ++k) {
                    old[i][k] = load(row[i][k] + column);
                }
            }
            // New tile i from the old rows of its partner.
            for (int i = 0; i < count; ++i) {
                const Cx(&from)[16] = old[count - 1 - i];
                for (int g = 0; g < 4; ++g) {
                    const int hr = rev2[g];
                    const Opening e = open_butterfly(from[4 * rev2[0] + hr], from[4 * rev2[1] + hr],
                                                     from[4 * rev2[2] + hr], from[4 * rev2[3] + hr]);
                    const Quad y = block[i][g] == 0   ? Exponent::plain(e)
                                   : block[i][g] == 1 ? Exponent::eighth(e, h)
                                                      : Exponent::twiddled(e, twiddles[i][g]);
                    store(row[i][4 * g] + column, y.y0);
                    store(row[i][4 * g + 1] + column, y.y1);
                    store(row[i][4 * g + 2] + column, y.y2);
                    store(row[i][4 * g + 3] + column, y.y3);
                }
            }
        }
    }
    radix4_pass<Exponent>(RowsOfColumns{rows}, n1, n2 / lane_doubles, twiddle, 4, rows_fuse_last(n1, n2));
}

// The 2-D column pass, n2 ≥ 64, from columns in natural order: bands of rows
// of about 16 KiB, each band through the bit reversal with the first stage,
// then the other stages (those of the 1-D transform with the exponent's
// butterflies), every block's twiddles formed once for the band.
template <typename Exponent>
void column_pass_by_rows(int n1, int n2, double** rows, const double* twiddle) {
    int band = 2048 / n2;
    band = band < 1 ? 1 : (band > n1 ? n1 : band);
    for (int first = 0; first < n1; first += band) {
        const int count = n1 - first < band ? n1 - first : band;
        double* const* band_rows = rows + first;
        reverse_and_first_stage<Exponent, false>(n2, band_rows, count, twiddle);
        int l = 8;
        while ((l << 4) < n2) {
            radix4_stage<Exponent>(0, n2, l, band_rows, count, twiddle);
            l <<= 2;
        }
        last_two_stages<Exponent, PlainLast<Exponent>>(n2, l, band_rows, count, twiddle);
    }
}

// Element p of the one line held in registers.
struct RegisterColumns {
    Cx* v;
    [[nodiscard]] Cx get(int p, int /*line*/) const { return v[p]; }
    void put(int p, int /*line*/, Cx x) const { v[p] = x; }
};

// The 2-D column pass of 8 or 16 columns (Columns), n1 a multiple of four,
// from columns in natural order: four rows at a time are loaded and
// transposed, so that a register holds one column of the four rows, go
// through the fused kernel in registers, and are transposed back.
template <typename Exponent, int Columns>
void column_pass_of_few_columns(int n1, double** rows, const double* twiddle) {
    const Cx h = splat(twiddle[2]);
    SixteenTwiddles t16{};
    if constexpr (Columns == sixteen) {
        t16 = sixteen_twiddles(twiddle);
    }
    for (int r = 0; r < n1; r += 4) {
        Cx v[Columns];
        for (int k = 0; k < Columns / 4; ++k) {
            const Cx x[4] = {load(rows[r] + 8 * k), load(rows[r + 1] + 8 * k), load(rows[r + 2] + 8 * k),
                             load(rows[r + 3] + 8 * k)};
            Cx t[4];
            transpose4(x, t);
            for (int s = 0; s < 4; ++s) {
                v[4 * k + s] = t[s];
            }
        }
        if constexpr (Columns == eight) {
            eight_points<Exponent>(RegisterColumns{v}, 0, h);
        } else {
            sixteen_points<Exponent>(RegisterColumns{v}, 0, t16);
        }
        for (int k = 0; k < Columns / 4; ++k) {
            const Cx x[4] = {v[4 * k], v[4 * k + 1], v[4 * k + 2], v[4 * k + 3]};
            Cx t[4];
            transpose4(x, t);
            for (int i = 0; i < 4; ++i) {
                store(rows[r + i] + 8 * k, t[i]);
            }
        }
    }
}

}  // namespace fft_detail
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
