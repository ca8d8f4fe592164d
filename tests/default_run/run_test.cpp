#include "default_run/run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "default_run/fourier_steps.h"
#include "default_run/lattice_transforms.h"
#include "default_run/reference_sum.h"
#include "default_run/report.h"
#include "default_run/time_transforms.h"
#include "model/lattice_model.h"
#include "support/golden.h"

namespace lattice_bubble {
namespace {

// The route's steps one by one, on heap grids, as the entry runs them.
struct Route {
    std::unique_ptr<RunGrids> grids = std::make_unique<RunGrids>();

    void to_green_time() {
        fill_free_green(grids->green_freq);
        transform_space_fermion(grids->green_freq, -1);
        transform_time_fermion(grids->green_time, grids->green_freq, -1);
    }
    void to_chi_freq(bool corrected) {
        multiply_green_functions(grids->green_time, grids->chi_time);
        if (corrected) {
            add_equal_time_correction(grids->chi_time);
        }
        transform_time_boson(grids->chi_time, grids->chi_freq, 1);
        transform_space_boson(grids->chi_freq, 1);
    }
};

TEST(Pipeline, FreeGreenFunctionAtTheBandTop) {
    Route route;
    fill_free_green(route.grids->green_freq);
    EXPECT_EQ(route.grids->green_freq[0][0][0], (Complex{-0.07798811238066096, -0.020417240076868303}));
    EXPECT_EQ(route.grids->green_freq[2][5][7], free_green(2 * dk, 5 * dk, fermion_frequency(7)));
}

TEST(Pipeline, EqualTimeLocalGreenFunctionIsReal) {
    Route route;
    route.to_green_time();
    const Complex g = route.grids->green_time[0][0][0];
    EXPECT_LT(std::fabs(g.im), 1e-16);
    EXPECT_NEAR(g.re, -0.2918, 5e-4);
}

TEST(Pipeline, ProductPairsEachTimeWithItsMirrorAtTheSameSite) {
    Route route;
    route.to_green_time();
    multiply_green_functions(route.grids->green_time, route.grids->chi_time);
    const auto& g = route.grids->green_time;
    const auto& chi = route.grids->chi_time;
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            EXPECT_EQ(chi[x][y][16], g[x][y][16] * g[x][y][16]);
            EXPECT_EQ(chi[x][y][0], (-g[x][y][0]) * g[x][y][0]);
            EXPECT_EQ(chi[x][y][5], g[x][y][5] * g[x][y][27]);
        }
    }
    EXPECT_NEAR(chi[0][0][0].re, -0.0851, 5e-4);
}

TEST(Pipeline, EqualTimeCorrectionShiftsEveryRealPartByOneTwoHundredFiftySixth) {
    Route corrected;
    corrected.to_green_time();
    corrected.to_chi_freq(true);
    Route plain;
    plain.to_green_time();
    plain.to_chi_freq(false);
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (int m = 0; m < boson_count; ++m) {
                const Complex a = corrected.grids->chi_freq[x][y][m];
                const Complex b = plain.grids->chi_freq[x][y][m];
                EXPECT_NEAR(a.re - b.re, 0.00390625, 1e-15) << x << "," << y << "," << m;
                EXPECT_NEAR(a.im, b.im, 1e-17) << x << "," << y << "," << m;
            }
        }
    }
}

TEST(Pipeline, SusceptibilityHasTheSymmetryOfTheBand) {
    Route route;
    route.to_green_time();
    route.to_chi_freq(true);
    const auto& chi = route.grids->chi_freq;
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (int m = 0; m < boson_count; ++m) {
                EXPECT_NEAR(chi[x][y][m].re, chi[y][x][m].re, 1e-15);
                EXPECT_NEAR(chi[x][y][m].im, chi[y][x][m].im, 1e-15);
                if (x >= 1) {
                    EXPECT_NEAR(chi[x][y][m].re, chi[lattice_size - x][y][m].re, 1e-15);
                    EXPECT_NEAR(chi[x][y][m].im, chi[lattice_size - x][y][m].im, 1e-15);
                }
            }
        }
    }
}

TEST(Pipeline, LowFrequenciesAgreeWithTheDirectSum) {
    const auto grids = std::make_unique<RunGrids>();
    std::ostringstream report;
    run_transform_pipeline(grids->green_freq, grids->green_time, grids->chi_time, grids->chi_freq, report);
    for (int m = 0; m <= 2; ++m) {
        const double fourier = grids->chi_freq[report_index][report_index][m].re;
        const double direct = bubble_reference(report_index * dk, report_index * dk, boson_frequency(m)).re;
        EXPECT_NEAR(fourier, direct, 0.05 * direct) << "m = " << m;
    }
    EXPECT_TRUE(report.str().starts_with("k=(4,4)\n(0.045")) << report.str();
}

// The grids a complete run leaves, bit for bit as route.golden holds them.
class RouteGolden : public ::testing::TestWithParam<std::string> {};

template <std::size_t N>
void expect_golden_grid(const std::string& name, const Grid<N>& grid) {
    static const auto golden = testing::read_golden(testing::golden_dir() / "route.golden", 4);
    int differing = 0;
    std::string first;
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (std::size_t k = 0; k < N; ++k) {
                const std::string key =
                    name + " " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(k);
                const std::string mismatch =
                    testing::golden_mismatch(golden, key, grid[x][y][k].re, grid[x][y][k].im);
                if (!mismatch.empty() && differing++ == 0) {
                    first = mismatch;
                }
            }
        }
    }
    EXPECT_EQ(differing, 0) << "elements differ from the golden bits; the first: " << first;
}

TEST_P(RouteGolden, GridIsTheGoldenBits) {
    static const auto grids = [] {
        auto run = std::make_unique<RunGrids>();
        std::ostringstream report;
        run_transform_pipeline(run->green_freq, run->green_time, run->chi_time, run->chi_freq, report);
        fill_reference(run->chi_reference);
        return run;
    }();
    const std::string& name = GetParam();
    if (name == "green_time") {
        expect_golden_grid(name, grids->green_time);
    } else if (name == "chi_freq") {
        expect_golden_grid(name, grids->chi_freq);
    } else {
        expect_golden_grid(name, grids->chi_reference);
    }
}

// The product on a grid of full complex values: the route's own G(r, τ) is
// real, which would hide half of its operations.
TEST(RouteGolden, ProductOfComplexValuesIsTheGoldenBits) {
    static const auto golden = testing::read_golden(testing::golden_dir() / "route.golden", 4);
    const auto input = testing::golden_input(2 * 2048, 5);
    auto green = std::make_unique<TimeGrid>();
    for (std::size_t i = 0; i < 2048; ++i) {
        (*green)[i / 256][i / 32 % 8][i % 32] = Complex{input[2 * i], input[2 * i + 1]};
    }
    auto chi = std::make_unique<TimeGrid>();
    multiply_green_functions(*green, *chi);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{5, 3}}) {
        for (int l = 0; l < time_count; ++l) {
            const std::string key =
                "product " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(l);
            EXPECT_EQ(testing::golden_mismatch(golden, key, (*chi)[x][y][l].re, (*chi)[x][y][l].im), "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPinnedGrid, RouteGolden,
                         ::testing::Values("green_time", "chi_freq", "chi_reference"),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                             return param_info.param;
                         });

}  // namespace
}  // namespace lattice_bubble
