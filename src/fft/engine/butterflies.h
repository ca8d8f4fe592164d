#pragma once
// Private to the FFT engine: the radix-4 butterflies, their twiddles and the
// last two stages of a transform, over any lane type (lanes.h).
//
// A stage of span L (in values) splits its elements into blocks of 4L; block b
// runs L butterflies on the elements p, p + L, p + 2L, p + 3L. Block 0 has no
// twiddle, block 1 the eighth turn, and block b ≥ 2 the twiddles W[b], W[b]²,
// W[b]³ from the bit-reversed table (twiddle.h), W[b]² read from the table and
// W[b]³ from the first two by the cube formula.

#include "fft/engine/lanes.h"

namespace lattice_bubble::fft_engine {
namespace {

// The values 0 … Points − 1 in bit-reversed order, as a table the compiler
// builds.
template <int Points>
struct ReversedOrder {
    int index[Points] = {};
    constexpr ReversedOrder() {
        for (int p = 0; p < Points; ++p) {
            for (int bit = 1, mirror = Points / 2; bit < Points; bit <<= 1, mirror >>= 1) {
                index[p] |= (p & bit) != 0 ? mirror : 0;
            }
        }
    }
};

// A twiddle factor as its two parts: doubles, or a lane type with the parts of
// one factor in every value (or of one factor per value).
template <class T>
struct Twiddle {
    T re;
    T im;
};

// The twiddles of a block, on its elements p + L, p + 2L, p + 3L.
template <class T>
struct BlockTwiddles {
    Twiddle<T> t1;
    Twiddle<T> t2;
    Twiddle<T> t3;
};

// The third power from the first two, without a complex product:
// t3 = (t1.re − c·t1.im, c·t1.re − t1.im), c = 2·t2.im. The one derivation of
// a block's twiddles, on doubles once per block or on lanes once per group
// of blocks.
template <class T>
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles<T> with_cube(Twiddle<T> t1, Twiddle<T> t2, T two) {
    const T twice = two * t2.im;
    return {t1, t2, {t1.re - twice * t1.im, twice * t1.re - t1.im}};
}

template <class Cx>
LATTICE_BUBBLE_FFT_INLINE Twiddle<Cx> spread(Twiddle<double> t) {
    return {Cx::splat(t.re), Cx::splat(t.im)};
}

// Block b ≥ 2: t1 = W[b], and t2 = t1², read from the table (in doubles) as
// (s·twiddle[b], twiddle[b + s]), s = +1 for even b and −1 for odd b: entry
// 2t is the square root of entry t, and entry 2t + 1 that root times e^{iπ/4}.
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles<double> block_twiddle_values(int b, const double* twiddle) {
    const int s = b % 2 == 0 ? 1 : -1;
    return with_cube(Twiddle<double>{twiddle[2 * b], twiddle[2 * b + 1]},
                     Twiddle<double>{s * twiddle[b], twiddle[b + s]}, 2.0);
}

template <class Cx>
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles<Cx> block_twiddles(int b, const double* twiddle) {
    const BlockTwiddles<double> t = block_twiddle_values(b, twiddle);
    return {spread<Cx>(t.t1), spread<Cx>(t.t2), spread<Cx>(t.t3)};
}

// The four sums and differences that open every radix-4 butterfly.
template <class Cx>
struct Opening {
    Cx e0;  // x0 + x1
    Cx e1;  // x0 − x1
    Cx e2;  // x2 + x3
    Cx e3;  // x2 − x3
};

template <class Cx>
LATTICE_BUBBLE_FFT_INLINE Opening<Cx> open_butterfly(Cx x0, Cx x1, Cx x2, Cx x3) {
    return {x0 + x1, x0 - x1, x2 + x3, x2 - x3};
}

// A butterfly's outputs in element order: p, p + L, p + 2L, p + 3L. Named,
// not an array: the compiler keeps named members in registers.
template <class Cx>
struct Quad {
    Cx y0;
    Cx y1;
    Cx y2;
    Cx y3;
};

// Hands the outputs to put(k, y_k), the even ones first.
template <class Cx, class Put>
LATTICE_BUBBLE_FFT_INLINE void put_quad(const Quad<Cx>& q, const Put& put) {
    put(0, q.y0);
    put(2, q.y2);
    put(1, q.y1);
    put(3, q.y3);
}

// q·y and conj(q)·y
template <class Cx>
LATTICE_BUBBLE_FFT_INLINE Cx mul(const Twiddle<Cx>& q, Cx y) {
    return sub_add(q.re * y, q.im * swap(y));
}
template <class Cx>
LATTICE_BUBBLE_FFT_INLINE Cx mul_conj(const Twiddle<Cx>& q, Cx y) {
    return q.re * y + neg_im(q.im * swap(y));
}

// The butterflies of the exponent's positive sign, exp(+2πi·jk/N).
struct Positive {
    static constexpr bool negative = false;

