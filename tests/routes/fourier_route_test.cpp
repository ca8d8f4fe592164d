// The Fourier route on a mesh other than the default run's, against the same
// route through the naive DFTs of the test support. (At the default mesh its
// bits are the golden ones: the program test reads them from the table.)

#include "routes/fourier_route.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/exact_bubble.h"

namespace lattice_bubble {
namespace {

TEST(FourierRoute, IsTheRouteOfTheDefiningSumsOnAnotherMesh) {
    const StudyModel model{16, 4.0, Band{-1.0, 0.5, 0.3}, 32};
    const SeriesGrid chi = fourier_route(model);
    const std::vector<testing::LongComplex> exact = testing::naive_fourier_route(model);
    const auto bosons = static_cast<std::size_t>(model.bosons());
    for (std::size_t m = 0; m < bosons; ++m) {
        long double largest = 0.0L;
        for (std::size_t q = 0; q < exact.size() / bosons; ++q) {
            largest = std::max(largest, std::abs(exact[q * bosons + m]));
        }
        for (int x = 0; x < model.lattice; ++x) {
            for (int y = 0; y < model.lattice; ++y) {
                const Complex value = chi.series(x, y)[m];
                const auto q = static_cast<std::size_t>(x * model.lattice + y);
                const auto error = std::abs(testing::LongComplex(value.re, value.im) - exact[q * bosons + m]);
                ASSERT_LE(error, 1e-12L * largest) << "q = (" << x << ", " << y << "), m = " << m;
            }
        }
    }
}

}  // namespace
}  // namespace lattice_bubble
