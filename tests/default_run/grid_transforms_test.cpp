#include "default_run/lattice_transforms.h"
#include "default_run/time_transforms.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <random>
#include <string>

#include "default_run/time_transforms.h"
#include "support/capture.h"

namespace lattice_bubble {
namespace {

using LongComplex = std::complex<long double>;

template <typename GridType>
GridType random_grid(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    GridType grid{};
    for (auto& plane : grid) {
        for (auto& line : plane) {
            for (auto& v : line) {
                const double re = u(rng);
                v = Complex{re, u(rng)};
            }
        }
    }
    return grid;
}

template <typename GridType>
double largest_difference(const GridType& a, const GridType& b) {
    double worst = 0.0;
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (std::size_t k = 0; k < a[x][y].size(); ++k) {
                worst =
                    std::max(worst, std::hypot(a[x][y][k].re - b[x][y][k].re, a[x][y][k].im - b[x][y][k].im));
            }
        }
    }
    return worst;
}

int count_lines(const std::string& text, std::string_view line) {
    int count = 0;
    std::string::size_type at = 0;
    const std::string wanted = std::string(line) + "\n";
    while ((at = text.find(wanted, at)) != std::string::npos) {
        ++count;
        at += wanted.size();
    }
    return count;
}

TEST(LatticeFft, MatchesTheDefiningSumForBothSigns) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    LatticeField field{};
    for (auto& v : field) {
        const double re = u(rng);
        v = Complex{re, u(rng)};
    }
    for (const int sign : {1, -1}) {
        LatticeField got = field;
        lattice_fft(got, sign);
        for (int k1 = 0; k1 < lattice_size; ++k1) {
            for (int k2 = 0; k2 < lattice_size; ++k2) {
                LongComplex sum = 0;
                for (int x = 0; x < lattice_size; ++x) {
                    for (int y = 0; y < lattice_size; ++y) {
                        const long double angle =
                            sign * 2 * std::numbers::pi_v<long double> * (k1 * x + k2 * y) / lattice_size;
                        sum += LongComplex(field[x * lattice_size + y].re, field[x * lattice_size + y].im) *
                               LongComplex(std::cos(angle), std::sin(angle));
                    }
                }
                const Complex v = got[k1 * lattice_size + k2];
                EXPECT_LT(std::abs(LongComplex(v.re, v.im) - sum), 1e-14L)
                    << k1 << "," << k2 << " sign " << sign;
            }
        }
    }
}

TEST(SpaceTransforms, ConstantMomentumSliceIsAnImpulseAtTheOriginAndBack) {
    FermionGrid grid{};
    for (auto& plane : grid) {
        for (auto& line : plane) {
            line[3] = Complex{1.0, 0.0};
        }
    }
    transform_space_fermion(grid, -1);
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            const Complex v = grid[x][y][3];
            EXPECT_NEAR(v.re, (x == 0 && y == 0) ? 1.0 : 0.0, 1e-16) << x << "," << y;
            EXPECT_NEAR(v.im, 0.0, 1e-16) << x << "," << y;
            EXPECT_EQ(grid[x][y][2], (Complex{0.0, 0.0}));  // other slices untouched
        }
    }
    FermionGrid impulse{};
    impulse[0][0][5] = Complex{1.0, 0.0};
    transform_space_fermion(impulse, 1);
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            EXPECT_EQ(impulse[x][y][5], (Complex{1.0, 0.0})) << "no division on the way to momentum";
        }
    }
}

TEST(SpaceTransforms, EachDirectionUndoesTheOther) {
    const auto original = random_grid<BosonGrid>(10);
    BosonGrid grid = original;
    transform_space_boson(grid, -1);
    transform_space_boson(grid, 1);
    EXPECT_LT(largest_difference(grid, original), 1e-15);
    transform_space_boson(grid, 1);
    transform_space_boson(grid, -1);
    EXPECT_LT(largest_difference(grid, original), 1e-15);

    const auto time_original = random_grid<TimeGrid>(11);
    TimeGrid time = time_original;
    transform_space_time(time, -1);
    transform_space_time(time, 1);
    EXPECT_LT(largest_difference(time, time_original), 1e-15);
}

