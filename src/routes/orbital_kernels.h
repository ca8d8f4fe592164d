#pragma once
// The inner loops of the orbital-resolved direct sum (routes/orbital_direct.h)
// over a tile of frequencies j, each value split into a row of real parts and
// a row of imaginary parts:
//   band:       the band factors of pairs t = 0, 1, … of bands (s at k, s′_t at k + q),
//                 Matsubara, z = iν_j:   v = −Δf/(d·d + ν_j·ν_j),  F_t,j = v·d + i·v·ν_j,
//                                        F_t,j = static_value where ν_j = 0;
//                 real axis, z = ω_j + iη: x = ω_j − d,  v = Δf/(x·x + η·η),  F_t,j = v·x + i·v·(−η);
//               then for each row r: G_r,j ← G_r,j + w_t,r·F_t,j, t in order,
//               from G_r,j = 0 (the rows are held in registers over up to
//               `chunk` pairs);
//   outer:      for each i, then each r: P_{i·R + r},j ← P_{i·R + r},j + w_i·G_r,j
//               (complex w_i);
//   mix:        for each c: P_c,j ← P_c,j + w1_c·G_{r1(c)},j, then, where
//               r2(c) ≥ 0, P_c,j ← P_c,j + w2_c·G_{r2(c)},j (real w1, w2);
//   accumulate: for each row c: sums_c,j += P_c,j, real and imaginary parts
//               each compensated (Neumaier, common/compensated_sum.h).
// A weight w is real, or complex with the product written out:
//   (a + ib)(x + iy) = (a·x − b·y) + i(a·y + b·x).
// Every lane does these operations in this order, so the bits depend neither
// on the lanes nor on the tile; the units compiled for wider instructions
// define nothing but their table.

#include <cstddef>

#include "routes/direct_kernels.h"

namespace lattice_bubble {

// Rows of values: row r's real parts at re + r·stride, imaginary parts at im + r·stride.
struct OrbitalRows {
    double* re;
    double* im;
    std::ptrdiff_t stride;
};

// `count` weights; im is null for real weights. The band kernels read pair
// t's weights from re + t·stride (and im + t·stride).
struct OrbitalWeights {
    const double* re;
    const double* im;
    int count;
    std::ptrdiff_t stride = 0;
};

// The mix's terms of row c: rows first[c] and second[c] (−1: none) of G
// with the real weights w1[c] and w2[c].
struct OrbitalMix {
    const int* first;
    const int* second;
    const double* w1;
    const double* w2;
    int count;
};

// One pair of bands: d = ε_s′(k+q) − ε_s(k), Δf = f(ε_s′(k+q)) − f(ε_s(k)),
// and the value at ν = 0, Δf/(−d) with its limit at d = 0.
struct BandPair {
    double d;
    double delta_f;
    double static_value;
};

struct OrbitalKernels {
    // eta < 0: the Matsubara axis (z = iν_j), else z = ω_j + iη.
    void (*band)(const BandPair* pairs, int pair_count, const double* z, double eta, int count,
                 const OrbitalWeights& w, const OrbitalRows& g);
    // With `start`, P's rows start from zero instead of their values.
    void (*outer)(const OrbitalWeights& w, const OrbitalRows& g, int rows, int count, bool start,
                  const OrbitalRows& p);
    void (*mix)(const OrbitalMix& m, const OrbitalRows& g, int count, bool start, const OrbitalRows& p);
    void (*accumulate)(const OrbitalRows& p, int rows, int count, const OrbitalRows& sums,
                       const OrbitalRows& low);
};

// The kernels of the widest lanes the FFT engine's choice of kernels runs.
[[nodiscard]] const OrbitalKernels& orbital_kernels();

namespace orbital_kernel_detail {
namespace {

template <int Lanes>
struct OrbitalLoops {
    using L = direct_kernel_detail::Loops<Lanes>;
    // Pairs at most per pass of the band kernel.
    static constexpr int chunk = 8;

    // The row's values, or zeros when it starts.
    template <typename T>
    static T start_or_load(bool start, const double* at) {
        return start ? L::template splat<T>(0.0) : L::template load<T>(at);
    }

