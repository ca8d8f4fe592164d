#include "common/complex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

namespace lattice_bubble {
namespace {

std::string printed(const Complex& z) {
    std::ostringstream out;
    out << z;
    return out.str();
}

TEST(ComplexArithmetic, ProductAndQuotientByDouble) {
    EXPECT_EQ((Complex{1.5, -2.0} * Complex{3.0, 0.5}), (Complex{5.5, -5.25}));
    EXPECT_EQ((Complex{3.0, -6.0} / 4.0), (Complex{0.75, -1.5}));
    EXPECT_EQ(conj(Complex{1.0, 2.0}), (Complex{1.0, -2.0}));
    EXPECT_EQ(-Complex(1.0, 0.0), (Complex{-1.0, -0.0}));
    EXPECT_NE((Complex{1.0, 2.0}), (Complex{1.0, -2.0}));
    EXPECT_EQ(Complex(2.5), (Complex{2.5, 0.0}));
    EXPECT_EQ((Complex{1.0, 2.0} + 0.5), (Complex{1.5, 2.0}));
    EXPECT_EQ((Complex{1.0, 2.0} - 0.5), (Complex{0.5, 2.0}));
}

TEST(ComplexDivision, ExactQuotientsInBothBranches) {
    EXPECT_EQ((Complex{1.0, 0.0} / Complex{0.0, 2.0}), (Complex{0.0, -0.5}));
    EXPECT_EQ((Complex{11.0, 2.0} / Complex{2.0, 1.0}), (Complex{4.8, -1.4}));
    EXPECT_EQ((Complex{3.0, 4.0} / Complex{1.0, 2.0}), (Complex{2.2, -0.4}));
}

TEST(ComplexDivision, NoOverflowWhereTheNaiveFormulaOverflows) {
    // The naive formula divides by |b|² = 2e600, which is infinite in double.
    const Complex big{1e300, 1e300};
    EXPECT_EQ(big / big, (Complex{1.0, 0.0}));
    const Complex q = Complex{1e300, 0.0} / Complex{1e300, 1e300};
    EXPECT_EQ(q, (Complex{0.5, -0.5}));
}

TEST(ComplexDivision, NoUnderflowWhereTheNaiveFormulaUnderflows) {
    // |b|² = 2e-600 is zero in double.
    const Complex tiny{1e-300, 1e-300};
    EXPECT_EQ(tiny / tiny, (Complex{1.0, 0.0}));
    const Complex q = Complex{0.0, 1e-310} / Complex{0.0, 1e-310};  // subnormal parts
    EXPECT_EQ(q, (Complex{1.0, 0.0}));
}

TEST(ComplexDivision, ScalingBothOperandsByAPowerOfTwoLeavesTheQuotient) {
    // Power-of-two scaling is exact as long as nothing over- or underflows, so
    // a scaled algorithm returns the same bits; a naive one returns 0 or NaN.
    std::mt19937_64 rng(20261209);
    std::uniform_real_distribution<double> u(-4.0, 4.0);
    for (int trial = 0; trial < 200; ++trial) {
        const Complex a{u(rng), u(rng)};
        const Complex b{u(rng), u(rng)};
        const Complex q = a / b;
        for (const int e : {-600, 600}) {
            const double s = std::ldexp(1.0, e);
            EXPECT_EQ((a * s) / (b * s), q) << "trial " << trial << " scale 2^" << e;
        }
    }
}

TEST(ComplexOutput, WrittenWithTheStreamsDefaultDoubleFormat) {
    EXPECT_EQ(printed({0.0256995808, -0.5}), "(0.0256996,-0.5)");
    EXPECT_EQ(printed({3.90313e-18, 0.0}), "(3.90313e-18,0)");
    EXPECT_EQ(printed({-0.0, 12.0}), "(-0,12)");
    EXPECT_EQ(printed({1234567.0, 1e-5}), "(1.23457e+06,1e-05)");
}

}  // namespace
}  // namespace lattice_bubble