// A flag other than ±1 is reported once per slice and passed on negated, so
// its sign picks the direction: 0, −2 and INT_MIN (negated to INT_MAX) go
// towards real space without the 1/64 that only −1 applies; 2, 7 and INT_MAX
// go towards momentum exactly as +1 does.
TEST(SpaceTransforms, OtherFlagsReportEverySliceAndTransformByTheSignOfMinusTheFlag) {
    const auto original = random_grid<FermionGrid>(12);
    FermionGrid towards_space = original;
    FermionGrid towards_momentum = original;
    EXPECT_EQ(testing::captured_stdout_of([&] {
                  transform_space_fermion(towards_space, -1);
                  transform_space_fermion(towards_momentum, 1);
              }),
              "");
    for (const int flag : {0, -2, INT_MIN, 2, 7, INT_MAX}) {
        FermionGrid grid = original;
        const std::string out = testing::captured_stdout_of([&] { transform_space_fermion(grid, flag); });
        EXPECT_EQ(count_lines(out, flag_error_message), fermion_count) << "flag " << flag;
        EXPECT_EQ(out.size(), fermion_count * (flag_error_message.size() + 1)) << "flag " << flag;
        for (int x = 0; x < lattice_size; ++x) {
            for (int y = 0; y < lattice_size; ++y) {
                for (int n = 0; n < fermion_count; ++n) {
                    // 1/64 = 2^-6 is exact, so the two agree to the bit.
                    if (flag <= 0) {
                        EXPECT_EQ(grid[x][y][n] * (1.0 / lattice_points), towards_space[x][y][n]) << "flag " << flag;
                    } else {
                        EXPECT_EQ(grid[x][y][n], towards_momentum[x][y][n]) << "flag " << flag;
                    }
                }
            }
        }
    }
    BosonGrid bosons = random_grid<BosonGrid>(13);
    TimeGrid time = random_grid<TimeGrid>(14);
    EXPECT_EQ(count_lines(testing::captured_stdout_of([&] { transform_space_boson(bosons, -2); }),
                          flag_error_message),
              boson_count);
    EXPECT_EQ(
        count_lines(testing::captured_stdout_of([&] { transform_space_time(time, 7); }), flag_error_message),
        time_count);
}

TEST(TimeTransforms, EachDirectionWritesOnlyItsTarget) {
    const auto time_original = random_grid<TimeGrid>(15);
    const auto freq_original = random_grid<FermionGrid>(16);

    TimeGrid time = time_original;
    FermionGrid freq = freq_original;
    transform_time_fermion(time, freq, 1);
    EXPECT_EQ(time, time_original);
    FermionSeries expected{};
    fermion_time_to_freq(time_original[3][6], expected);
    EXPECT_EQ(freq[3][6], expected);

    time = time_original;
    freq = freq_original;
    transform_time_fermion(time, freq, -1);
    EXPECT_EQ(freq, freq_original);
    TimeSeries expected_time{};
    fermion_freq_to_time(freq_original[7][1], expected_time);
    EXPECT_EQ(time[7][1], expected_time);
}

TEST(TimeTransforms, OtherFlagsChangeNothingAndSayNothing) {
    const auto time_original = random_grid<TimeGrid>(17);
    const auto freq_original = random_grid<BosonGrid>(18);
    for (const int flag : {0, 2, -2, INT_MIN, INT_MAX}) {
        TimeGrid time = time_original;
        BosonGrid freq = freq_original;
        FermionGrid fermions = random_grid<FermionGrid>(19);
        const FermionGrid fermions_before = fermions;
        EXPECT_EQ(testing::captured_stdout_of([&] {
                      transform_time_boson(time, freq, flag);
                      transform_time_fermion(time, fermions, flag);
                  }),
                  "");
        EXPECT_EQ(time, time_original);
        EXPECT_EQ(freq, freq_original);
        EXPECT_EQ(fermions, fermions_before);
    }
}

TEST(TimeTransforms, BosonicDirectionFillsAllSeventeenFrequencies) {
    TimeGrid time{};
    for (auto& plane : time) {
        for (auto& line : plane) {
            for (int l = 0; l < time_count; ++l) {
                line[l] = Complex{(l % 2 == 0) ? 1.0 : -1.0, 0.0};  // only ν_16 is present
            }
        }
    }
    BosonGrid freq{};
    for (auto& plane : freq) {
        for (auto& line : plane) {
            line.fill(Complex{-9.0, -9.0});
        }
    }
    transform_time_boson(time, freq, 1);
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            EXPECT_NEAR(freq[x][y][16].re, 1.0, 1e-15);
            for (int m = 0; m < boson_count - 1; ++m) {
                EXPECT_LT(std::hypot(freq[x][y][m].re, freq[x][y][m].im), 1e-15) << "m = " << m;
            }
        }
    }
}

}  // namespace
}  // namespace lattice_bubble
