// The direct route against the long-double Lindhard sum of the test support,
// on meshes where the default run's form loses digits: equal and nearly
// equal energies at ν = 0, temperatures and bands whose exponentials would
// overflow, and a lattice large enough that an uncompensated sum would drift.

#include "routes/direct_route.h"

#include <gtest/gtest.h>

#include <string>

#include "support/exact_bubble.h"

namespace lattice_bubble {
namespace {

// What the README promises: within 5 parts in 10^16 of the largest |χ| at
// each m. Measured: up to 3.3e-16 on every mesh below; a plain sum over the
// 65536 momenta of 256 × 256 is off by several times the bound.
constexpr long double direct_accuracy = 1e-15L;

struct DirectCase {
    std::string name;
    StudyModel model;
    bool all_q;  // else q = (Lx/2, Ly/2), (0, 0), (1, Ly/2 − 1) and (Lx/3, Ly/5)
};

void PrintTo(const DirectCase& direct_case, std::ostream* out) { *out << direct_case.name; }

class DirectRoute : public ::testing::TestWithParam<DirectCase> {};

TEST_P(DirectRoute, MatchesTheExactSumAtEveryFrequency) {
    const StudyModel& model = GetParam().model;
    const int lx = model.lattice_x;
    const int ly = model.lattice_y;
    std::vector<std::pair<int, int>> wave_vectors{
        {lx / 2, ly / 2}, {0, 0}, {1, ly / 2 - 1}, {lx / 3, ly / 5}};
    if (GetParam().all_q) {
        wave_vectors.clear();
        for (int q = 0; q < model.sites(); ++q) {
            wave_vectors.emplace_back(q / ly, q % ly);
        }
    }
    std::vector<std::vector<testing::LongComplex>> exact;
    for (const auto& [qx, qy] : wave_vectors) {
        exact.push_back(testing::exact_bubble(model, qx, qy));
    }
    const std::vector<long double> largest = testing::largest_at_each_m(exact);
    const DirectSum direct(model);
    std::vector<Complex> chi(static_cast<std::size_t>(model.bosons()));
    for (std::size_t i = 0; i < wave_vectors.size(); ++i) {
        direct.evaluate(wave_vectors[i].first, wave_vectors[i].second, chi);
        for (std::size_t m = 0; m < chi.size(); ++m) {
            const auto error = std::abs(testing::LongComplex(chi[m].re, chi[m].im) - exact[i][m]);
            ASSERT_LE(error, direct_accuracy * largest[m])
                << "q = (" << wave_vectors[i].first << ", " << wave_vectors[i].second << "), m = " << m;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Meshes, DirectRoute,
    ::testing::Values(
        // Ten pairs of nearly equal and four of equal energy at q = (π, π), ν = 0.
        DirectCase{"DefaultMeshEveryQ", StudyModel{}, true},
        DirectCase{"Sixteen_Beta4_EveryQ", StudyModel{16, 4.0, default_band, 32}, true},
        DirectCase{"HalfFilling32_Beta10", StudyModel{32, 10.0, Band{-1.0, 0.0, 0.0}, 256}, false},
        DirectCase{"Large256_Beta3", StudyModel{256, 3.0, Band{-1.0, 0.2, -0.1}, 8}, false},
        // β·e up to 4e6: e^{βe} overflows in any direct form of f.
        DirectCase{"ColdestBeta", StudyModel{8, 1e6, Band{1.0, 0.0, 0.3}, 4}, true},
        DirectCase{"WidestBand", StudyModel{8, 1.0, Band{1e6, 5e5, 2.5e5}, 4}, true},
        // Rectangular, prime-sized, and with every coefficient of the band.
        DirectCase{"Rectangular12x20", testing::mesh(12, 20, 2.0, Band{-1.0, 0.1, -0.2}, 6), false},
        DirectCase{"Prime13x7EveryQ", testing::mesh(13, 7, 3.0, Band{-1.0, 0.0, 0.4}, 5), true},
        DirectCase{"CoefficientsTxTyT2T3",
                   [] {
                       StudyModel model = testing::mesh(24, 24, 5.0, Band{-1.0, 0.0, -0.9}, 9, 0.3, -0.05);
                       model.band.hopping_y = -0.7;
                       return model;
                   }(),
                   false}),
    [](const ::testing::TestParamInfo<DirectCase>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace lattice_bubble
