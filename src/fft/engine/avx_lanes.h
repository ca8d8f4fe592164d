#pragma once
// Private to the FFT engine, for the units compiled for AVX and AVX-512F
// alone: two complex values per 256-bit register, two butterflies per
// instruction, and the 1-D first stage's twiddled blocks two at a time.

#if !defined(__AVX__)
#error "avx_lanes.h is for the units compiled for AVX"
#endif

#include <immintrin.h>

#include "fft/engine/transform_2d.h"

namespace lattice_bubble::fft_engine {
namespace {

struct AvxLanes {
    static constexpr int values = 2;
    using Narrower = Sse2Lanes;
    using Single = Sse2Lanes;
    __m256d v;

    static AvxLanes load(const double* p) { return {_mm256_loadu_pd(p)}; }
    static AvxLanes splat(double x) { return {_mm256_set1_pd(x)}; }
    static AvxLanes load_rows(const double* const* rows, int offset) {
        return {_mm256_loadu2_m128d(rows[1] + offset, rows[0] + offset)};
    }
    static AvxLanes load_strided(const double* p, long stride) {
        return {_mm256_loadu2_m128d(p + stride, p)};
    }
    friend void store_strided(double* p, long stride, AvxLanes a) {
        _mm256_storeu2_m128d(p + stride, p, a.v);
    }
    friend void store(double* p, AvxLanes a) { _mm256_storeu_pd(p, a.v); }
    friend void store_rows(double* const* rows, int offset, AvxLanes a) {
        _mm256_storeu2_m128d(rows[1] + offset, rows[0] + offset, a.v);
    }
    friend AvxLanes operator+(AvxLanes a, AvxLanes b) { return {_mm256_add_pd(a.v, b.v)}; }
    friend AvxLanes operator-(AvxLanes a, AvxLanes b) { return {_mm256_sub_pd(a.v, b.v)}; }
    friend AvxLanes operator*(AvxLanes a, AvxLanes b) { return {_mm256_mul_pd(a.v, b.v)}; }
    friend AvxLanes swap(AvxLanes a) { return {_mm256_permute_pd(a.v, 0b0101)}; }
    friend AvxLanes neg_re(AvxLanes a) { return {_mm256_xor_pd(a.v, _mm256_set_pd(0.0, -0.0, 0.0, -0.0))}; }
    friend AvxLanes neg_im(AvxLanes a) { return {_mm256_xor_pd(a.v, _mm256_set_pd(-0.0, 0.0, -0.0, 0.0))}; }
    friend AvxLanes dup_re(AvxLanes a) { return {_mm256_unpacklo_pd(a.v, a.v)}; }
    friend AvxLanes dup_im(AvxLanes a) { return {_mm256_unpackhi_pd(a.v, a.v)}; }
    friend AvxLanes im_re(AvxLanes a, AvxLanes b) { return {_mm256_shuffle_pd(a.v, b.v, 0b0101)}; }
    // One instruction for the two of a + neg_re(b): x + (−y) is x − y.
    friend AvxLanes sub_add(AvxLanes a, AvxLanes b) { return {_mm256_addsub_pd(a.v, b.v)}; }
};

// The twiddles of blocks 2t and 2t + 1 (t ≥ 1) side by side, lane 0 and
// lane 1: t1 = W[2t] | W[2t + 1] (neighbours in the table), t2 = q2 | i·q2
// with q2 = W[t], and the cube formula on both.
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles<AvxLanes> neighbour_twiddles(int t, const double* twiddle) {
    const AvxLanes q1 = AvxLanes::load(twiddle + 4 * t);
    const __m256d q2 = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(twiddle + 2 * t));
    // (q2.re, q2.re | −q2.im, −q2.im) and (q2.im, q2.im | q2.re, q2.re)
    const Twiddle<AvxLanes> t2{
        {_mm256_xor_pd(_mm256_permute_pd(q2, 0b1100), _mm256_set_pd(-0.0, -0.0, 0.0, 0.0))},
        {_mm256_permute_pd(q2, 0b0011)}};
    return with_cube(Twiddle<AvxLanes>{dup_re(q1), dup_im(q1)}, t2, AvxLanes::splat(2.0));
}

// The same with each block's twiddles in both lanes, for the stages whose
// registers hold two values of one block.
template <>
LATTICE_BUBBLE_FFT_INLINE PairTwiddles<AvxLanes> pair_twiddles<AvxLanes>(int t, const double* twiddle) {
    const BlockTwiddles<AvxLanes> both = neighbour_twiddles(t, twiddle);
    const auto lane = [](const Twiddle<AvxLanes>& x, int which) LATTICE_BUBBLE_FFT_LAMBDA {
        return which == 0 ? Twiddle<AvxLanes>{{_mm256_permute2f128_pd(x.re.v, x.re.v, 0x00)},
                                              {_mm256_permute2f128_pd(x.im.v, x.im.v, 0x00)}}
                          : Twiddle<AvxLanes>{{_mm256_permute2f128_pd(x.re.v, x.re.v, 0x11)},
                                              {_mm256_permute2f128_pd(x.im.v, x.im.v, 0x11)}};
    };
    return {{lane(both.t1, 0), lane(both.t2, 0), lane(both.t3, 0)},
            {lane(both.t1, 1), lane(both.t2, 1), lane(both.t3, 1)}};
}

// The twiddled blocks of the first stage (span 2 doubles, one butterfly per
// block) in the doubles [begin, end), multiples of 16: the butterflies of
// blocks 2t and 2t + 1 side by side, with their neighbour_twiddles.
template <>
void first_stage_twiddled_pairs<AvxLanes>(int begin, int end, double* a, const double* twiddle) {
    for (int j = begin < 16 ? 16 : begin; j < end; j += 16) {
        const BlockTwiddles<AvxLanes> tw = neighbour_twiddles(j / 16, twiddle);
        double* const pair[2] = {a + j, a + j + 8};
        AvxLanes x[4];
        for (int k = 0; k < 4; ++k) {
            x[k] = AvxLanes::load_rows(pair, 2 * k);
        }
        const Quad<AvxLanes> y = Positive::twiddled(open_butterfly(x[0], x[1], x[2], x[3]), tw);
        put_quad(y, [&](int k, AvxLanes v) LATTICE_BUBBLE_FFT_LAMBDA { store_rows(pair, 2 * k, v); });
    }
}

// The twiddles of first-stage block b (b ≥ 2) in lane 0 and of block b′ of
// the same parity in lane 1, as block_twiddles derives each: t1 = W[b] | W[b′],
// t2 = (s·twiddle[b], twiddle[b + s]) | the same at b′, s = ±1 by the parity
// (for odd blocks (−twiddle[b], twiddle[b − 1]): the pair at b − 1 swapped,
// its new real part negated), and the cube formula on both lanes.
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles<AvxLanes> lane_twiddles(int b, int b_prime, const double* twiddle) {
    const AvxLanes q1{_mm256_loadu2_m128d(twiddle + 2 * b_prime, twiddle + 2 * b)};
    const bool even = b % 2 == 0;
    const int at = even ? b : b - 1;
    const AvxLanes pair{_mm256_loadu2_m128d(twiddle + (at + b_prime - b), twiddle + at)};
    const AvxLanes q2 = even ? pair : neg_re(swap(pair));
    return with_cube(Twiddle<AvxLanes>{dup_re(q1), dup_im(q1)}, Twiddle<AvxLanes>{dup_re(q2), dup_im(q2)},
                     AvxLanes::splat(2.0));
}

// The transform of N = n/2 points, 32 ≤ N ≤ gathering_doubles/2, in each of
// the `count` arrays at `arrays` (n·count ≤ gathering_doubles), from values in
// natural order (conjugated on the way with Conjugate): the first stage's
// block b takes the values rev(4b + i) = rev₂(i)·N/4 + rev(b), i = 0 … 3, and
// for b < N/8 block b + N/8 takes their neighbours rev(b) + 1, so one load per
// input feeds both blocks' butterflies, lane 0 and lane 1, and the permutation
// costs nothing. Since the blocks' outputs land where other blocks still read,
// the first stage writes a copy on the stack; the later twiddled stages of Dir
// run there, and the tail (its last stage Last) writes back. Every butterfly
// is the one its stage applies after the permutation, with its twiddles
// formed once for all the arrays.
template <class Dir, class Last, bool Conjugate, class Cx>
void transform_gathering(int n, double* const* arrays, int count, const double* twiddle) {
    static_assert(Cx::values == 2);
    alignas(64) double copy[gathering_doubles];
    double* copies[band_doubles / 64];
    for (int i = 0; i < count; ++i) {
        copies[i] = copy + i * n;
    }
    const int points = n / 2;
    const int quarter = n / 4;  // doubles between the inputs of a first-stage block
    const int eighth_blocks = points / 8;
    const AvxLanes h = AvxLanes::splat(twiddle[2]);
    const auto input = [](const double* p) LATTICE_BUBBLE_FFT_LAMBDA {
        const AvxLanes x = AvxLanes::load(p);
        return Conjugate ? neg_im(x) : x;
    };
    // b runs over 0 … N/8 − 1 and rb = rev(b) over log2(N/4) bits, kept by
    // carrying from the top bit down.
    // Blocks 0 and 1 take the twiddles of blocks 2 and 3 in lane 0 (the parity
    // of lane 1's block), whose outputs the blend below replaces.
    for (int b = 0, rb = 0; b < eighth_blocks; ++b) {
        const BlockTwiddles<AvxLanes> tw = lane_twiddles(b < 2 ? b + 2 : b, b + eighth_blocks, twiddle);
        for (int i = 0; i < count; ++i) {
            const double* x = arrays[i] + 2 * rb;
            const Opening<AvxLanes> e =
                open_butterfly(input(x), input(x + 2 * quarter), input(x + quarter), input(x + 3 * quarter));
            Quad<AvxLanes> y = Dir::twiddled(e, tw);
            if (b < 2) {
                // Lane 0 is block 0 (untwiddled) or block 1 (eighth turn).
                const Quad<AvxLanes> z = b == 0 ? Dir::plain(e) : Dir::eighth(e, h);
                y.y0.v = _mm256_blend_pd(y.y0.v, z.y0.v, 0b0011);
                y.y1.v = _mm256_blend_pd(y.y1.v, z.y1.v, 0b0011);
                y.y2.v = _mm256_blend_pd(y.y2.v, z.y2.v, 0b0011);
                y.y3.v = _mm256_blend_pd(y.y3.v, z.y3.v, 0b0011);
            }
            // Outputs k and k + 1 of a block are neighbours: lane 0 of y_k and
            // y_{k+1} to block b, lane 1 to block b + N/8, whole registers.
            double* out = copies[i] + 8 * b;
            _mm256_storeu_pd(out, _mm256_permute2f128_pd(y.y0.v, y.y1.v, 0x20));
            _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(y.y2.v, y.y3.v, 0x20));
            _mm256_storeu_pd(out + points, _mm256_permute2f128_pd(y.y0.v, y.y1.v, 0x31));
            _mm256_storeu_pd(out + points + 4, _mm256_permute2f128_pd(y.y2.v, y.y3.v, 0x31));
        }
        int bit = eighth_blocks;
        while ((rb & bit) != 0) {
            rb ^= bit;
            bit >>= 1;
        }
        rb |= bit;
    }
    int l = 8;
    while ((l << 4) < n) {
        radix4_stage<Dir, Cx>(0, n, l, copies, count, twiddle);
        l <<= 2;
    }
    last_two_stages<Dir, Last, Cx>(n, l, copies, count, twiddle, arrays);
}

// The pass along the rows of 32 to gathering_doubles/2 values, from columns in
// natural order: bands of rows of about 16 KiB, each through the whole
// transform above.
template <class Dir, class Cx>
void pass_along_rows_gathering(int n1, int n2, double** rows, const double* twiddle) {
    for_each_band(n1, n2, [&](int first, int count) LATTICE_BUBBLE_FFT_LAMBDA {
        transform_gathering<Dir, PlainLast<Dir>, false, Cx>(n2, rows + first, count, twiddle);
    });
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
