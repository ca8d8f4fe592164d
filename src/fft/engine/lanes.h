#pragma once
// Private to the FFT engine: complex values held in double lanes. A lane type
// holds `values` neighbouring complex values (real and imaginary parts
// interleaved), so that as many independent butterflies run side by side, and
// has exactly the lane operations the butterflies need. Every operation is one
// IEEE double operation per lane, so a wide type computes each part exactly as
// the scalar type does. Where a butterfly adds a negated value, x + (−y) and
// x − y are the same IEEE operation, so negations are sign flips.
//
// The scalar and SSE2 types live here; the AVX and AVX-512F types live in
// avx_lanes.h and avx512_lanes.h, which only the units compiled for those
// instructions include. Everything in the engine's private headers sits in an
// unnamed namespace: each unit keeps its own copy, so the linker can never hand
// a function compiled for wider instructions to another unit.
//
// A lane type T provides: T::values; T::Narrower, the next narrower type (T
// itself when values is 1); T::Single, the type of one value, for the moves
// of the permutations; T::load, T::splat; T::load_rows and store_rows,
// which take value `offset` of rows[0 … values − 1], one row per value;
// load_strided and store_strided, value v at p + v·stride (in doubles); and
// +, −, ·, swap (im, re), neg_re, neg_im, dup_re (re, re), dup_im (im, im)
// im_re(a, b) = (a.im, b.re) and sub_add(a, b) = (a.re − b.re, a.im + b.im),
// value by value.

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Butterflies must be inlined into their loops: a call costs more than the
// butterfly, and in the wide units it would move registers through memory.
// The same for the lambdas that carry a loop's body into a helper.
#if defined(__GNUC__)
#define LATTICE_BUBBLE_FFT_INLINE inline __attribute__((always_inline))
#define LATTICE_BUBBLE_FFT_LAMBDA __attribute__((always_inline))
#define LATTICE_BUBBLE_FFT_NOINLINE __attribute__((noinline))
#else
#define LATTICE_BUBBLE_FFT_NOINLINE
#define LATTICE_BUBBLE_FFT_INLINE inline
#define LATTICE_BUBBLE_FFT_LAMBDA
#endif

namespace lattice_bubble::fft_engine {
namespace {

// One complex value as two doubles: the lanes of a processor without SSE2,
// and a table of their own on every processor, so that tests run them.
struct ScalarLanes {
    static constexpr int values = 1;
    using Narrower = ScalarLanes;
    using Single = ScalarLanes;
    double re;
    double im;

    static ScalarLanes load(const double* p) { return {p[0], p[1]}; }
    static ScalarLanes splat(double x) { return {x, x}; }
    static ScalarLanes load_rows(const double* const* rows, int offset) { return load(rows[0] + offset); }
    static ScalarLanes load_strided(const double* p, long) { return load(p); }
    friend void store_strided(double* p, long, ScalarLanes a) { store(p, a); }
    friend void store(double* p, ScalarLanes a) {
        p[0] = a.re;
        p[1] = a.im;
    }
    friend void store_rows(double* const* rows, int offset, ScalarLanes a) { store(rows[0] + offset, a); }
    friend ScalarLanes operator+(ScalarLanes a, ScalarLanes b) { return {a.re + b.re, a.im + b.im}; }
    friend ScalarLanes operator-(ScalarLanes a, ScalarLanes b) { return {a.re - b.re, a.im - b.im}; }
    friend ScalarLanes operator*(ScalarLanes a, ScalarLanes b) { return {a.re * b.re, a.im * b.im}; }
    friend ScalarLanes swap(ScalarLanes a) { return {a.im, a.re}; }
    friend ScalarLanes neg_re(ScalarLanes a) { return {-a.re, a.im}; }
    friend ScalarLanes neg_im(ScalarLanes a) { return {a.re, -a.im}; }
    friend ScalarLanes dup_re(ScalarLanes a) { return {a.re, a.re}; }
    friend ScalarLanes dup_im(ScalarLanes a) { return {a.im, a.im}; }
    friend ScalarLanes im_re(ScalarLanes a, ScalarLanes b) { return {a.im, b.re}; }
    friend ScalarLanes sub_add(ScalarLanes a, ScalarLanes b) { return a + neg_re(b); }
};

#if defined(__SSE2__)
// One complex value in a 128-bit register: every x86-64 processor.
struct Sse2Lanes {
    static constexpr int values = 1;
    using Narrower = Sse2Lanes;
    using Single = Sse2Lanes;
    __m128d v;

    static Sse2Lanes load(const double* p) { return {_mm_loadu_pd(p)}; }
    static Sse2Lanes splat(double x) { return {_mm_set1_pd(x)}; }
    static Sse2Lanes load_rows(const double* const* rows, int offset) { return load(rows[0] + offset); }
    static Sse2Lanes load_strided(const double* p, long) { return load(p); }
    friend void store_strided(double* p, long, Sse2Lanes a) { store(p, a); }
    friend void store(double* p, Sse2Lanes a) { _mm_storeu_pd(p, a.v); }
    friend void store_rows(double* const* rows, int offset, Sse2Lanes a) { store(rows[0] + offset, a); }
    friend Sse2Lanes operator+(Sse2Lanes a, Sse2Lanes b) { return {_mm_add_pd(a.v, b.v)}; }
    friend Sse2Lanes operator-(Sse2Lanes a, Sse2Lanes b) { return {_mm_sub_pd(a.v, b.v)}; }
    friend Sse2Lanes operator*(Sse2Lanes a, Sse2Lanes b) { return {_mm_mul_pd(a.v, b.v)}; }
    friend Sse2Lanes swap(Sse2Lanes a) { return {_mm_shuffle_pd(a.v, a.v, 1)}; }
    friend Sse2Lanes neg_re(Sse2Lanes a) { return {_mm_xor_pd(a.v, _mm_set_pd(0.0, -0.0))}; }
    friend Sse2Lanes neg_im(Sse2Lanes a) { return {_mm_xor_pd(a.v, _mm_set_pd(-0.0, 0.0))}; }
    friend Sse2Lanes dup_re(Sse2Lanes a) { return {_mm_unpacklo_pd(a.v, a.v)}; }
    friend Sse2Lanes dup_im(Sse2Lanes a) { return {_mm_unpackhi_pd(a.v, a.v)}; }
    friend Sse2Lanes im_re(Sse2Lanes a, Sse2Lanes b) { return {_mm_shuffle_pd(a.v, b.v, 1)}; }
    friend Sse2Lanes sub_add(Sse2Lanes a, Sse2Lanes b) { return a + neg_re(b); }
};
using PortableLanes = Sse2Lanes;
#else
using PortableLanes = ScalarLanes;
#endif

// Calls run.template operator()<T>() with T the widest lane type of Cx's
// chain whose values divide `count`: a pass over `count` independent lines
// takes that many at a time.
template <class Cx, class Run>
LATTICE_BUBBLE_FFT_INLINE void in_widest_lanes(int count, const Run& run) {
    if constexpr (Cx::values > 1) {
        if (count % Cx::values != 0) {
            in_widest_lanes<typename Cx::Narrower>(count, run);
            return;
        }
    }
    run.template operator()<Cx>();
}

// i·a = (−a.im, a.re)
template <class Cx>
LATTICE_BUBBLE_FFT_INLINE Cx times_i(Cx a) {
    return neg_re(swap(a));
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
