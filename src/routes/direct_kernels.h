#pragma once
// The inner loops of the direct route: one term of the sum over k, the pair
// (k, k + q) with d = e(k+q) − e(k) and Δf = f(e(k+q)) − f(e(k)), added at
// every frequency of a range, each into a sum of its own with its
// compensation (Neumaier's, common/compensated_sum.h):
//   Matsubara, z = iν_j:   v = −Δf/(d·d + ν_j·ν_j);  re_j += v·d,  im_j += v·ν_j
//   real axis, z = ω_j + iη:  x = ω_j − d, v = Δf/(x·x + η·η);  re_j += v·x,  im_j += v·(−η)
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

struct DirectKernels {
    void (*matsubara)(double d, double delta_f, const double* nu, int count, const FrequencySums& sums);
    void (*real_axis)(double d, double delta_f, const double* omega, double eta, int count,
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

    static void real_axis(double d, double delta_f, const double* omega, double eta, int count,
                          const FrequencySums& s) {
        const double eta_squared = eta * eta;
        const double minus_eta = -eta;
        over(count, [&]<typename T>(int j) {
            const T x = load<T>(omega + j) - d;
            const T v = splat<T>(delta_f) / (x * x + eta_squared);
            add_at(s.re + j, s.re_low + j, v * x);
            add_at(s.im + j, s.im_low + j, v * minus_eta);
        });
    }
};

}  // namespace

}  // namespace direct_kernel_detail

}  // namespace lattice_bubble
