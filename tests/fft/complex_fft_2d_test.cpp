#include "fft/complex_fft_2d.h"

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
using testing::naive_dft_2d;
using testing::random_values;
using testing::relative_rms_error;
using testing::same_bits;

// An n1 × n2 array of complex values as separately allocated rows, so that a
// transform that assumed adjacent rows would fail.
class RowArray {
public:
    RowArray(int n1, int n2) : n1_(n1), n2_(n2) {
        for (int i = 0; i < n1; ++i) {
            storage_.emplace_back(2 * static_cast<std::size_t>(n2) + 2, 0.0);  // a gap after every row
        }
        for (auto& row : storage_) {
            pointers_.push_back(row.data());
        }
    }
    RowArray(int n1, int n2, const std::vector<LongComplex>& values) : RowArray(n1, n2) {
        const auto data = interleave(values);
        for (int i = 0; i < n1; ++i) {
            std::copy(data.begin() + 2 * i * n2, data.begin() + 2 * (i + 1) * n2, storage_[i].begin());
        }
    }
    double** rows() { return pointers_.data(); }
    [[nodiscard]] std::vector<double> flat() const {
        std::vector<double> data;
        for (const auto& row : storage_) {
            data.insert(data.end(), row.begin(), row.begin() + 2 * n2_);
        }
        return data;
    }
    [[nodiscard]] std::vector<LongComplex> values() const { return deinterleave(flat().data(), n1_ * n2_); }

private:
    int n1_;
    int n2_;
    std::vector<std::vector<double>> storage_;
    std::vector<double*> pointers_;
};

// Work arrays large enough for every shape of these tests (up to 8192 rows or
// values per row).
struct Work {
    static constexpr FftWorkSizes sizes = fft_work_sizes_2d(8192, 2 * 8192);
    std::vector<int> index_work = std::vector<int>(sizes.index_work_ints, 0);
    std::vector<double> twiddle = std::vector<double>(sizes.twiddle_doubles, 0.0);
};

RowArray transformed(int n1, int n2, const std::vector<LongComplex>& values, int sign) {
    RowArray a(n1, n2, values);
    Work work;
    complex_fft_2d(n1, 2 * n2, sign, a.rows(), work.index_work.data(), work.twiddle.data());
    return a;
}

double error_bound(int n1, int n2) {
    const int stages = std::max(1, std::countr_zero(static_cast<unsigned>(n1 * n2)));
    return 1.0 * stages * std::numeric_limits<double>::epsilon();
}

TEST(ComplexFft2d, EightByEightBuildsTheShortTableAndLeavesTheRowScratch) {
    RowArray a(8, 8, random_values(64, 3));
    std::vector<int> index_work(10, 0);
    std::vector<double> twiddle(20, -1.0);
    complex_fft_2d(8, 16, 1, a.rows(), index_work.data(), twiddle.data());
    EXPECT_EQ(index_work[0], 4);
    EXPECT_EQ(index_work[1], 1);
    EXPECT_EQ(index_work[2], 0);
    EXPECT_EQ(index_work[3], 4);
    const double r = std::cos(std::atan(1.0));
    EXPECT_EQ(std::vector<double>(twiddle.begin(), twiddle.begin() + 5),
              (std::vector<double>{1, 0, r, r, -1}));
}

TEST(ComplexFft2d, SmallShapesSetTheHeaderWithoutATable) {
    {
        RowArray one(1, 1, {LongComplex(2.5, -1.0)});
        std::vector<int> index_work = {0, 0, 0, 0};
        std::vector<double> twiddle(4, -1.0);
        complex_fft_2d(1, 2, 1, one.rows(), index_work.data(), twiddle.data());
        EXPECT_EQ(one.flat(), (std::vector<double>{2.5, -1.0}));
        EXPECT_EQ(index_work[0], 0);  // so the next call builds again
        EXPECT_EQ(index_work[1], 1);
    }
    {
        RowArray four(4, 4, random_values(16, 4));
        std::vector<int> index_work = {0, 0, 0, 0};
        std::vector<double> twiddle(4, -1.0);
        complex_fft_2d(4, 8, -1, four.rows(), index_work.data(), twiddle.data());
        EXPECT_EQ(index_work[0], 2);
        EXPECT_EQ(index_work[1], 1);
        EXPECT_EQ(twiddle, (std::vector<double>(4, -1.0)));  // no entry written
    }
}

TEST(ComplexFft2d, EightByEightImpulses) {
    for (const int sign : {1, -1}) {
        std::vector<LongComplex> origin(64, 0.0L);
        origin[0] = 1.0L;
        for (const auto& v : transformed(8, 8, origin, sign).values()) {
            EXPECT_EQ(v, LongComplex(1.0L, 0.0L));
        }
        for (const int at : {1, 8}) {  // (0, 1) varies along k2, (1, 0) along k1
            std::vector<LongComplex> impulse(64, 0.0L);
            impulse[at] = 1.0L;
            const auto got = transformed(8, 8, impulse, sign).values();
            for (int k1 = 0; k1 < 8; ++k1) {
                for (int k2 = 0; k2 < 8; ++k2) {
                    const int k = (at == 1) ? k2 : k1;
                    const long double angle = sign * std::numbers::pi_v<long double> * k / 4;
                    const auto v = got[k1 * 8 + k2];
                    EXPECT_NEAR(static_cast<double>(v.real()), static_cast<double>(std::cos(angle)), 2e-16);
                    EXPECT_NEAR(static_cast<double>(v.imag()), static_cast<double>(std::sin(angle)), 2e-16);
                }
            }
        }
    }
}

