#pragma once
// Private to the FFT engine: complex values (real, imaginary) held in double
// lanes, with exactly the lane operations the butterflies need. A Cx holds one
// complex value (in an SSE2 register, or as two scalars in a build with scalar
// lanes or without SSE2) or, in the translation units built for AVX and
// AVX-512, two or four neighbouring complex values, so that two or four
// independent butterflies run side by side.
//
// Every operation is one IEEE double operation per lane, so vector code
// computes each part exactly as scalar code does.
// Subtraction is written where the butterflies subtract; where a butterfly
// adds a negated value, x + (−y) and x − y are the same IEEE operation, so the
// negation is done with a sign flip and the two forms give identical bits.

#include "fft/fft_abi.h"

#if defined(LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT) || defined(LATTICE_BUBBLE_FFT_COMPILING_AVX512_UNIT)
#include <immintrin.h>
#elif defined(__SSE2__) && !defined(LATTICE_BUBBLE_FFT_SCALAR_LANES)
#define LATTICE_BUBBLE_FFT_SSE2_LANES 1
#include <emmintrin.h>
#endif

// Butterfly kernels must be inlined into their loops: a call boundary costs
// more than the butterfly, and in the AVX translation unit it would move
// 256-bit values through memory.
#if defined(__GNUC__)
#define LATTICE_BUBBLE_FFT_INLINE inline __attribute__((always_inline))
#else
#define LATTICE_BUBBLE_FFT_INLINE inline
#endif

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {

#if defined(LATTICE_BUBBLE_FFT_COMPILING_AVX512_UNIT)

inline constexpr int lane_doubles = 8;  // four complex values

struct Cx {
    __m512d v;
};

// Sign flips as integer exclusive-or, which AVX-512F has for 512-bit registers.
inline __m512d flip_signs(__m512d a, __m512i mask) {
    return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), mask));
}
inline constexpr long long sign_bit = static_cast<long long>(0x8000000000000000ULL);

inline Cx load(const double* p) { return {_mm512_loadu_pd(p)}; }
inline void store(double* p, Cx a) { _mm512_storeu_pd(p, a.v); }
inline Cx make(double re, double im) { return {_mm512_set_pd(im, re, im, re, im, re, im, re)}; }
inline Cx splat(double x) { return {_mm512_set1_pd(x)}; }
inline Cx operator+(Cx a, Cx b) { return {_mm512_add_pd(a.v, b.v)}; }
inline Cx operator-(Cx a, Cx b) { return {_mm512_sub_pd(a.v, b.v)}; }
inline Cx operator*(Cx a, Cx b) { return {_mm512_mul_pd(a.v, b.v)}; }
inline Cx swap(Cx a) { return {_mm512_permute_pd(a.v, 0x55)}; }
inline Cx neg_re(Cx a) { return {flip_signs(a.v, _mm512_set_epi64(0, sign_bit, 0, sign_bit, 0, sign_bit, 0, sign_bit))}; }
inline Cx neg_im(Cx a) { return {flip_signs(a.v, _mm512_set_epi64(sign_bit, 0, sign_bit, 0, sign_bit, 0, sign_bit, 0))}; }
inline Cx dup_re(Cx a) { return {_mm512_unpacklo_pd(a.v, a.v)}; }
inline Cx dup_im(Cx a) { return {_mm512_unpackhi_pd(a.v, a.v)}; }
inline Cx im_re(Cx a, Cx b) { return {_mm512_shuffle_pd(a.v, b.v, 0x55)}; }

#elif defined(LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT)

inline constexpr int lane_doubles = 4;  // two complex values

struct Cx {
    __m256d v;
};

inline Cx load(const double* p) { return {_mm256_loadu_pd(p)}; }
inline void store(double* p, Cx a) { _mm256_storeu_pd(p, a.v); }
inline Cx make(double re, double im) { return {_mm256_set_pd(im, re, im, re)}; }
inline Cx splat(double x) { return {_mm256_set1_pd(x)}; }
inline Cx operator+(Cx a, Cx b) { return {_mm256_add_pd(a.v, b.v)}; }
inline Cx operator-(Cx a, Cx b) { return {_mm256_sub_pd(a.v, b.v)}; }
inline Cx operator*(Cx a, Cx b) { return {_mm256_mul_pd(a.v, b.v)}; }
inline Cx swap(Cx a) { return {_mm256_permute_pd(a.v, 0b0101)}; }
inline Cx neg_re(Cx a) { return {_mm256_xor_pd(a.v, _mm256_set_pd(0.0, -0.0, 0.0, -0.0))}; }
inline Cx neg_im(Cx a) { return {_mm256_xor_pd(a.v, _mm256_set_pd(-0.0, 0.0, -0.0, 0.0))}; }
inline Cx dup_re(Cx a) { return {_mm256_unpacklo_pd(a.v, a.v)}; }
inline Cx dup_im(Cx a) { return {_mm256_unpackhi_pd(a.v, a.v)}; }
inline Cx im_re(Cx a, Cx b) { return {_mm256_shuffle_pd(a.v, b.v, 0b0101)}; }
// The second complex value negated, the first unchanged.
inline Cx neg_upper(Cx a) { return {_mm256_xor_pd(a.v, _mm256_set_pd(-0.0, -0.0, 0.0, 0.0))}; }

