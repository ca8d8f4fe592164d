#include "default_run/report.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lattice_bubble {
namespace {

TEST(Report, ExactTextOfHeadingValuesAndEmptyLastLine) {
    BosonGrid grid{};
    for (int m = 0; m < boson_count; ++m) {
        grid[report_index][report_index][m] = Complex{1.0 / (m + 1), -0.25 * m};
    }
    grid[report_index][report_index][0] = Complex{0.0256995808, 3.90313e-18};
    grid[report_index][report_index][16] = Complex{-0.0171234567, -1e-300};
    grid[3][4][0] = Complex{99.0, 99.0};  // neighbours are not reported
    grid[4][5][0] = Complex{99.0, 99.0};

    std::ostringstream out;
    write_report(out, grid);
    EXPECT_EQ(out.str(),
              "k=(4,4)\n"
              "(0.0256996,3.90313e-18)\n"
              "(0.5,-0.25)\n(0.333333,-0.5)\n(0.25,-0.75)\n(0.2,-1)\n(0.166667,-1.25)\n"
              "(0.142857,-1.5)\n(0.125,-1.75)\n(0.111111,-2)\n(0.1,-2.25)\n(0.0909091,-2.5)\n"
              "(0.0833333,-2.75)\n(0.0769231,-3)\n(0.0714286,-3.25)\n(0.0666667,-3.5)\n"
              "(0.0625,-3.75)\n"
              "(-0.0171235,-1e-300)\n"
              "\n");
}

}  // namespace
}  // namespace lattice_bubble