TEST(ComplexFft2d, OnlyTheSignOfTheSignArgumentMattersAndLongerTablesGiveTheSameBits) {
    Work shared;
    {
        RowArray big(64, 64, random_values(64 * 64, 8));
        complex_fft_2d(64, 128, 1, big.rows(), shared.index_work.data(), shared.twiddle.data());
        ASSERT_EQ(shared.index_work[0], 32);
    }
    for (const auto& [n1, n2] : {std::pair{8, 8}, {16, 2}, {2, 16}, {4, 32}, {32, 4}, {16, 16}, {1, 64}}) {
        const auto values = random_values(n1 * n2, 100 + n1 + n2);
        const auto plus = transformed(n1, n2, values, 1).flat();
        const auto minus = transformed(n1, n2, values, -1).flat();
        EXPECT_TRUE(same_bits(transformed(n1, n2, values, 0).flat().data(), plus.data(), 2 * n1 * n2));
        EXPECT_TRUE(same_bits(transformed(n1, n2, values, -7).flat().data(), minus.data(), 2 * n1 * n2));
        for (const int sign : {1, -1}) {
            RowArray reused(n1, n2, values);
            complex_fft_2d(n1, 2 * n2, sign, reused.rows(), shared.index_work.data(), shared.twiddle.data());
            EXPECT_TRUE(same_bits(reused.flat().data(), (sign > 0 ? plus : minus).data(), 2 * n1 * n2))
                << n1 << " x " << n2 << " sign " << sign;
        }
        EXPECT_EQ(shared.index_work[0], 32) << "a smaller shape must not rebuild";
    }
}

// Shapes that describe no element leave everything alone (n2 = 0 once divided
// by zero); a side that is not a power of two is refused before any memory is
// touched (null arrays).
TEST(ComplexFft2d, SidesThatAreNotPowersOfTwoAreRefusedBeforeTouchingMemory) {
    for (const auto& [n1, n2] : {std::pair{0, 16}, {-8, 16}, {8, 0}, {8, 1}, {8, -4}}) {
        EXPECT_NO_THROW(complex_fft_2d(n1, n2, 1, nullptr, nullptr, nullptr)) << n1 << " x " << n2;
    }
    for (const auto& [n1, n2, message] :
         {std::tuple{3, 16, "n1 = 3 is not a power of two"}, {6, 16, "n1 = 6 is not a power of two"},
          {8, 12, "n2 = 12 is not a power of two"}, {8, 3, "n2 = 3 is not a power of two"},
          {1 << 30, 16, "n1 = 1073741824 is too large (at most 2^29 rows)"}}) {
        try {
            complex_fft_2d(n1, n2, -1, nullptr, nullptr, nullptr);
            ADD_FAILURE() << n1 << " x " << n2 << " was taken";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.what(), std::string("complex_fft_2d: ") + message);
        }
    }
}

// Every shape n1 × N2 with both sides in {1, 2, 4, …, 64}.
class ComplexFft2dShapes : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ComplexFft2dShapes, MatchesTheLongDoubleDft) {
    const auto [n1, n2] = GetParam();
    const auto x = random_values(n1 * n2, 7 * n1 + n2);
    for (const int sign : {1, -1}) {
        const double error =
            relative_rms_error(transformed(n1, n2, x, sign).values(), naive_dft_2d(x, n1, n2, sign));
        EXPECT_LT(error, error_bound(n1, n2)) << n1 << " x " << n2 << " sign " << sign;
    }
}

TEST_P(ComplexFft2dShapes, ForwardThenBackwardGivesTheCountTimesTheInput) {
    const auto [n1, n2] = GetParam();
    const auto x = random_values(n1 * n2, 77);
    RowArray a(n1, n2, x);
    Work work;
    complex_fft_2d(n1, 2 * n2, 1, a.rows(), work.index_work.data(), work.twiddle.data());
    complex_fft_2d(n1, 2 * n2, -1, a.rows(), work.index_work.data(), work.twiddle.data());
    std::vector<LongComplex> expected(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        expected[i] = x[i] * static_cast<long double>(n1 * n2);
    }
    EXPECT_LT(relative_rms_error(a.values(), expected), 2 * error_bound(n1, n2)) << n1 << " x " << n2;
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, ComplexFft2dShapes,
                         ::testing::Combine(::testing::Values(1, 2, 4, 8, 16, 32, 64),
                                            ::testing::Values(1, 2, 4, 8, 16, 32, 64)),
                         [](const ::testing::TestParamInfo<std::tuple<int, int>>& param_info) {
                             return std::to_string(std::get<0>(param_info.param)) + "x" +
                                    std::to_string(std::get<1>(param_info.param));
                         });

}  // namespace
}  // namespace lattice_bubble
