// The compressed representation against functions known in closed form: a
// few poles anywhere in [−Λ, Λ] are reproduced within ε at any time and any
// bosonic frequency, and the rank grows like log Λ.

#include "transforms/dlr_basis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <random>

namespace lattice_bubble {
namespace {

// K(t, w), no exponent positive, and ∫₀^β e^{iντ}·K(τ/β, w) dτ = β·tanh(w/2)/(w − iβν), in long
// double.
long double kernel(UnitTime t, long double w) {
    return w >= 0 ? std::exp(-w * t.t) / (1.0L + std::exp(-w))
                  : std::exp(w * t.complement) / (1.0L + std::exp(w));
}
std::complex<long double> kernel_at(long double w, long double beta, long double nu) {
    if (w == 0.0L) {  // K(t, 0) = 1/2
        return nu == 0.0L ? beta / 2.0L : 0.0L;
    }
    return beta * std::tanh(w / 2.0L) / std::complex<long double>(w, -beta * nu);
}

// F(t) = Σ_i a_i·K(t, w_i), weights summing to 1, poles spread over
// [−Λ, Λ] on a logarithmic scale and one in turn at Λ, −Λ, 0 or in (−1, 1),
// the ends of the grid the QR chose from: from its values at the nodes, F at 200
// random times and its transform at 14 frequencies, within ε (and no closer
// than 1e-13, the rounding of the fit).
TEST(DlrBasis, ReproducesASumOfPolesAtAnyTimeAndFrequency) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    int edge = 0;
    for (const double lambda : {1.0, 100.0, 1e4, 1e6, 1e8}) {
        for (const double epsilon : {1e-6, 1e-10, 1e-14}) {
            const DlrBasis basis(lambda, epsilon);
            std::vector<double> w(5);  // each of weight 1/5
            for (double& pole : w) {
                pole = (uniform(random) < 0.5 ? -1.0 : 1.0) * std::pow(lambda, uniform(random));
            }
            w[0] = std::array{lambda, -lambda, 0.0, 2.0 * uniform(random) - 1.0}[edge++ % 4];
            const auto f = [&](UnitTime t) {
                long double sum = 0.0L;
                for (const double pole : w) {
                    sum += 0.2L * kernel(t, pole);
                }
                return sum;
            };
            std::vector<double> values, c(static_cast<std::size_t>(basis.rank()));
            for (const UnitTime t : basis.times()) {
                values.push_back(static_cast<double>(f(t)));
            }
            basis.coefficients(values, c);
            const double bound = std::max(epsilon, 1e-13);
            const std::string where =
                "Lambda " + std::to_string(lambda) + ", epsilon " + std::to_string(epsilon);
            for (int sample = 0; sample < 200; ++sample) {
                const double s = std::pow(uniform(random), 3.0);  // near both ends as often as between
                const UnitTime t = sample % 2 == 0 ? UnitTime{s, 1.0 - s} : UnitTime{1.0 - s, s};
                long double sum = 0.0L;
                for (std::size_t l = 0; l < c.size(); ++l) {
                    sum += c[l] * dlr_kernel(t, basis.frequencies()[l]);
                }
                ASSERT_NEAR(static_cast<double>(sum), static_cast<double>(f(t)), bound) << where;
            }
            const double beta = 3.0;
            for (int m = 0; m < 40; m += 3) {
                const double nu = 2.0 * 3.141592653589793 * m / beta;
                std::complex<long double> exact = 0.0L, got = 0.0L;
                for (const double pole : w) {
                    exact += 0.2L * kernel_at(pole, beta, nu);
                }
                for (std::size_t l = 0; l < c.size(); ++l) {
                    const Complex k = dlr_kernel_at_frequency(basis.frequencies()[l], beta, nu);
                    got += static_cast<long double>(c[l]) * std::complex<long double>(k.re, k.im);
                }
                EXPECT_LE(std::abs(got - exact), beta * bound) << where << ", m = " << m;
            }
        }
    }
}

// Each factor 100 of Λ adds about as many terms as the one before (measured
// at ε = 1e-10: 33, 81, 126 and 175 at 1e2, 1e4, 1e6 and 1e8; at 1e-14: 41,
// 107, 173, 241), where a rank that grew like a power of Λ would multiply, and
// one that counted the QR's rounding as rank would jump at ε = 1e-14.
TEST(DlrBasis, RankGrowsLikeTheLogarithmOfLambda) {
    for (const double epsilon : {1e-10, 1e-14}) {
        std::vector<int> ranks;
        for (const double lambda : {1e2, 1e4, 1e6, 1e8}) {
            ranks.push_back(DlrBasis(lambda, epsilon).rank());
            EXPECT_LE(ranks.back(), DlrBasis::rank_bound(lambda, epsilon));  // what the memory check counts
        }
        for (std::size_t i = 1; i + 1 < ranks.size(); ++i) {
            const int step = ranks[i] - ranks[i - 1];
            const int next = ranks[i + 1] - ranks[i];
            EXPECT_GT(step, 20);
            EXPECT_LT(std::abs(next - step), step / 4) << "epsilon " << epsilon << ", ranks " << ranks[i - 1]
                                                       << ", " << ranks[i] << ", " << ranks[i + 1];
        }
    }
}

// A basis asked for again in the process is the one built before; another Λ
// or ε is another, and one pushed out by newer ones is built anew, with the
// same bits.
TEST(DlrBasis, SharedOncePerLambdaAndTolerance) {
    const std::shared_ptr<const DlrBasis> first = shared_dlr_basis(123.0, 1e-8);
    EXPECT_EQ(shared_dlr_basis(123.0, 1e-8), first);
    EXPECT_EQ(shared_dlr_basis(0.5, 1e-8), shared_dlr_basis(1.0, 1e-8));  // Λ below 1 is 1
    EXPECT_NE(shared_dlr_basis(123.0, 1e-6), first);
    for (const double lambda : {2.0, 3.0, 4.0, 5.0}) {
        EXPECT_EQ(shared_dlr_basis(lambda, 1e-8)->lambda(), lambda);
    }
    const std::shared_ptr<const DlrBasis> again = shared_dlr_basis(123.0, 1e-8);
    EXPECT_NE(again, first);
    EXPECT_TRUE(std::ranges::equal(again->frequencies(), first->frequencies()));
}

}  // namespace
}  // namespace lattice_bubble