#elif defined(LATTICE_BUBBLE_FFT_SSE2_LANES)

inline constexpr int lane_doubles = 2;  // one complex value

struct Cx {
    __m128d v;
};

inline Cx load(const double* p) { return {_mm_loadu_pd(p)}; }
inline void store(double* p, Cx a) { _mm_storeu_pd(p, a.v); }
inline Cx make(double re, double im) { return {_mm_set_pd(im, re)}; }
inline Cx splat(double x) { return {_mm_set1_pd(x)}; }
inline Cx operator+(Cx a, Cx b) { return {_mm_add_pd(a.v, b.v)}; }
inline Cx operator-(Cx a, Cx b) { return {_mm_sub_pd(a.v, b.v)}; }
inline Cx operator*(Cx a, Cx b) { return {_mm_mul_pd(a.v, b.v)}; }
// (im, re)
inline Cx swap(Cx a) { return {_mm_shuffle_pd(a.v, a.v, 1)}; }
// (−re, im)
inline Cx neg_re(Cx a) { return {_mm_xor_pd(a.v, _mm_set_pd(0.0, -0.0))}; }
// (re, −im), the conjugate
inline Cx neg_im(Cx a) { return {_mm_xor_pd(a.v, _mm_set_pd(-0.0, 0.0))}; }
// (re, re) and (im, im)
inline Cx dup_re(Cx a) { return {_mm_unpacklo_pd(a.v, a.v)}; }
inline Cx dup_im(Cx a) { return {_mm_unpackhi_pd(a.v, a.v)}; }
// (a.im, b.re)
inline Cx im_re(Cx a, Cx b) { return {_mm_shuffle_pd(a.v, b.v, 1)}; }

#else

inline constexpr int lane_doubles = 2;  // one complex value

struct Cx {
    double re;
    double im;
};

inline Cx load(const double* p) { return {p[0], p[1]}; }
inline void store(double* p, Cx a) {
    p[0] = a.re;
    p[1] = a.im;
}
inline Cx make(double re, double im) { return {re, im}; }
inline Cx splat(double x) { return {x, x}; }
inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator*(Cx a, Cx b) { return {a.re * b.re, a.im * b.im}; }
inline Cx swap(Cx a) { return {a.im, a.re}; }
inline Cx neg_re(Cx a) { return {-a.re, a.im}; }
inline Cx neg_im(Cx a) { return {a.re, -a.im}; }
inline Cx dup_re(Cx a) { return {a.re, a.re}; }
inline Cx dup_im(Cx a) { return {a.im, a.im}; }
inline Cx im_re(Cx a, Cx b) { return {a.im, b.re}; }

#endif

// i·a = (−a.im, a.re)
inline Cx times_i(Cx a) { return neg_re(swap(a)); }

// A twiddle factor held as its two parts, each repeated in both lanes.
struct Twiddle {
    Cx re;
    Cx im;
};
inline Twiddle twiddle_of(double re, double im) { return {splat(re), splat(im)}; }

// q·y = (q.re·y.re − q.im·y.im, q.re·y.im + q.im·y.re)
inline Cx mul(Twiddle q, Cx y) { return q.re * y + neg_re(q.im * swap(y)); }
// conj(q)·y = (q.re·y.re + q.im·y.im, q.re·y.im − q.im·y.re)
inline Cx mul_conj(Twiddle q, Cx y) { return q.re * y + neg_im(q.im * swap(y)); }

// Third power from the first two, without a complex product:
// (q1.re − (2·q2i)·q1.im, (2·q2i)·q1.re − q1.im), where q2i is the imaginary
// part of q1² (or the real part of i·q1²), as a twiddle. The formula runs on
// scalars, once per block, and only its results fill the lanes.
inline Twiddle cube_from(double q1_re, double q1_im, double q2_part) {
    const double twice = 2.0 * q2_part;
    return twiddle_of(q1_re - twice * q1_im, twice * q1_re - q1_im);
}

// The four sums and differences that open every radix-4 butterfly.
struct Opening {
    Cx e0;  // x0 + x1
    Cx e1;  // x0 − x1
    Cx e2;  // x2 + x3
    Cx e3;  // x2 − x3
};
LATTICE_BUBBLE_FFT_INLINE Opening open_butterfly(Cx x0, Cx x1, Cx x2, Cx x3) {
    return {x0 + x1, x0 - x1, x2 + x3, x2 - x3};
}

// Outputs of a butterfly, in element order: positions p, p + L, p + 2L, p + 3L.
struct Quad {
    Cx y0;
    Cx y1;
    Cx y2;
    Cx y3;
};

