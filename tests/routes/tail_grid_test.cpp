// The rule for the tail route's N against the route (near μ, and far, where the bound is tightest).
#include "routes/tail_grid.h"

#include <gtest/gtest.h>

#include "routes/fourier_route.h"
#include "support/exact_bubble.h"

namespace lattice_bubble {

TEST(TailGrid, BoundsTheRouteWithTheSmallestSmoothSize) {
    for (auto [mesh, loose] : {std::pair{testing::mesh(8, 8, 2.0, Band{-1.0, 0.0, -1.0}, 1, 0.3), 1e3},
                               std::pair{testing::mesh(8, 8, 2.0, Band{-0.05, 0.0, -5.0}, 1), 4.0}}) {
        const double e = tail_energy(mesh);
        const TailGrid g = tail_grid_for(mesh.beta, e, 1e-6);
        EXPECT_EQ(302330880000000LL % g.frequencies, 0);  // 2^16·3^10·5^7: N is 5-smooth
        EXPECT_GT(tail_bound(g.frequencies * 79 / 100, mesh.beta, e), 1e-6);  // smooth sizes are < 1.25 apart
        EXPECT_LT(g.frequencies, tail_grid_for(2 * mesh.beta, e, 1e-6).frequencies);
        mesh.frequencies = g.frequencies;
        const SeriesGrid chi = tail_route(mesh);
        double worst = 0.0;
        for (int q = 0; q < 64; ++q) {
            const std::vector<testing::LongComplex> exact = testing::exact_bubble(mesh, q / 8, q % 8);
            for (std::size_t m = 0; m < exact.size(); ++m) {
                const Complex v = chi.series(q / 8, q % 8)[m];
                worst = std::max(worst, double(std::abs(testing::LongComplex(v.re, v.im) - exact[m])));
            }
        }
        EXPECT_TRUE(worst <= g.bound * g.scale && worst * loose >= g.bound * g.scale) << worst;
    }
}
}  // namespace lattice_bubble
