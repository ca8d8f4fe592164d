#pragma once
// Private to the FFT engine, for the unit compiled for AVX-512F alone: four
// complex values per 512-bit register, and the kernels that only these lanes
// have: the bit reversal and the first radix-4 stage in one pass over the
// data, and the 2-D passes built on it.
//
// The bit reversal moves 4 × 4 tiles (tiled_bit_reverse in reversal.h): with
// index c = (h, b, d), two high bits, the middle bits b and two low bits, the
// new row h′ of tile b holds at d′ the old value at row rev d′, column rev h′
// of tile rev b. Loading old row rev x of tile rev b into a register gives a
// register whose lane y holds value x of the new row rev y: for x = 0 … 3
// these are the four inputs of the first stage's butterfly on new row rev y,
// and the four lanes are the butterflies of four blocks. So the first stage
// runs on the tile as loaded, and a transposition puts its outputs back into
// rows, lane y's into row rev y. The butterflies are the first stage's own,
// with each block's own twiddles, so the bits are those of a bit reversal
// followed by the stage.

#if !defined(__AVX512F__)
#error "avx512_lanes.h is for the unit compiled for AVX-512F"
#endif

#include "fft/engine/avx_lanes.h"

namespace lattice_bubble::fft_engine {
namespace {

// Sign flips as integer exclusive-or, which AVX-512F has for 512-bit registers.
inline __m512d flip_signs(__m512d a, __m512i mask) {
    return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), mask));
}
inline constexpr long long sign_bit = static_cast<long long>(0x8000000000000000ULL);

struct Avx512Lanes {
    static constexpr int values = 4;
    using Narrower = AvxLanes;
    using Single = Sse2Lanes;
    __m512d v;

    static Avx512Lanes load(const double* p) { return {_mm512_loadu_pd(p)}; }
    static Avx512Lanes splat(double x) { return {_mm512_set1_pd(x)}; }
    static Avx512Lanes load_rows(const double* const* rows, int offset) {
        const __m256d lo = _mm256_loadu2_m128d(rows[1] + offset, rows[0] + offset);
        const __m256d hi = _mm256_loadu2_m128d(rows[3] + offset, rows[2] + offset);
        return {_mm512_insertf64x4(_mm512_castpd256_pd512(lo), hi, 1)};
    }
    static Avx512Lanes load_strided(const double* p, long stride) {
        const __m256d lo = _mm256_loadu2_m128d(p + stride, p);
        const __m256d hi = _mm256_loadu2_m128d(p + 3 * stride, p + 2 * stride);
        return {_mm512_insertf64x4(_mm512_castpd256_pd512(lo), hi, 1)};
    }
    friend void store_strided(double* p, long stride, Avx512Lanes a) {
        _mm256_storeu2_m128d(p + stride, p, _mm512_castpd512_pd256(a.v));
        _mm256_storeu2_m128d(p + 3 * stride, p + 2 * stride, _mm512_extractf64x4_pd(a.v, 1));
    }
    friend void store(double* p, Avx512Lanes a) { _mm512_storeu_pd(p, a.v); }
    friend void store_rows(double* const* rows, int offset, Avx512Lanes a) {
        _mm256_storeu2_m128d(rows[1] + offset, rows[0] + offset, _mm512_castpd512_pd256(a.v));
        _mm256_storeu2_m128d(rows[3] + offset, rows[2] + offset, _mm512_extractf64x4_pd(a.v, 1));
    }
    friend Avx512Lanes operator+(Avx512Lanes a, Avx512Lanes b) { return {_mm512_add_pd(a.v, b.v)}; }
    friend Avx512Lanes operator-(Avx512Lanes a, Avx512Lanes b) { return {_mm512_sub_pd(a.v, b.v)}; }
    friend Avx512Lanes operator*(Avx512Lanes a, Avx512Lanes b) { return {_mm512_mul_pd(a.v, b.v)}; }
    friend Avx512Lanes swap(Avx512Lanes a) { return {_mm512_permute_pd(a.v, 0x55)}; }
    friend Avx512Lanes neg_re(Avx512Lanes a) {
        return {flip_signs(a.v, _mm512_set_epi64(0, sign_bit, 0, sign_bit, 0, sign_bit, 0, sign_bit))};
    }
    friend Avx512Lanes neg_im(Avx512Lanes a) {
        return {flip_signs(a.v, _mm512_set_epi64(sign_bit, 0, sign_bit, 0, sign_bit, 0, sign_bit, 0))};
    }
    friend Avx512Lanes dup_re(Avx512Lanes a) { return {_mm512_unpacklo_pd(a.v, a.v)}; }
    friend Avx512Lanes dup_im(Avx512Lanes a) { return {_mm512_unpackhi_pd(a.v, a.v)}; }
    friend Avx512Lanes im_re(Avx512Lanes a, Avx512Lanes b) { return {_mm512_shuffle_pd(a.v, b.v, 0x55)}; }
    friend Avx512Lanes sub_add(Avx512Lanes a, Avx512Lanes b) { return a + neg_re(b); }
};

