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
    static AvxLanes load_strided(const double* p, long stride) { return {_mm256_loadu2_m128d(p + stride, p)}; }
    friend void store_strided(double* p, long stride, AvxLanes a) { _mm256_storeu2_m128d(p + stride, p, a.v); }
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
};

// The twiddled blocks of the first stage (span 2 doubles, one butterfly per
// block) in the doubles [begin, end), multiples of 16: the butterflies of
// blocks 2t and 2t + 1 side by side, t1 = W[2t] and W[2t + 1] (neighbours in
// the table), t2 = q2 and i·q2 with q2 = W[t].
template <>
void first_stage_twiddled_pairs<AvxLanes>(int begin, int end, double* a, const double* twiddle) {
    const AvxLanes two = AvxLanes::splat(2.0);
    for (int j = begin < 16 ? 16 : begin; j < end; j += 16) {
        const int t = j / 16;
        const AvxLanes q1 = AvxLanes::load(twiddle + 4 * t);
        const __m256d q2 = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(twiddle + 2 * t));
        // (q2.re, q2.re | −q2.im, −q2.im) and (q2.im, q2.im | q2.re, q2.re)
        const Twiddle<AvxLanes> t2{
            {_mm256_xor_pd(_mm256_permute_pd(q2, 0b1100), _mm256_set_pd(-0.0, -0.0, 0.0, 0.0))},
            {_mm256_permute_pd(q2, 0b0011)}};
        const BlockTwiddles<AvxLanes> tw = with_cube(Twiddle<AvxLanes>{dup_re(q1), dup_im(q1)}, t2, two);
        double* const pair[2] = {a + j, a + j + 8};
        AvxLanes x[4];
        for (int k = 0; k < 4; ++k) {
            x[k] = AvxLanes::load_rows(pair, 2 * k);
        }
        const Quad<AvxLanes> y = Positive::twiddled(open_butterfly(x[0], x[1], x[2], x[3]), tw);
        put_quad(y, [&](int k, AvxLanes v) LATTICE_BUBBLE_FFT_LAMBDA { store_rows(pair, 2 * k, v); });
    }
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
