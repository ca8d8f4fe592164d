// The direct route against the long-double Lindhard sum of the test support,
// on meshes where the default run's form loses digits: equal and nearly
// equal energies at ν = 0, and temperatures and bands whose exponentials
// would overflow.

#include "routes/direct_route.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/exact_bubble.h"

namespace lattice_bubble {
namespace {

struct DirectCase {
    std::string name;
    StudyModel model;
    bool all_q;  // else q = (L/2, L/2), (0, 0) and (1, L/2 − 1)
};

void PrintTo(const DirectCase& direct_case, std::ostream* out) { *out << direct_case.name; }

class DirectRoute : public ::testing::TestWithParam<DirectCase> {};

// Within 1e-12 of the largest |χ| at each m, at every wave vector tried.
TEST_P(DirectRoute, MatchesTheExactSumAtEveryFrequency) {
    const StudyModel& model = GetParam().model;
    const int l = model.lattice;
    std::vector<std::pair<int, int>> wave_vectors{{l / 2, l / 2}, {0, 0}, {1, l / 2 - 1}};
    if (GetParam().all_q) {
        wave_vectors.clear();
        for (int q = 0; q < l * l; ++q) {
            wave_vectors.emplace_back(q / l, q % l);
        }
    }
    DirectSum direct(model);
    std::vector<Complex> chi(static_cast<std::size_t>(model.bosons()));
    std::vector<std::vector<testing::LongComplex>> exact;
    std::vector<long double> largest(chi.size(), 0.0L);
    for (const auto& [qx, qy] : wave_vectors) {
        exact.push_back(testing::exact_bubble(model, qx, qy));
        for (std::size_t m = 0; m < chi.size(); ++m) {
            largest[m] = std::max(largest[m], std::abs(exact.back()[m]));
        }
    }
    for (std::size_t i = 0; i < wave_vectors.size(); ++i) {
        direct.evaluate(wave_vectors[i].first, wave_vectors[i].second, chi);
        for (std::size_t m = 0; m < chi.size(); ++m) {
            const auto error = std::abs(testing::LongComplex(chi[m].re, chi[m].im) - exact[i][m]);
            ASSERT_LE(error, 1e-12L * largest[m])
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
        // β·e up to 4e6: e^{βe} overflows in any direct form of f.
        DirectCase{"ColdestBeta", StudyModel{8, 1e6, Band{1.0, 0.0, 0.3}, 4}, true},
        DirectCase{"WidestBand", StudyModel{8, 1.0, Band{1e6, -1e6, 1e6}, 4}, true}),
    [](const ::testing::TestParamInfo<DirectCase>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace lattice_bubble
