#include "default_run/reference_sum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <sstream>

#include "model/lattice_model.h"

namespace lattice_bubble {
namespace {

using LongComplex = std::complex<long double>;

std::string six_digits(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

TEST(BubbleReference, ZeroMomentumZeroFrequencySkipsEveryTerm) {
    const Complex chi = bubble_reference(0.0, 0.0, boson_frequency(0));
    EXPECT_EQ(chi.re, 0.0);
    EXPECT_EQ(chi.im, 0.0);
}

TEST(BubbleReference, ZeroMomentumFiniteFrequencyIsZero) {
    for (int m = 1; m < boson_count; ++m) {
        EXPECT_EQ(bubble_reference(0.0, 0.0, boson_frequency(m)), (Complex{0.0, 0.0})) << "m = " << m;
    }
}

TEST(BubbleReference, StaticValueIsRealAndNotNegativeOnTheWholeGrid) {
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            const Complex chi = bubble_reference(x * dk, y * dk, boson_frequency(0));
            EXPECT_EQ(chi.im, 0.0) << x << "," << y;
            EXPECT_GE(chi.re, 0.0) << x << "," << y;
        }
    }
}

TEST(BubbleReference, ValuesAtPiPi) {
    const double q = (lattice_size / 2) * dk;  // π
    const Complex first = bubble_reference(q, q, boson_frequency(0));
    EXPECT_NEAR(first.re, 0.0435, 5e-4);
    EXPECT_EQ(first.im, 0.0);

    const Complex second = bubble_reference(q, q, boson_frequency(1));
    EXPECT_EQ(six_digits(second.re), "0.0256996");
    EXPECT_LT(std::fabs(second.im), 1e-16);

    double previous = first.re;
    for (int m = 1; m < boson_count; ++m) {
        const double current = bubble_reference(q, q, boson_frequency(m)).re;
        EXPECT_LT(current, previous) << "m = " << m;
        EXPECT_GT(current, 0.0) << "m = " << m;
        previous = current;
    }
    EXPECT_EQ(six_digits(previous), "0.000403444");
}

TEST(BubbleReference, AgreesWithALongDoubleLindhardSum) {
    // An independent evaluation in long double at the finite frequencies. (At
    // z = 0 which terms are 0/0 is decided by rounding of the double band.)
    const auto lindhard = [](int qx, int qy, int m) {
        const auto band = [](int i, int j) {
            return 4.0L * (std::cos(i * (pi / 4.0L)) + std::cos(j * (pi / 4.0L))) + 4.0L;
        };
        LongComplex sum = 0;
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 8; ++j) {
                const long double e_k = band(i, j);
                const long double e_kq = band(i + qx, j + qy);
                const long double f_k = 1.0L / (std::exp(e_k) + 1.0L);
                const long double f_kq = 1.0L / (std::exp(e_kq) + 1.0L);
                sum += (f_kq - f_k) / LongComplex(-(e_kq - e_k), 2.0L * m * pi);
            }
        }
        return sum / 64.0L;
    };
    for (const auto& [qx, qy] : {std::pair{4, 4}, std::pair{1, 2}, std::pair{3, 0}, std::pair{7, 5}}) {
        for (const int m : {1, 2, 9, 16}) {
            const Complex chi = bubble_reference(qx * dk, qy * dk, boson_frequency(m));
            const LongComplex expected = lindhard(qx, qy, m);
            EXPECT_NEAR(chi.re, static_cast<double>(expected.real()), 1e-15) << qx << qy << m;
            EXPECT_NEAR(chi.im, static_cast<double>(expected.imag()), 1e-15) << qx << qy << m;
        }
    }
}

TEST(BubbleRpa, ZeroAtZeroMomentumAndFrequency) {
    EXPECT_EQ(bubble_rpa_minus(0.0, 0.0, boson_frequency(0)), (Complex{0.0, 0.0}));
    EXPECT_EQ(bubble_rpa_plus(0.0, 0.0, boson_frequency(0)), (Complex{0.0, 0.0}));
}

TEST(BubbleRpa, EnhancedAndScreenedFormsOfTheBareBubble) {
    // Off the Matsubara axis, where χ0 has an imaginary part of its own.
    const double qx = 3 * dk;
    const double qy = 1 * dk;
    const Complex z{0.75, 2.0};
    const Complex chi0 = bubble_reference(qx, qy, z);
    ASSERT_GT(std::fabs(chi0.im), 1e-6);
    const LongComplex c0(chi0.re, chi0.im);
    const LongComplex minus = c0 / (1.0L - 2.0L * c0);
    const LongComplex plus = c0 / (1.0L + 2.0L * c0);
    const Complex m = bubble_rpa_minus(qx, qy, z);
    const Complex p = bubble_rpa_plus(qx, qy, z);
    EXPECT_NEAR(m.re, static_cast<double>(minus.real()), 1e-16);
    EXPECT_NEAR(m.im, static_cast<double>(minus.imag()), 1e-16);
    EXPECT_NEAR(p.re, static_cast<double>(plus.real()), 1e-16);
    EXPECT_NEAR(p.im, static_cast<double>(plus.imag()), 1e-16);
}

}  // namespace
}  // namespace lattice_bubble
