#pragma once
// The inner loops of the direct route. A term is the pair (k, k + q) with
// d = e(k+q) − e(k) and Δf = f(e(k+q)) − f(e(k)); each frequency j has a
// real and an imaginary sum with their compensations (Neumaier's,
// common/compensated_sum.h).
//   Matsubara, z = iν_j: one term at every frequency of a range,
//     v = −Δf/(d·d + ν_j·ν_j);  re_j += v·d,  im_j += v·ν_j, each compensated.
//   Real axis, z = ω_j + iη: a block of up to real_axis_block terms (t = 0, 1, …
//     in the order of k) at every frequency of a range, by plain sums that
//     start at zero, then one compensated addition of each:
//       x = ω_j − d_t,  v = Δf_t/(x·x + η·η),  r ← r + v·x,  s ← s + v;
//       re_j += r,  im_j += s·(−η).
//     The plain sums of a frequency stay in registers across the block, so
//     that the sums in memory are read and written once per block instead
//     of once per term; their error, (block − 1)·2^−53 of the sum of |terms|
//     at worst, is far below what the rounding of d leaves on this axis.
// The loops run over lanes of the widest doubles the processor has; every
// lane does the operations written here in their order, so the bits do not
// depend on the lanes. The units compiled for wider instructions define
// nothing but their table, as the FFT engine's do.

#include <type_traits>

#include "common/compensated_sum.h"
#include "fft/kernel_choice.h"

namespace lattice_bubble {

// The sums of a range of frequencies: per frequency j, the real and the
// imaginary sum and their compensations.
struct FrequencySums {
    double* re;
    double* im;
    double* re_low;
    double* im_low;
};

// The terms of one block on the real axis: d_t and Δf_t, t < count ≤ real_axis_block.
struct TermBlock {
    const double* d;
    const double* delta_f;
    int count;
};

// Terms per block of the real-axis sum: the cost of the compensated
// additions is spread over this many terms; the order of operations, and so
// the bits, depend on it.
constexpr int real_axis_block = 64;

struct DirectKernels {
    void (*matsubara)(double d, double delta_f, const double* nu, int count, const FrequencySums& sums);
    void (*real_axis)(const TermBlock& terms, const double* omega, double eta, int count,
                      const FrequencySums& sums);
};

// The kernels of the widest lanes the FFT engine's choice of kernels runs.
[[nodiscard]] const DirectKernels& direct_kernels();

namespace direct_kernel_detail {

// The loops over `Lanes` doubles at a time (GCC's vector extension), the
// remainder one at a time by the same operations. In an unnamed namespace,
// so that each unit keeps its own copy.
namespace {

// Lanes doubles as one value of GCC's vector extension (an alias template
// would drop the attribute).
template <int Lanes>
struct Doubles;
template <>
struct Doubles<1> {
    typedef double type;
};
template <>
struct Doubles<2> {
    typedef double type __attribute__((vector_size(16)));
};
template <>
struct Doubles<4> {
    typedef double type __attribute__((vector_size(32)));
};
template <>
struct Doubles<8> {
    typedef double type __attribute__((vector_size(64)));
};

template <int Lanes>
struct Loops {
    using V = typename Doubles<Lanes>::type;
    static_assert(sizeof(V) == 8 * Lanes);
    // Vectors of frequencies whose real-axis sums stay in registers over a
    // block: enough independent divisions in flight to hide their latency,
    // few enough that the sums are not spilled.
    static constexpr int tile = 4;

    template <typename T>
    static T load(const double* p) {
        T v;
        __builtin_memcpy(&v, p, sizeof v);
        return v;
    }
    template <typename T>
    static void store(double* p, T v) {
        __builtin_memcpy(p, &v, sizeof v);
    }
    template <typename T>
    static T splat(double x) {
        T v{};
        if constexpr (std::is_same_v<T, double>) {
            v = x;
        } else {
            for (int i = 0; i < Lanes; ++i) {
                v[i] = x;
            }
        }
        return v;
    }
    // v into the sums at s and their compensations at c.
    template <typename T>
    static void add_at(double* s, double* c, T v) {
        T sum = load<T>(s);
        T low = load<T>(c);
        add_compensated(sum, low, v);
        store(s, sum);
        store(c, low);
    }

    // Runs body<T>(j) over [0, count): T = V at a time, then double.
    template <typename Body>
    static void over(int count, const Body& body) {
        int j = 0;
        for (; j + Lanes <= count; j += Lanes) {
            body.template operator()<V>(j);
        }
        for (; j < count; ++j) {
            body.template operator()<double>(j);
        }
    }

    static void matsubara(double d, double delta_f, const double* nu, int count, const FrequencySums& s) {
        over(count, [&]<typename T>(int j) {
            const T n = load<T>(nu + j);
            const T v = -splat<T>(delta_f) / (splat<T>(d * d) + n * n);
            add_at(s.re + j, s.re_low + j, v * d);
            add_at(s.im + j, s.im_low + j, v * n);
        });
    }

    // The real-axis block at the `Tile`·|T| frequencies from j on.
    template <typename T, int Tile>
    static void real_axis_tile(const TermBlock& terms, const double* omega, double eta_squared,
                               double minus_eta, const FrequencySums& s, int j) {
        constexpr int width = sizeof(T) / sizeof(double);
        T w[Tile];
        T r[Tile];
        T v_sum[Tile];
        for (int i = 0; i < Tile; ++i) {
            w[i] = load<T>(omega + j + i * width);
            r[i] = splat<T>(0.0);
            v_sum[i] = splat<T>(0.0);
        }
        for (int t = 0; t < terms.count; ++t) {
            const T d = splat<T>(terms.d[t]);
            const T delta_f = splat<T>(terms.delta_f[t]);
            for (int i = 0; i < Tile; ++i) {
                const T x = w[i] - d;
                const T v = delta_f / (x * x + eta_squared);
                r[i] = r[i] + v * x;
                v_sum[i] = v_sum[i] + v;
            }
        }
        for (int i = 0; i < Tile; ++i) {
            const int at = j + i * width;
            add_at(s.re + at, s.re_low + at, r[i]);
            add_at(s.im + at, s.im_low + at, v_sum[i] * minus_eta);
        }
    }

    static void real_axis(const TermBlock& terms, const double* omega, double eta, int count,
                          const FrequencySums& s) {
        const double eta_squared = eta * eta;
        const double minus_eta = -eta;
        int j = 0;
        for (; j + tile * Lanes <= count; j += tile * Lanes) {
            real_axis_tile<V, tile>(terms, omega, eta_squared, minus_eta, s, j);
        }
        for (; j + Lanes <= count; j += Lanes) {
            real_axis_tile<V, 1>(terms, omega, eta_squared, minus_eta, s, j);
        }
        for (; j < count; ++j) {
            real_axis_tile<double, 1>(terms, omega, eta_squared, minus_eta, s, j);
        }
    }
};

}  // namespace

}  // namespace direct_kernel_detail

}  // namespace lattice_bubble