    // e0 + e2, e1 + i·e3, e0 − e2, e1 − i·e3
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> plain(const Opening<Cx>& e) {
        const Cx ie3 = times_i(e.e3);
        return {e.e0 + e.e2, e.e1 + ie3, e.e0 - e.e2, e.e1 - ie3};
    }
    // Eighth turn, h = cos π/4:
    //   p + L:  ((y.re − y.im)·h, (y.re + y.im)·h), y = e1 + i·e3
    //   p + 2L: (e2.im − e0.im, e0.re − e2.re)
    //   p + 3L: ((v.im − v.re)·h, (v.im + v.re)·h), v = (e3.im + e1.re, e3.re − e1.im)
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> eighth(const Opening<Cx>& e, Cx h) {
        const Cx y = e.e1 + times_i(e.e3);
        const Cx v = swap(e.e3) + neg_im(e.e1);
        return {e.e0 + e.e2, (dup_re(y) + neg_re(dup_im(y))) * h, im_re(e.e2, e.e0) - im_re(e.e0, e.e2),
                (dup_im(v) + neg_re(dup_re(v))) * h};
    }
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> twiddled(const Opening<Cx>& e, const BlockTwiddles<Cx>& t) {
        const Cx ie3 = times_i(e.e3);
        return {e.e0 + e.e2, mul(t.t1, e.e1 + ie3), mul(t.t2, e.e0 - e.e2), mul(t.t3, e.e1 - ie3)};
    }
};

// The butterflies of the negative sign, exp(−2πi·jk/N).
struct Negative {
    static constexpr bool negative = true;

    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> plain(const Opening<Cx>& e) {
        const Cx ie3 = times_i(e.e3);
        return {e.e0 + e.e2, e.e1 - ie3, e.e0 - e.e2, e.e1 + ie3};
    }
    //   p + L:  ((y.im + y.re)·h, (y.im − y.re)·h), y = e1 − i·e3
    //   p + 2L: (e0.im − e2.im, e2.re − e0.re)
    //   p + 3L: ((z.re + z.im)·h, (z.re − z.im)·h), z = (e3.im − e1.re, e3.re + e1.im)
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> eighth(const Opening<Cx>& e, Cx h) {
        const Cx y = e.e1 - times_i(e.e3);
        const Cx z = swap(e.e3) + neg_re(e.e1);
        return {e.e0 + e.e2, (dup_im(y) + neg_im(dup_re(y))) * h, im_re(e.e0, e.e2) - im_re(e.e2, e.e0),
                (dup_re(z) + neg_im(dup_im(z))) * h};
    }
    // The positive butterfly with every twiddle conjugated.
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> twiddled(const Opening<Cx>& e, const BlockTwiddles<Cx>& t) {
        const Cx ie3 = times_i(e.e3);
        return {e.e0 + e.e2, mul_conj(t.t1, e.e1 - ie3), mul_conj(t.t2, e.e0 - e.e2),
                mul_conj(t.t3, e.e1 + ie3)};
    }
};

// The butterflies of an untwiddled last stage, radix 4 or radix 2 (the
// outputs e0, e1 of the latter).
template <class Dir>
struct PlainLast {
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> radix4(Cx x0, Cx x1, Cx x2, Cx x3) {
        return Dir::plain(open_butterfly(x0, x1, x2, x3));
    }
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Opening<Cx> radix2(Cx u, Cx v) {
        return {u + v, u - v, u, v};
    }
};

// The 1-D negative transform runs the positive stages on conjugated data; its
// last stage takes conjugated inputs and delivers conjugated results, since
// conj(Σ conj(x_j)·w^jk) = Σ x_j·w^−jk. Written out for radix 4:
//   e0 = (a0.re + a1.re, −a0.im − a1.im), e1 = (a0.re − a1.re, −a0.im + a1.im),
//   e2 and e3 as usual; outputs (e0.re + e2.re, e0.im − e2.im),
//   (e1.re − e3.im, e1.im − e3.re), (e0.re − e2.re, e0.im + e2.im),
//   (e1.re + e3.im, e1.im + e3.re).
struct ConjugatingLast {
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Quad<Cx> radix4(Cx a0, Cx a1, Cx a2, Cx a3) {
        const Cx x0 = neg_im(a0);
        const Cx x1 = neg_im(a1);
        const Cx e0 = x0 + x1;
        const Cx e1 = x0 - x1;
        const Cx c2 = neg_im(a2 + a3);
        const Cx s3 = swap(a2 - a3);
        return {e0 + c2, e1 - s3, e0 - c2, e1 + s3};
    }
    template <class Cx>
    LATTICE_BUBBLE_FFT_INLINE static Opening<Cx> radix2(Cx u, Cx v) {
        const Cx x = neg_im(u);
        const Cx y = neg_im(v);
        return {x + y, x - y, x, y};
    }
};

// The twiddles of a last twiddled stage that has only blocks 0 … 3: the
// eighth turn and the twiddles of blocks 2 and 3 (not read with 8 points,
// whose table may be shorter).
template <class Cx>
struct TailTwiddles {
    Cx h;
    BlockTwiddles<Cx> g2;
    BlockTwiddles<Cx> g3;
};

template <class Cx, int Points>
LATTICE_BUBBLE_FFT_INLINE TailTwiddles<Cx> tail_twiddles(const double* twiddle) {
    TailTwiddles<Cx> t{Cx::splat(twiddle[2]), {}, {}};
    if constexpr (Points == 16) {
        t.g2 = block_twiddles<Cx>(2, twiddle);
        t.g3 = block_twiddles<Cx>(3, twiddle);
    }
    return t;
}

// The tail of every transform whose last twiddled stage has a span of a
// quarter (Points = 16) or an eighth (Points = 8) of its length: that stage's
// blocks 0 … 3 (or 0 and 1) on the inputs get(4b … 4b + 3), then the
// untwiddled last stage, radix 4 (or radix 2) over the blocks, in registers.
// Output k goes to put(k, value). The inputs are fetched block by block, as
// they are needed, so that fewer registers are live at once.
template <class Dir, class Last, int Points, class Cx, class Get, class Put>
LATTICE_BUBBLE_FFT_INLINE void tail(const Get& get, const TailTwiddles<Cx>& t, const Put& put) {
    static_assert(Points == 8 || Points == 16);
    const Quad<Cx> b0 = Dir::plain(open_butterfly<Cx>(get(0), get(1), get(2), get(3)));
    const Quad<Cx> b1 = Dir::eighth(open_butterfly<Cx>(get(4), get(5), get(6), get(7)), t.h);
    if constexpr (Points == 16) {
        const Quad<Cx> b2 = Dir::twiddled(open_butterfly<Cx>(get(8), get(9), get(10), get(11)), t.g2);
        const Quad<Cx> b3 = Dir::twiddled(open_butterfly<Cx>(get(12), get(13), get(14), get(15)), t.g3);
        const auto last = [&put](int r, const Quad<Cx>& z) LATTICE_BUBBLE_FFT_LAMBDA {
            put_quad(z, [&](int k, Cx v) LATTICE_BUBBLE_FFT_LAMBDA { put(r + 4 * k, v); });
        };
        last(0, Last::radix4(b0.y0, b1.y0, b2.y0, b3.y0));
        last(1, Last::radix4(b0.y1, b1.y1, b2.y1, b3.y1));
        last(2, Last::radix4(b0.y2, b1.y2, b2.y2, b3.y2));
        last(3, Last::radix4(b0.y3, b1.y3, b2.y3, b3.y3));
    } else {
        const auto last = [&put](int r, const Opening<Cx>& d) LATTICE_BUBBLE_FFT_LAMBDA {
            put(r, d.e0);
            put(r + 4, d.e1);
        };
        last(0, Last::radix2(b0.y0, b1.y0));
        last(1, Last::radix2(b0.y1, b1.y1));
        last(2, Last::radix2(b0.y2, b1.y2));
        last(3, Last::radix2(b0.y3, b1.y3));
    }
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