// Exponent +i, no twiddle: e0 + e2, e1 + i·e3, e0 − e2, e1 − i·e3.
LATTICE_BUBBLE_FFT_INLINE Quad plain_positive(const Opening& e) {
    const Cx ie3 = times_i(e.e3);
    return {e.e0 + e.e2, e.e1 + ie3, e.e0 - e.e2, e.e1 - ie3};
}

// Exponent −i, no twiddle: e0 + e2, e1 − i·e3, e0 − e2, e1 + i·e3.
LATTICE_BUBBLE_FFT_INLINE Quad plain_negative(const Opening& e) {
    const Cx ie3 = times_i(e.e3);
    return {e.e0 + e.e2, e.e1 - ie3, e.e0 - e.e2, e.e1 + ie3};
}

// Exponent +i, eighth turn (h = cos π/4):
//   p + 2L: (e2.im − e0.im, e0.re − e2.re)
//   p + L:  ((y.re − y.im)·h, (y.re + y.im)·h), y = e1 + i·e3
//   p + 3L: ((v.im − v.re)·h, (v.im + v.re)·h), v = (e3.im + e1.re, e3.re − e1.im)
LATTICE_BUBBLE_FFT_INLINE Quad eighth_positive(const Opening& e, Cx h) {
    const Cx y = e.e1 + times_i(e.e3);
    const Cx v = swap(e.e3) + neg_im(e.e1);
    return {e.e0 + e.e2, (dup_re(y) + neg_re(dup_im(y))) * h, im_re(e.e2, e.e0) - im_re(e.e0, e.e2),
            (dup_im(v) + neg_re(dup_re(v))) * h};
}

// Exponent −i, eighth turn:
//   p + 2L: (e0.im − e2.im, e2.re − e0.re)
//   p + L:  ((y.im + y.re)·h, (y.im − y.re)·h), y = e1 − i·e3
//   p + 3L: ((z.re + z.im)·h, (z.re − z.im)·h), z = (e3.im − e1.re, e3.re + e1.im)
LATTICE_BUBBLE_FFT_INLINE Quad eighth_negative(const Opening& e, Cx h) {
    const Cx y = e.e1 - times_i(e.e3);
    const Cx z = swap(e.e3) + neg_re(e.e1);
    return {e.e0 + e.e2, (dup_im(y) + neg_im(dup_re(y))) * h, im_re(e.e0, e.e2) - im_re(e.e2, e.e0),
            (dup_re(z) + neg_im(dup_im(z))) * h};
}

// Exponent +i with twiddles t1, t2, t3 on p + L, p + 2L, p + 3L.
LATTICE_BUBBLE_FFT_INLINE Quad twiddled_positive(const Opening& e, Twiddle t1, Twiddle t2, Twiddle t3) {
    const Cx ie3 = times_i(e.e3);
    return {e.e0 + e.e2, mul(t1, e.e1 + ie3), mul(t2, e.e0 - e.e2), mul(t3, e.e1 - ie3)};
}

// Exponent −i: the same with every twiddle conjugated.
LATTICE_BUBBLE_FFT_INLINE Quad twiddled_negative(const Opening& e, Twiddle t1, Twiddle t2, Twiddle t3) {
    const Cx ie3 = times_i(e.e3);
    return {e.e0 + e.e2, mul_conj(t1, e.e1 - ie3), mul_conj(t2, e.e0 - e.e2), mul_conj(t3, e.e1 + ie3)};
}

// The three twiddles of a twiddled butterfly, on p + L, p + 2L and p + 3L.
struct BlockTwiddles {
    Twiddle t1;
    Twiddle t2;
    Twiddle t3;
};

// The butterflies of one direction of the exponent.
struct Positive {
    LATTICE_BUBBLE_FFT_INLINE static Quad plain(const Opening& e) { return fft_detail::plain_positive(e); }
    LATTICE_BUBBLE_FFT_INLINE static Quad eighth(const Opening& e, Cx h) {
        return fft_detail::eighth_positive(e, h);
    }
    LATTICE_BUBBLE_FFT_INLINE static Quad twiddled(const Opening& e, const BlockTwiddles& t) {
        return fft_detail::twiddled_positive(e, t.t1, t.t2, t.t3);
    }
};

struct Negative {
    LATTICE_BUBBLE_FFT_INLINE static Quad plain(const Opening& e) { return fft_detail::plain_negative(e); }
    LATTICE_BUBBLE_FFT_INLINE static Quad eighth(const Opening& e, Cx h) {
        return fft_detail::eighth_negative(e, h);
    }
    LATTICE_BUBBLE_FFT_INLINE static Quad twiddled(const Opening& e, const BlockTwiddles& t) {
        return fft_detail::twiddled_negative(e, t.t1, t.t2, t.t3);
    }
};

}  // namespace fft_detail
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
