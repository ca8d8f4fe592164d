#include "fft/complex_fft.h"

#include "common/failure.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "fft/work_sizes.h"
#include "support/naive_dft.h"

namespace lattice_bubble {
namespace {

using testing::deinterleave;
using testing::interleave;
using testing::LongComplex;
using testing::naive_dft;
using testing::random_values;
using testing::relative_rms_error;
using testing::same_bits;

// Work arrays large enough for every transform of these tests (2^16 points).
struct Work {
    static constexpr FftWorkSizes sizes = fft_work_sizes_1d(1 << 17);
    std::vector<int> index_work = std::vector<int>(sizes.index_work_ints, 0);
    std::vector<double> twiddle = std::vector<double>(sizes.twiddle_doubles, 0.0);
};

std::vector<double> transform(std::vector<double> data, int sign) {
    Work work;
    complex_fft(static_cast<int>(data.size()), sign, data.data(), work.index_work.data(),
                work.twiddle.data());
    return data;
}

// The bound grows like log2 N times the double epsilon. The engine stays below
// a third of it at every size; a single wrong twiddle entry, sign or butterfly
// output gives errors many orders of magnitude above it.
double error_bound(int points) {
    const int stages = std::max(1, std::countr_zero(static_cast<unsigned>(points)));
    return 1.0 * stages * std::numeric_limits<double>::epsilon();
}

TEST(ComplexFft, OnePointIsLeftAloneAndStillSetsTheHeader) {
    std::vector<double> a = {3.5, -1.25};
    std::vector<int> index_work = {0, 0, 0, 0};
    std::vector<double> twiddle(4, 0.0);
    complex_fft(2, 1, a.data(), index_work.data(), twiddle.data());
    EXPECT_EQ(a, (std::vector<double>{3.5, -1.25}));
    EXPECT_EQ(index_work[0], 0);
    EXPECT_EQ(index_work[1], 1);
}

TEST(ComplexFft, TwoPointsGiveSumAndDifferenceForEitherSign) {
    for (const int sign : {1, -1}) {
        std::vector<double> a = {1.0, 2.0, 3.0, 5.0};
        std::vector<int> index_work = {0, 0, 0, 0};
        std::vector<double> twiddle(4, 0.0);
        complex_fft(4, sign, a.data(), index_work.data(), twiddle.data());
        EXPECT_EQ(a, (std::vector<double>{4.0, 7.0, -2.0, -3.0})) << "sign " << sign;
        EXPECT_EQ(index_work[0], 1);
        EXPECT_EQ(index_work[1], 1);
    }
}

TEST(ComplexFft, FourPointImpulseAtOneGivesPowersOfI) {
    const std::vector<double> impulse = {0, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(transform(impulse, 1), (std::vector<double>{1, 0, 0, 1, -1, 0, 0, -1}));
    EXPECT_EQ(transform(impulse, -1), (std::vector<double>{1, 0, 0, -1, -1, 0, 0, 1}));
}

TEST(ComplexFft, OnlyTheSignOfTheSignArgumentMatters) {
    for (int points = 2; points <= 1024; points <<= 1) {
        const auto data = interleave(random_values(points, 11));
        const auto plus = transform(data, 1);
        const auto minus = transform(data, -1);
        EXPECT_TRUE(same_bits(transform(data, 0).data(), plus.data(), 2 * points)) << points;
        EXPECT_TRUE(same_bits(transform(data, 9).data(), plus.data(), 2 * points)) << points;
        EXPECT_TRUE(same_bits(transform(data, -7).data(), minus.data(), 2 * points)) << points;
    }
}

TEST(ComplexFft, ATableBuiltForALongerTransformGivesTheSameBits) {
    Work shared;
    std::vector<double> longest(1 << 15, 1.0);
    complex_fft(1 << 15, 1, longest.data(), shared.index_work.data(), shared.twiddle.data());
    ASSERT_EQ(shared.index_work[0], 1 << 13);
    for (int points = 2; points <= (1 << 13); points <<= 1) {
        for (const int sign : {1, -1}) {
            auto reused = interleave(random_values(points, 5));
            const auto fresh = transform(reused, sign);
            complex_fft(2 * points, sign, reused.data(), shared.index_work.data(), shared.twiddle.data());
            EXPECT_TRUE(same_bits(reused.data(), fresh.data(), 2 * points)) << points << " sign " << sign;
            EXPECT_EQ(shared.index_work[0], 1 << 13) << "a shorter transform must not rebuild";
        }
    }
}

// Sizes that describe no data leave everything alone; a positive size that is
// not a power of two is refused before any memory is touched (null arrays).
TEST(ComplexFft, SizesThatAreNotPowersOfTwoAreRefusedBeforeTouchingMemory) {
    for (const int n : {0, -2, -64}) {
        EXPECT_NO_THROW(complex_fft(n, 1, nullptr, nullptr, nullptr)) << "n = " << n;
    }
    for (const int n : {3, 6, 12, 24, 96, 130}) {
        try {
            complex_fft(n, 1, nullptr, nullptr, nullptr);
            ADD_FAILURE() << "n = " << n << " was taken";
        } catch (const Failure& failure) {
            EXPECT_STREQ(failure.what(), ("complex_fft: n = " + std::to_string(n) + " is not a power of two").c_str());
        }
    }
}

// Sizes from 1 to 2^14 points, both signs.
class ComplexFftSizes : public ::testing::TestWithParam<int> {};

TEST_P(ComplexFftSizes, MatchesTheLongDoubleDft) {
    const int points = GetParam();
    const auto x = random_values(points, 1000 + points);
    for (const int sign : {1, -1}) {
        const auto got = deinterleave(transform(interleave(x), sign).data(), points);
        const double error = relative_rms_error(got, naive_dft(x, sign));
        EXPECT_LT(error, error_bound(points)) << "N = " << points << " sign " << sign;
    }
}

TEST_P(ComplexFftSizes, ImpulseGivesTheExponentialAndConstantGivesAnImpulse) {
    const int points = GetParam();
    const int at = points / 3;
    std::vector<double> impulse(2 * static_cast<std::size_t>(points), 0.0);
    impulse[2 * at] = 1.0;
    for (const int sign : {1, -1}) {
        const auto got = transform(impulse, sign);
        double worst = 0.0;
        for (int k = 0; k < points; ++k) {
            const long double angle =
                sign * 2.0L * std::numbers::pi_v<long double> * ((1LL * at * k) % points) / points;
            worst = std::max(worst, static_cast<double>(std::fabs(got[2 * k] - std::cos(angle))));
            worst = std::max(worst, static_cast<double>(std::fabs(got[2 * k + 1] - std::sin(angle))));
        }
        EXPECT_LT(worst, error_bound(points)) << "N = " << points << " sign " << sign;
    }
    const std::vector<double> constant(2 * static_cast<std::size_t>(points), 1.0);
    for (const int sign : {1, -1}) {
        const auto got = transform(constant, sign);
        EXPECT_EQ(got[0], points);
        EXPECT_EQ(got[1], points);
        double worst = 0.0;
        for (int k = 1; k < points; ++k) {
            worst = std::max({worst, std::fabs(got[2 * k]), std::fabs(got[2 * k + 1])});
        }
        EXPECT_LT(worst, points * error_bound(points)) << "N = " << points << " sign " << sign;
    }
}

TEST_P(ComplexFftSizes, LinearWithComplexCoefficients) {
    const int points = GetParam();
    const auto x = random_values(points, 21);
    const auto y = random_values(points, 22);
    const LongComplex alpha(0.75, -1.5);
    const LongComplex beta(-0.3, 0.4);
    std::vector<LongComplex> combined(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        combined[i] = alpha * x[i] + beta * y[i];
    }
    for (const int sign : {1, -1}) {
        const auto fx = deinterleave(transform(interleave(x), sign).data(), points);
        const auto fy = deinterleave(transform(interleave(y), sign).data(), points);
        const auto fc = deinterleave(transform(interleave(combined), sign).data(), points);
        std::vector<LongComplex> expected(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) {
            expected[i] = alpha * fx[i] + beta * fy[i];
        }
        EXPECT_LT(relative_rms_error(fc, expected), 2 * error_bound(points)) << "N = " << points;
    }
}

TEST_P(ComplexFftSizes, CircularShiftBecomesAPhase) {
    const int points = GetParam();
    const int shift = points / 4 + 1;
    const auto x = random_values(points, 31);
    std::vector<LongComplex> shifted(x.size());
    for (int j = 0; j < points; ++j) {
        shifted[(j + shift) % points] = x[j];
    }
    for (const int sign : {1, -1}) {
        const auto fx = deinterleave(transform(interleave(x), sign).data(), points);
        const auto fs = deinterleave(transform(interleave(shifted), sign).data(), points);
        std::vector<LongComplex> expected(x.size());
        for (int k = 0; k < points; ++k) {
            const long double angle =
                sign * 2.0L * std::numbers::pi_v<long double> * ((1LL * shift * k) % points) / points;
            expected[k] = fx[k] * LongComplex(std::cos(angle), std::sin(angle));
        }
        EXPECT_LT(relative_rms_error(fs, expected), 2 * error_bound(points)) << "N = " << points;
    }
}

TEST_P(ComplexFftSizes, ForwardThenBackwardGivesNTimesTheInput) {
    const int points = GetParam();
    const auto x = random_values(points, 41);
    const auto back = deinterleave(transform(transform(interleave(x), 1), -1).data(), points);
    std::vector<LongComplex> expected(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        expected[i] = x[i] * static_cast<long double>(points);
    }
    EXPECT_LT(relative_rms_error(back, expected), 2 * error_bound(points)) << "N = " << points;
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, ComplexFftSizes,
                         ::testing::Values(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192,
                                           16384),
                         [](const ::testing::TestParamInfo<int>& param_info) {
                             return std::to_string(param_info.param) + "points";
                         });

}  // namespace
}  // namespace lattice_bubble
