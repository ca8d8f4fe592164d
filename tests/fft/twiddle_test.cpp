#include "fft/twiddle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

#include "support/naive_dft.h"

namespace lattice_bubble {
namespace {

int reverse_bits(int value, int bits) {
    int reversed = 0;
    for (int b = 0; b < bits; ++b) {
        reversed = (reversed << 1) | ((value >> b) & 1);
    }
    return reversed;
}

std::vector<double> table(int nt) {
    std::vector<int> index_work(2 + 256, -1);
    std::vector<double> twiddle(static_cast<std::size_t>(std::max(nt, 1)), -7.0);
    build_twiddle_table(nt, index_work.data(), twiddle.data());
    EXPECT_EQ(index_work[0], nt);
    EXPECT_EQ(index_work[1], 1);
    return twiddle;
}

TEST(TwiddleTable, TooShortTablesSetOnlyTheHeader) {
    for (const int nt : {0, 1, 2}) {
        const auto twiddle = table(nt);
        EXPECT_EQ(twiddle[0], -7.0) << "nt = " << nt;
    }
}

TEST(TwiddleTable, FourEntriesHoldOneAndTheEighthTurnCosineTwice) {
    const double r = std::cos(std::atan(1.0));
    EXPECT_EQ(r, 0.7071067811865476);
    const auto twiddle = table(4);
    EXPECT_EQ(twiddle, (std::vector<double>{1.0, 0.0, r, r}));
}

TEST(TwiddleTable, EightEntriesInBitReversedOrder) {
    const double r = std::cos(std::atan(1.0));
    const double c = std::cos(std::atan(1.0) / 4 * 2);  // cos π/8 from the table's own step
    const double s = std::sin(std::atan(1.0) / 4 * 2);
    EXPECT_EQ(table(8), (std::vector<double>{1.0, 0.0, r, r, c, s, s, c}));
}

TEST(TwiddleTable, LongerTablesBeginWithEveryShorterOne) {
    const auto longest = table(1 << 15);
    for (int nt = 4; nt < (1 << 15); nt <<= 1) {
        const auto shorter = table(nt);
        EXPECT_TRUE(testing::same_bits(shorter.data(), longest.data(), nt)) << "nt = " << nt;
    }
}

TEST(TwiddleTable, EntriesAreTheQuarterCircleInBitReversedOrder) {
    for (int nt = 4; nt <= (1 << 14); nt <<= 1) {
        const auto twiddle = table(nt);
        const int entries = nt / 2;
        const int bits = std::countr_zero(static_cast<unsigned>(entries));
        double worst = 0.0;
        for (int c = 0; c < entries; ++c) {
            const long double angle = reverse_bits(c, bits) * std::numbers::pi_v<long double> / nt;
            worst = std::max(worst, static_cast<double>(std::fabs(twiddle[2 * c] - std::cos(angle))));
            worst = std::max(worst, static_cast<double>(std::fabs(twiddle[2 * c + 1] - std::sin(angle))));
        }
        EXPECT_LT(worst, 2.5e-16) << "nt = " << nt;
    }
}

TEST(BitReversePermute, SixteenValues) {
    std::vector<double> a(32);
    for (int c = 0; c < 16; ++c) {
        a[2 * c] = c;
        a[2 * c + 1] = -c;
    }
    const auto original = a;
    std::vector<int> scratch(8, -1);
    bit_reverse_permute(32, scratch.data(), a.data());
    const int expected[] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(a[2 * c], expected[c]);
        EXPECT_EQ(a[2 * c + 1], -expected[c]);
    }
    EXPECT_EQ(std::vector<int>(scratch.begin(), scratch.begin() + 4), (std::vector<int>{0, 16, 8, 24}));
    bit_reverse_permute(32, scratch.data(), a.data());
    EXPECT_EQ(a, original);
}

TEST(BitReversePermute, OneAndTwoValuesStayInPlace) {
    for (const int n : {2, 4}) {
        std::vector<double> a = {1.0, 2.0, 3.0, 4.0};
        std::vector<int> scratch(4, 0);
        bit_reverse_permute(n, scratch.data(), a.data());
        EXPECT_EQ(a, (std::vector<double>{1.0, 2.0, 3.0, 4.0})) << "n = " << n;
    }
}

TEST(BitReversePermute, EveryLengthMovesEachValueToItsReversedIndex) {
    for (int bits = 1; bits <= 16; ++bits) {
        const int count = 1 << bits;
        std::vector<double> a(2 * static_cast<std::size_t>(count));
        for (int c = 0; c < count; ++c) {
            a[2 * c] = c;
            a[2 * c + 1] = c + 0.5;
        }
        std::vector<int> scratch(2 + (1 << (bits / 2)), 0);
        bit_reverse_permute(2 * count, scratch.data(), a.data());
        for (int c = 0; c < count; ++c) {
            const int from = reverse_bits(c, bits);
            ASSERT_EQ(a[2 * c], from) << "N = " << count << " at " << c;
            ASSERT_EQ(a[2 * c + 1], from + 0.5) << "N = " << count << " at " << c;
        }
    }
}

}  // namespace
}  // namespace lattice_bubble
