// The FFT of every size against the long-double DFT, with the same bits on
// every table of kernels and from a reused plan as from a fresh one.

#include "fft/general_fft.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "common/failure.h"
#include "fft/kernel_choice.h"
#include "support/naive_dft.h"

namespace lattice_bubble {
namespace {

using testing::LongComplex;

struct Work {
    std::vector<int> ints;
    std::vector<double> doubles;
};

Work work_of(GeneralFftWorkSizes sizes) {
    return {std::vector<int>(sizes.ints, 0), std::vector<double>(sizes.doubles)};
}

std::vector<double> transform(int points, int sign, std::vector<double> a, Work& work) {
    general_fft(points, sign, a.data(), work.ints.data(), work.doubles.data());
    return a;
}

std::vector<double> transform_2d(int rows, int columns, int sign, std::vector<double> a) {
    Work work = work_of(general_fft_work_sizes_2d(rows, columns));
    std::vector<double*> row_pointers;
    for (int r = 0; r < rows; ++r) {
        row_pointers.push_back(a.data() + 2 * static_cast<std::size_t>(r) * columns);
    }
    general_fft_2d(rows, columns, sign, row_pointers.data(), work.ints.data(), work.doubles.data());
    return a;
}

// Within 4e-16·log2(n) relative rms of the long-double DFT (n the values of the transform).
double bound(long values) { return 4e-16 * std::max(1.0, std::log2(static_cast<double>(values))); }

// Every radix alone and together (4, 2, 3, 5, 7, 11, 13), the split of a
// power-of-two part of 16 and more, and the chirp for primes above 13, alone
// and with small factors.
class GeneralFftSizes : public ::testing::TestWithParam<int> {};

TEST_P(GeneralFftSizes, MatchesTheLongDoubleDft) {
    const int points = GetParam();
    for (const int sign : {1, -1}) {
        const std::vector<LongComplex> x =
            testing::random_values(points, 17 + static_cast<std::uint64_t>(points));
        Work work = work_of(general_fft_work_sizes(points));
        const std::vector<double> got = transform(points, sign, testing::interleave(x), work);
        EXPECT_LE(testing::relative_rms_error(testing::deinterleave(got.data(), points),
                                              testing::naive_dft(x, sign)),
                  bound(points))
            << "sign " << sign;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfFactor, GeneralFftSizes,
                         ::testing::Values(1, 2, 3, 5, 6, 7, 9, 11, 12, 13, 15, 20, 21, 24, 25, 30, 35, 48,
                                           49, 77, 91, 100, 121, 143, 169, 240, 343, 384, 1000, 1001, 1536,
                                           6144, 17, 34, 92, 97, 102, 1009, 4093));

// Rows and columns of every kind, both powers of two included.
TEST(GeneralFft2d, MatchesTheLongDoubleDft) {
    for (const auto& [rows, columns] : {std::pair{12, 12},
                                        {10, 6},
                                        {64, 48},
                                        {48, 64},
                                        {97, 5},
                                        {5, 97},
                                        {1, 7},
                                        {7, 1},
                                        {16, 20},
                                        {100, 100},
                                        {8, 8}}) {
        for (const int sign : {1, -1}) {
            const int values = rows * columns;
            const std::vector<LongComplex> x =
                testing::random_values(values, 5 + static_cast<std::uint64_t>(values));
            const std::vector<double> got = transform_2d(rows, columns, sign, testing::interleave(x));
            EXPECT_LE(testing::relative_rms_error(testing::deinterleave(got.data(), values),
                                                  testing::naive_dft_2d(x, rows, columns, sign)),
                      bound(values))
                << rows << " x " << columns << ", sign " << sign;
        }
    }
}

// The passes do per value what the scalar lanes do, so every table gives the
// same bits; a plan built by an earlier call gives those of a fresh one.
TEST(GeneralFft, EveryTableAndAReusedPlanGiveTheSameBits) {
    const std::vector<int> sizes{6, 15, 100, 240, 1001, 6144, 97};
    const auto outputs = [&] {
        std::vector<std::vector<double>> all;
        for (const int points : sizes) {
            Work work = work_of(general_fft_work_sizes(points));
            const std::vector<double> x = testing::interleave(testing::random_values(points, 3));
            all.push_back(transform(points, -1, x, work));
            EXPECT_EQ(transform(points, -1, x, work), all.back()) << points << " points, the plan reused";
        }
        all.push_back(transform_2d(24, 20, 1, testing::interleave(testing::random_values(480, 4))));
        return all;
    };
    choose_fft_kernels_for_testing(FftLanes::scalar, false);
    const std::vector<std::vector<double>> scalar = outputs();
    for (const FftLanes lanes : {FftLanes::sse2, FftLanes::avx, FftLanes::avx512}) {
        if (choose_fft_kernels_for_testing(lanes, true).lanes != lanes) {
            continue;  // this processor does not run them
        }
        const std::vector<std::vector<double>> got = outputs();
        for (std::size_t c = 0; c < got.size(); ++c) {
            EXPECT_TRUE(testing::same_bits(got[c].data(), scalar[c].data(), static_cast<int>(got[c].size())))
                << lanes_name(lanes) << ", case " << c;
        }
    }
    choose_fft_kernels();
}

// A size the engine cannot take is refused before any memory is touched.
// One pair of work arrays, long enough for the largest, serves sizes in turn:
// each call builds the plan of its own size or reads back the one it built.
TEST(GeneralFft, WorkArraysServeSizesInTurn) {
    Work shared = work_of(general_fft_work_sizes(6144));
    for (const int points : {100, 240, 100, 6144, 240, 12, 12}) {
        const std::vector<double> x = testing::interleave(testing::random_values(points, 5));
        Work fresh = work_of(general_fft_work_sizes(points));
        EXPECT_EQ(transform(points, 1, x, shared), transform(points, 1, x, fresh)) << points << " points";
    }
}

TEST(GeneralFft, RefusesSizesItCannotTakeBeforeTouchingMemory) {
    for (const int points : {0, -3, largest_general_points + 1}) {
        EXPECT_THROW(general_fft(points, 1, nullptr, nullptr, nullptr), Failure) << points;
        EXPECT_THROW(general_fft_2d(points, 4, 1, nullptr, nullptr, nullptr), Failure) << points;
        EXPECT_THROW(general_fft_2d(4, points, 1, nullptr, nullptr, nullptr), Failure) << points;
        EXPECT_THROW((void)general_fft_work_sizes(points), Failure) << points;
    }
}

}  // namespace
}  // namespace lattice_bubble