// W[first + rev(y)·stride] in lane y, rev(y) being 0, 2, 1, 3.
LATTICE_BUBBLE_FFT_INLINE Avx512Lanes gather_twiddles(const double* twiddle, int first, int stride) {
    const double* w = twiddle + 2 * first;
    const int step = 2 * stride;
    const double* const lanes[4] = {w, w + 2 * step, w + step, w + 3 * step};
    return Avx512Lanes::load_rows(lanes, 0);
}

// A 4 × 4 transposition of complex values: lane i of t[s] is lane s of x[i].
LATTICE_BUBBLE_FFT_INLINE void transpose4(const Avx512Lanes (&x)[4], Avx512Lanes (&t)[4]) {
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
// points/32 + c/2, t1 = W[2t] (or W[2t + 1] for odd c) and t2 = q2 = W[t] (or
// i·q2).
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles<Avx512Lanes> tile_twiddles(int c, int points, const double* twiddle) {
    const int stride = points / 32;
    const Avx512Lanes q2 = gather_twiddles(twiddle, c >> 1, stride);
    const Avx512Lanes q1 = gather_twiddles(twiddle, c, 2 * stride);
    const Avx512Lanes minus_im{flip_signs(dup_im(q2).v, _mm512_set1_epi64(sign_bit))};
    const Twiddle<Avx512Lanes> t2 = (c & 1) == 0 ? Twiddle<Avx512Lanes>{dup_re(q2), dup_im(q2)}
                                                 : Twiddle<Avx512Lanes>{minus_im, dup_re(q2)};
    return with_cube(Twiddle<Avx512Lanes>{dup_re(q1), dup_im(q1)}, t2, Avx512Lanes::splat(2.0));
}

// The first stage's butterflies on new tile c, its inputs x[0 … 3] as loaded,
// with the tile's twiddles t (h = cos π/4 for tile 1); the outputs go to the
// tile's rows at `out`, `row` doubles apart.
template <class Dir>
LATTICE_BUBBLE_FFT_INLINE void first_stage_tile(const Avx512Lanes (&x)[4], int c,
                                                const BlockTwiddles<Avx512Lanes>& t, Avx512Lanes h,
                                                double* out, int row) {
    const Opening<Avx512Lanes> e = open_butterfly(x[0], x[1], x[2], x[3]);
    Quad<Avx512Lanes> y = Dir::twiddled(e, t);
    if (c < 2) {
        // Lane 0 is block 0 (untwiddled) or block 1 (eighth turn).
        const Quad<Avx512Lanes> z = c == 0 ? Dir::plain(e) : Dir::eighth(e, h);
        constexpr __mmask8 lane0 = 0b00000011;
        y.y0.v = _mm512_mask_blend_pd(lane0, y.y0.v, z.y0.v);
        y.y1.v = _mm512_mask_blend_pd(lane0, y.y1.v, z.y1.v);
        y.y2.v = _mm512_mask_blend_pd(lane0, y.y2.v, z.y2.v);
        y.y3.v = _mm512_mask_blend_pd(lane0, y.y3.v, z.y3.v);
    }
    // Transposed: row rev(y) gets lane y of the outputs at elements 0, 1, 2, 3.
    Avx512Lanes rows[4];
    transpose4({y.y0, y.y1, y.y2, y.y3}, rows);
    double* r = out + 8 * c;
    store(r, rows[0]);
    store(r + 2 * row, rows[1]);
    store(r + row, rows[2]);
    store(r + 3 * row, rows[3]);
}

// Old rows rev x of tile b, as the first stage's inputs of new tile rev b.
template <bool Conjugate>
LATTICE_BUBBLE_FFT_INLINE void load_tile(const double* a, int b, int row, Avx512Lanes (&x)[4]) {
    static constexpr ReversedOrder<4> reversed;
    for (int i = 0; i < 4; ++i) {
        x[i] = Avx512Lanes::load(a + 8 * b + reversed.index[i] * row);
        if constexpr (Conjugate) {
            x[i] = neg_im(x[i]);
        }
    }
}

// Bit reversal (conjugating with Conjugate) and the first stage of n doubles,
// n ≥ 64, in each of the `count` arrays at `arrays`: tile b and its partner
// rev b are read before either is written. The tiles' twiddles are formed once
// for all the arrays (Fixed > 0: count is Fixed).
template <class Dir, bool Conjugate, class Cx, int Fixed>
void reverse_and_first_stage(int n, double* const* arrays, int count, const double* twiddle) {
    if constexpr (Fixed > 0) {
        count = Fixed;
    }
    const int points = n / 2;
    const int row = n >> 2;
    const Cx h = Cx::splat(twiddle[2]);
    for_each_tile_pair(points / 16, [&](int b, int rb) LATTICE_BUBBLE_FFT_LAMBDA {
        const BlockTwiddles<Cx> to_b = tile_twiddles(b, points, twiddle);
        if (b == rb) {
            for (int i = 0; i < count; ++i) {
                Cx x[4];
                load_tile<Conjugate>(arrays[i], rb, row, x);
                first_stage_tile<Dir>(x, b, to_b, h, arrays[i], row);
            }
            return;
        }
        const BlockTwiddles<Cx> to_rb = tile_twiddles(rb, points, twiddle);
        for (int i = 0; i < count; ++i) {
            Cx from_rb[4];
            Cx from_b[4];
            load_tile<Conjugate>(arrays[i], rb, row, from_rb);
            load_tile<Conjugate>(arrays[i], b, row, from_b);
            first_stage_tile<Dir>(from_rb, b, to_b, h, arrays[i], row);
            first_stage_tile<Dir>(from_b, rb, to_rb, h, arrays[i], row);
        }
    });
}

// The pass along the columns from rows in natural order, n1 ≥ 32 rows and n2
// a multiple of 8: the rows' bit reversal done with the first stage, by the
// same tiles counted in rows. New tile b's row group h′ (rows h′·n1/4 + 4b +
// d′, d′ = 0 … 3) is one first-stage butterfly, block h′·n1/16 + b, on the old
// rows rev d′·n1/4 + 4·rev b + rev h′. A register holds four columns of a row,
// so the tile pair's 32 rows go through their eight butterflies four columns
// at a time, with no transposition; then the other stages.
template <class Dir, class Cx>
void pass_along_columns_reversing(int n1, int n2, double** rows, const double* twiddle) {
    static constexpr ReversedOrder<4> rev;
    const int quarter = n1 / 4;
    const int tiles = n1 / 16;
    const Cx h = Cx::splat(twiddle[2]);
    for_each_tile_pair(tiles, [&](int b, int rb) LATTICE_BUBBLE_FFT_LAMBDA {
        const int count = b == rb ? 1 : 2;
        const int tile[2] = {b, rb};
        // Rows of the tiles in natural order (h, d), and each butterfly's block.
        double* row[2][16] = {};
        int block[2][4] = {};
        BlockTwiddles<Cx> twiddles[2][4] = {};
        for (int i = 0; i < count; ++i) {
            for (int k = 0; k < 16; ++k) {
                row[i][k] = rows[(k / 4) * quarter + 4 * tile[i] + k % 4];
            }
            for (int g = 0; g < 4; ++g) {
                block[i][g] = g * tiles + tile[i];
                if (block[i][g] >= 2) {
                    twiddles[i][g] = block_twiddles<Cx>(block[i][g], twiddle);
                }
            }
        }
        for (int column = 0; column < n2; column += doubles_of<Cx>) {
            Cx old[2][16];
            for (int i = 0; i < count; ++i) {
                for (int k = 0; k < 16; ++k) {
                    old[i][k] = Cx::load(row[i][k] + column);
                }
            }
            // New tile i from the old rows of its partner.
            for (int i = 0; i < count; ++i) {
                const Cx(&from)[16] = old[count - 1 - i];
                for (int g = 0; g < 4; ++g) {
                    const int hr = rev.index[g];
                    const Opening<Cx> e =
                        open_butterfly(from[4 * rev.index[0] + hr], from[4 * rev.index[1] + hr],
                                       from[4 * rev.index[2] + hr], from[4 * rev.index[3] + hr]);
                    const Quad<Cx> y = block[i][g] == 0   ? Dir::plain(e)
                                       : block[i][g] == 1 ? Dir::eighth(e, h)
                                                          : Dir::twiddled(e, twiddles[i][g]);
                    put_quad(y, [&](int k, Cx v)
                                    LATTICE_BUBBLE_FFT_LAMBDA { store(row[i][4 * g + k] + column, v); });
                }
            }
        }
    });
    radix4_pass<Dir, Cx, true>(AlongColumns<Cx>{rows}, n1, n2 / doubles_of<Cx>, twiddle, 4,
                               columns_fuse_last(n1, n2));
}

// The pass along the rows, n2 ≥ 64, from columns in natural order: bands of
// rows of about 16 KiB, each band through the bit reversal with the first
// stage, then the other stages (those of the 1-D transform with the
// exponent's butterflies), every block's twiddles formed once for the band.
template <class Dir, class Cx>
void pass_along_rows_reversing(int n1, int n2, double** rows, const double* twiddle) {
    for_each_band(n1, n2, [&](int first, int count) LATTICE_BUBBLE_FFT_LAMBDA {
        double* const* band_rows = rows + first;
        reverse_and_first_stage<Dir, false, Cx, 0>(n2, band_rows, count, twiddle);
        int l = 8;
        while ((l << 4) < n2) {
            radix4_stage<Dir, Cx>(0, n2, l, band_rows, count, twiddle);
            l <<= 2;
        }
        last_two_stages<Dir, PlainLast<Dir>, Cx>(n2, l, band_rows, count, twiddle);
    });
}

// The pass along the rows of 8 or 16 points (Points), n1 a multiple of four,
// from columns in natural order: four rows at a time are loaded and
// transposed, so that a register holds one column of the four rows, go
// through the tail in registers, and are transposed back.
template <class Dir, class Cx, int Points>
void pass_along_rows_transposed(int n1, double** rows, const double* twiddle) {
    static constexpr ReversedOrder<Points> reversed;
    const TailTwiddles<Cx> t = tail_twiddles<Cx, Points>(twiddle);
    for (int r = 0; r < n1; r += 4) {
        Cx v[Points];
        for (int k = 0; k < Points / 4; ++k) {
            const Cx x[4] = {Cx::load(rows[r] + 8 * k), Cx::load(rows[r + 1] + 8 * k),
                             Cx::load(rows[r + 2] + 8 * k), Cx::load(rows[r + 3] + 8 * k)};
            Cx columns[4];
            transpose4(x, columns);
            for (int s = 0; s < 4; ++s) {
                v[4 * k + s] = columns[s];
            }
        }
        Cx u[Points];
        tail<Dir, PlainLast<Dir>, Points>(
            [&](int p) LATTICE_BUBBLE_FFT_LAMBDA { return v[reversed.index[p]]; }, t,
            [&](int p, Cx value) LATTICE_BUBBLE_FFT_LAMBDA { u[p] = value; });
        for (int k = 0; k < Points / 4; ++k) {
            const Cx x[4] = {u[4 * k], u[4 * k + 1], u[4 * k + 2], u[4 * k + 3]};
            Cx back[4];
            transpose4(x, back);
            for (int i = 0; i < 4; ++i) {
                store(rows[r + i] + 8 * k, back[i]);
            }
        }
    }
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
