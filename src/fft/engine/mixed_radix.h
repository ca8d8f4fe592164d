#pragma once
// Private to the FFT engine: transforms of N points, N not a power of two, by
// passes of radix 4, 2 and the odd primes up to 13, in Stockham's
// self-sorting order, over any lane type (lanes.h). Which passes a size
// takes, the split of a long power-of-two part to the power-of-two kernels
// and Bluestein's chirp for a larger prime factor: general_fft.cpp.
//
// The passes run out of place, from the data to a scratch array and back.
// With l1 the product of the radices before a pass, p its radix and
// ido = N/(l1·p), a pass reads the l1 sub-transforms of length p·ido as
// x[k][j][i] (k < l1, j < p, i < ido) and writes y[m][k][i]:
//   y[m][k][i] = w^{m·i} · Σ_j x[k][j][i]·e^{±2πi·jm/p},   w = e^{±2πi·l1/N},
// with the sign of the transform (complex_fft.h) in both exponents; w^0 = 1
// multiplies too. The output of the last pass is the transform in natural
// order. Every value is
// formed by the operations written below in their order, whichever lanes
// carry it: the same bits on every table of kernels.

#include <utility>

#include "fft/engine/butterflies.h"

namespace lattice_bubble::fft_engine {
namespace {

// ------------------------------------------------------------ butterflies

// i·b for the positive sign, −i·b = (b.im, −b.re) for the negative.
template <class Dir, class Cx>
LATTICE_BUBBLE_FFT_INLINE Cx rotate(Cx b) {
    if constexpr (Dir::negative) {
        return neg_im(swap(b));
    } else {
        return times_i(b);
    }
}

// y_m = Σ_j x_j·e^{±2πi·jm/p}, in place.
//   p = 2: y0 = x0 + x1, y1 = x0 − x1.
//   p = 4: a0 = x0 + x2, a1 = x0 − x2, a2 = x1 + x3, a3 = x1 − x3;
//          y0 = a0 + a2, y2 = a0 − a2, y1 = a1 + r, y3 = a1 − r, r = ±i·a3.
//   odd p, h = (p − 1)/2: u_j = x_j + x_{p−j}, v_j = x_j − x_{p−j} (j = 1 … h);
//          y0 = (…((x0 + u_1) + u_2) … + u_h);
//          for m = 1 … h: a = (…((x0 + u_1·c_{m}) + u_2·c_{2m}) … + u_h·c_{hm}),
//          b = ±i·(…((v_1·s_{m}) + v_2·s_{2m}) … + v_h·s_{hm}), y_m = a + b, y_{p−m} = a − b,
//          c_k = cos(2πk/p), s_k = sin(2πk/p), indices mod p.
template <class Dir, int P, class Cx>
LATTICE_BUBBLE_FFT_INLINE void butterfly(Cx (&x)[P], const double* trig) {
    if constexpr (P == 2) {
        const Cx y0 = x[0] + x[1];
        x[1] = x[0] - x[1];
        x[0] = y0;
    } else if constexpr (P == 4) {
        const Cx a0 = x[0] + x[2];
        const Cx a1 = x[0] - x[2];
        const Cx a2 = x[1] + x[3];
        const Cx r = rotate<Dir>(x[1] - x[3]);
        x[0] = a0 + a2;
        x[2] = a0 - a2;
        x[1] = a1 + r;
        x[3] = a1 - r;
    } else {
        constexpr int h = (P - 1) / 2;
        Cx u[h];
        Cx v[h];
        for (int j = 1; j <= h; ++j) {
            u[j - 1] = x[j] + x[P - j];
            v[j - 1] = x[j] - x[P - j];
        }
        Cx y[P];
        y[0] = x[0];
        for (int j = 0; j < h; ++j) {
            y[0] = y[0] + u[j];
        }
        for (int m = 1; m <= h; ++m) {
            Cx a = x[0];
            Cx b = v[0] * Cx::splat(trig[2 * m + 1]);
            for (int j = 1; j <= h; ++j) {
                a = a + u[j - 1] * Cx::splat(trig[2 * (j * m % P)]);
            }
            for (int j = 2; j <= h; ++j) {
                b = b + v[j - 1] * Cx::splat(trig[2 * (j * m % P) + 1]);
            }
            b = rotate<Dir>(b);
            y[m] = a + b;
            y[P - m] = a - b;
        }
        for (int m = 0; m < P; ++m) {
            x[m] = y[m];
        }
    }
}

template <class Dir, class Cx>
LATTICE_BUBBLE_FFT_INLINE Cx twiddled(const Twiddle<Cx>& w, Cx y) {
    if constexpr (Dir::negative) {
        return mul_conj(w, y);
    } else {
        return mul(w, y);
    }
}

// Calls body.template operator()<T>(at) for at = begin, begin + T::values, …
// up to end, with T the widest lanes of Cx's chain that still fit.
template <class Cx, class Body>
LATTICE_BUBBLE_FFT_INLINE void over_lanes(int begin, int end, const Body& body) {
    int at = begin;
    for (; at + Cx::values <= end; at += Cx::values) {
        body.template operator()<Cx>(at);
    }
    if constexpr (Cx::values > 1) {
        over_lanes<typename Cx::Narrower>(at, end, body);
    }
}

// ------------------------------------------------------------ passes

// One pass on a single transform. Where ido is long, the lanes run along i
// (contiguous, each with its own twiddle); where it is short, along k, with
// the same twiddle in every lane. Every output but y[0] is twiddled, at
// i = 0 by w^0 = 1 too, so that each value has one order of operations.
template <class Dir, class Cx, int P>
void mixed_pass(const MixedPass& pass, const double* cc, double* ch) {
    const int ido = pass.ido;
    const int l1 = pass.l1;
    const double* const twiddle = pass.twiddle;
    const double* const trig = pass.trig;
    const auto in = [&](int i, int j, int k) { return cc + 2 * (i + ido * (j + P * k)); };
    const auto out = [&](int i, int k, int m) { return ch + 2 * (i + ido * (k + l1 * m)); };
    const auto weight = [&](int m, int i) { return twiddle + 2 * ((m - 1) * ido + i); };
    if (ido < Cx::values) {
        for (int i = 0; i < ido; ++i) {
            over_lanes<Cx>(0, l1, [&]<class T>(int k) LATTICE_BUBBLE_FFT_LAMBDA {
                T x[P];
                for (int j = 0; j < P; ++j) {
                    x[j] = T::load_strided(in(i, j, k), 2 * ido * P);
                }
                butterfly<Dir, P>(x, trig);
                store_strided(out(i, k, 0), 2 * ido, x[0]);
                for (int m = 1; m < P; ++m) {
                    const double* w = weight(m, i);
                    store_strided(out(i, k, m), 2 * ido,
                                  twiddled<Dir>(Twiddle<T>{T::splat(w[0]), T::splat(w[1])}, x[m]));
                }
            });
        }
        return;
    }
    for (int k = 0; k < l1; ++k) {
        over_lanes<Cx>(0, ido, [&]<class T>(int i) LATTICE_BUBBLE_FFT_LAMBDA {
            T x[P];
            for (int j = 0; j < P; ++j) {
                x[j] = T::load(in(i, j, k));
            }
            butterfly<Dir, P>(x, trig);
            store(out(i, k, 0), x[0]);
            for (int m = 1; m < P; ++m) {
                const T w = T::load(weight(m, i));
                store(out(i, k, m), twiddled<Dir>(Twiddle<T>{dup_re(w), dup_im(w)}, x[m]));
            }
        });
    }
}

// One pass on `width` transforms side by side: element e of transform w at
// value e·width + w. The lanes run along w.
template <class Dir, class Cx, int P>
void mixed_pass_batched(const MixedPass& pass, int width, const double* cc, double* ch) {
    const int ido = pass.ido;
    const int l1 = pass.l1;
    const double* const twiddle = pass.twiddle;
    const double* const trig = pass.trig;
    const auto in = [&](int i, int j, int k) {
        return cc + 2 * static_cast<long>(i + ido * (j + P * k)) * width;
    };
    const auto out = [&](int i, int k, int m) {
        return ch + 2 * static_cast<long>(i + ido * (k + l1 * m)) * width;
    };
    for (int k = 0; k < l1; ++k) {
        for (int i = 0; i < ido; ++i) {
            over_lanes<Cx>(0, width, [&]<class T>(int w) LATTICE_BUBBLE_FFT_LAMBDA {
                T x[P];
                for (int j = 0; j < P; ++j) {
                    x[j] = T::load(in(i, j, k) + 2 * w);
                }
                butterfly<Dir, P>(x, trig);
                store(out(i, k, 0) + 2 * w, x[0]);
                for (int m = 1; m < P; ++m) {
                    const double* t = twiddle + 2 * ((m - 1) * ido + i);
                    store(out(i, k, m) + 2 * w,
                          twiddled<Dir>(Twiddle<T>{T::splat(t[0]), T::splat(t[1])}, x[m]));
                }
            });
        }
    }
}

// The passes of a plan on `width` transforms of plan.points values side by
// side (width 1: one transform), from a to scratch and back; returns the
// array that holds the result. The one place that dispatches over the radices.
template <class Dir, class Cx>
double* mixed_transform(const MixedPlan& plan, double* a, double* scratch, int width) {
    double* from = a;
    double* to = scratch;
    for (int p = 0; p < plan.passes; ++p) {
        const MixedPass& pass = plan.pass[p];
        const auto run = [&]<int P>() {
            if (width == 1) {
                mixed_pass<Dir, Cx, P>(pass, from, to);
            } else {
                mixed_pass_batched<Dir, Cx, P>(pass, width, from, to);
            }
        };
        switch (pass.radix) {
            case 2:
                run.template operator()<2>();
                break;
            case 3:
                run.template operator()<3>();
                break;
            case 4:
                run.template operator()<4>();
                break;
            case 5:
                run.template operator()<5>();
                break;
            case 7:
                run.template operator()<7>();
                break;
            case 11:
                run.template operator()<11>();
                break;
            default:
                run.template operator()<13>();
                break;
        }
        // By hand: std::swap would be a function the wider units define for every unit.
        double* const written = to;
        to = from;
        from = written;
    }
    return from;
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