    template <typename T>
    static void band_at(const BandPair* pairs, int pair_count, const double* z, double eta,
                        const OrbitalWeights& w, const OrbitalRows& g, bool start, int j) {
        T x[chunk];
        T y[chunk];
        const T zero = L::template splat<T>(0.0);
        const T nu_or_omega = L::template load<T>(z + j);
        for (int t = 0; t < pair_count; ++t) {
            const BandPair& pair = pairs[t];
            if (eta < 0.0) {
                const T n = nu_or_omega;
                const T v =
                    -L::template splat<T>(pair.delta_f) / (L::template splat<T>(pair.d * pair.d) + n * n);
                x[t] = n == zero ? L::template splat<T>(pair.static_value) : v * pair.d;
                y[t] = n == zero ? zero : v * n;
            } else {
                const T u = nu_or_omega - pair.d;
                const T v = L::template splat<T>(pair.delta_f) / (u * u + eta * eta);
                x[t] = v * u;
                y[t] = v * -eta;
            }
        }
        for (int r = 0; r < w.count; ++r) {
            double* re = g.re + r * g.stride + j;
            double* im = g.im + r * g.stride + j;
            T row_re = start_or_load<T>(start, re);
            T row_im = start_or_load<T>(start, im);
            if (w.im == nullptr) {
                for (int t = 0; t < pair_count; ++t) {
                    const T a = L::template splat<T>(w.re[t * w.stride + r]);
                    row_re = row_re + a * x[t];
                    row_im = row_im + a * y[t];
                }
            } else {
                for (int t = 0; t < pair_count; ++t) {
                    const T a = L::template splat<T>(w.re[t * w.stride + r]);
                    const T b = L::template splat<T>(w.im[t * w.stride + r]);
                    row_re = row_re + (a * x[t] - b * y[t]);
                    row_im = row_im + (a * y[t] + b * x[t]);
                }
            }
            L::store(re, row_re);
            L::store(im, row_im);
        }
    }

    static void band(const BandPair* pairs, int pair_count, const double* z, double eta, int count,
                     const OrbitalWeights& w, const OrbitalRows& g) {
        for (int t = 0; t < pair_count; t += chunk) {
            const int here = pair_count - t < chunk ? pair_count - t : chunk;
            const OrbitalWeights from{w.re + t * w.stride, w.im == nullptr ? nullptr : w.im + t * w.stride,
                                      w.count, w.stride};
            L::over(count,
                    [&]<typename T>(int j) { band_at<T>(pairs + t, here, z, eta, from, g, t == 0, j); });
        }
    }

    static void outer(const OrbitalWeights& w, const OrbitalRows& g, int rows, int count, bool start,
                      const OrbitalRows& p) {
        for (int i = 0; i < w.count; ++i) {
            const double a = w.re[i];
            const double b = w.im[i];
            for (int r = 0; r < rows; ++r) {
                const std::ptrdiff_t at = (static_cast<std::ptrdiff_t>(i) * rows + r) * p.stride;
                const double* g_re = g.re + r * g.stride;
                const double* g_im = g.im + r * g.stride;
                L::over(count, [&]<typename T>(int j) {
                    const T x = L::template load<T>(g_re + j);
                    const T y = L::template load<T>(g_im + j);
                    L::store(p.re + at + j, start_or_load<T>(start, p.re + at + j) + (a * x - b * y));
                    L::store(p.im + at + j, start_or_load<T>(start, p.im + at + j) + (a * y + b * x));
                });
            }
        }
    }

    static void mix(const OrbitalMix& m, const OrbitalRows& g, int count, bool start, const OrbitalRows& p) {
        for (int c = 0; c < m.count; ++c) {
            const std::ptrdiff_t at = c * p.stride;
            const double* g1_re = g.re + m.first[c] * g.stride;
            const double* g1_im = g.im + m.first[c] * g.stride;
            const double w1 = m.w1[c];
            if (m.second[c] < 0) {
                L::over(count, [&]<typename T>(int j) {
                    L::store(p.re + at + j,
                             start_or_load<T>(start, p.re + at + j) + w1 * L::template load<T>(g1_re + j));
                    L::store(p.im + at + j,
                             start_or_load<T>(start, p.im + at + j) + w1 * L::template load<T>(g1_im + j));
                });
                continue;
            }
            const double* g2_re = g.re + m.second[c] * g.stride;
            const double* g2_im = g.im + m.second[c] * g.stride;
            const double w2 = m.w2[c];
            L::over(count, [&]<typename T>(int j) {
                const T re = start_or_load<T>(start, p.re + at + j) + w1 * L::template load<T>(g1_re + j);
                const T im = start_or_load<T>(start, p.im + at + j) + w1 * L::template load<T>(g1_im + j);
                L::store(p.re + at + j, re + w2 * L::template load<T>(g2_re + j));
                L::store(p.im + at + j, im + w2 * L::template load<T>(g2_im + j));
            });
        }
    }

    static void accumulate(const OrbitalRows& p, int rows, int count, const OrbitalRows& sums,
                           const OrbitalRows& low) {
        for (int c = 0; c < rows; ++c) {
            const std::ptrdiff_t at = c * p.stride;
            const std::ptrdiff_t to = c * sums.stride;
            L::over(count, [&]<typename T>(int j) {
                L::add_at(sums.re + to + j, low.re + to + j, L::template load<T>(p.re + at + j));
                L::add_at(sums.im + to + j, low.im + to + j, L::template load<T>(p.im + at + j));
            });
        }
    }

    static constexpr OrbitalKernels table{band, outer, mix, accumulate};
};

}  // namespace
}  // namespace orbital_kernel_detail

}  // namespace lattice_bubble
