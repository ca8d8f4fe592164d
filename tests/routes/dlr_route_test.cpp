// The dlr route against the long-double Lindhard sum: within the README's
// bound, C·max(ε, 1e-13)·max_m |χ(q, iν_m)| + (2e-15 + 1e-17·Λ)·(the largest
// |χ| of the mesh), C = 1, at low and high temperature, on other lattices and
// bands and on a shifted mesh. The second term is the lattice transforms'
// rounding, carried through the fit and integrated over [0, β]: it shows
// only at wave vectors whose χ is far below the largest, such as q = 0 at low
// temperature.

#include "routes/dlr_route.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <cstring>
#include <numbers>
#include <string>

#include "support/exact_bubble.h"

namespace lattice_bubble {
namespace {

struct DlrCase {
    std::string name;
    StudyModel model;
    std::vector<WaveVector> also{};  // wave vectors of the case's largest C
};

void PrintTo(const DlrCase& dlr_case, std::ostream* out) { *out << dlr_case.name; }

class DlrRoute : public ::testing::TestWithParam<DlrCase> {};

TEST_P(DlrRoute, MatchesTheExactSumWithinItsTolerance) {
    const StudyModel& model = GetParam().model;
    const int lx = model.lattice_x;
    const int ly = model.lattice_y;
    std::vector<WaveVector> wave_vectors{{lx / 2, ly / 2}, {1, ly / 3}, {lx / 4, 0}, {0, 0}};
    wave_vectors.insert(wave_vectors.end(), GetParam().also.begin(), GetParam().also.end());
    std::vector<std::vector<testing::LongComplex>> exact;
    long double largest_of_all = 0.0L;
    for (const auto& [qx, qy] : wave_vectors) {
        exact.push_back(testing::exact_bubble(model, qx, qy));
        for (const auto& value : exact.back()) {
            largest_of_all = std::max(largest_of_all, std::abs(value));
        }
    }
    const lattice_bubble::DlrRoute route(model, Workers{});
    const lattice_bubble::DlrRoute on_two_threads(model,
                                                  Workers{2});  // the nodes split in two: the same bits
    std::vector<Complex> chi(static_cast<std::size_t>(model.bosons())), chi_two(chi.size());
    std::vector<double> scratch(2 * static_cast<std::size_t>(route.basis().rank()));
    for (std::size_t i = 0; i < wave_vectors.size(); ++i) {
        route.evaluate(wave_vectors[i], chi, scratch);
        on_two_threads.evaluate(wave_vectors[i], chi_two, scratch);
        EXPECT_EQ(std::memcmp(chi.data(), chi_two.data(), chi.size() * sizeof(Complex)), 0);
        long double largest = 0.0L;
        for (const auto& value : exact[i]) {
            largest = std::max(largest, std::abs(value));
        }
        const long double bound = 1.0L * std::max(model.tolerance, 1e-13) * largest +
                                  (2e-15L + 1e-17L * route.basis().lambda()) * largest_of_all;
        for (std::size_t m = 0; m < chi.size(); ++m) {
            ASSERT_LE(std::abs(testing::LongComplex(chi[m].re, chi[m].im) - exact[i][m]), bound)
                << "q = (" << wave_vectors[i].first << ", " << wave_vectors[i].second << "), m = " << m;
        }
    }
}

StudyModel with_tolerance(StudyModel model, double tolerance) {
    model.tolerance = tolerance;
    return model;
}

StudyModel shifted(StudyModel model, double sx, double sy) {
    model.k_shift = {sx, sy};
    return model;
}

// χ(q, τ_j) against the long-double sum over k, on the grid and a shifted mesh, τ = 0 and β
// included: within ε·max_j χ(q, τ_j), and real. χ(q, τ) and χ(q, iν) are one function:
// Simpson's rule for ∫₀^β e^{iν_m·τ}·χ(q, τ)·dτ over the 801 times gives the route's χ(q, iν_m).
TEST(DlrRouteInTime, MatchesTheExactSumAndTransformsIntoItsFrequencies) {
    for (const double shift : {0.0, 0.6}) {
        StudyModel model =
            shifted(testing::mesh(12, 10, 4.0, Band{-1.0, 0.0, -0.8}, 4, 0.3), shift / 2, shift);
        const lattice_bubble::DlrRoute at_frequencies(model, Workers{});
        model.time_count = 801;
        const lattice_bubble::DlrRoute route(model, Workers{});
        std::vector<Complex> chi(801), chi_nu(5);
        std::vector<double> scratch(2 * static_cast<std::size_t>(route.basis().rank()));
        for (const WaveVector& q : {WaveVector{0, 0}, WaveVector{6, 5}, WaveVector{1, 3}}) {
            const std::vector<testing::LongComplex> exact = testing::exact_bubble(model, q.first, q.second);
            const long double largest = std::abs(
                *std::ranges::max_element(exact, [](auto a, auto b) { return std::abs(a) < std::abs(b); }));
            route.evaluate(q, chi, scratch);
            at_frequencies.evaluate(q, chi_nu, scratch);
            const std::string where = "q = (" + std::to_string(q.first) + ", " + std::to_string(q.second) +
                                      "), shift " + std::to_string(shift);
            std::vector<std::complex<long double>> transform(chi_nu.size());
            for (std::size_t j = 0; j < chi.size(); ++j) {
                ASSERT_EQ(chi[j].im, 0.0);
                ASSERT_LE(std::fabs(chi[j].re - exact[j].real()), 1e-10L * largest + 1e-15L)
                    << where << ", j " << j;
                const long double weight = j == 0 || j == 800 ? 1.0L : j % 2 == 1 ? 4.0L : 2.0L;
                for (std::size_t m = 0; m < transform.size(); ++m) {
                    transform[m] += weight * model.beta / 2400.0L *
                                    std::polar(static_cast<long double>(chi[j].re),
                                               2.0L * std::numbers::pi_v<long double> * m * j / 800.0L);
                }
            }
            for (std::size_t m = 0; m < transform.size(); ++m) {  // Simpson's error at this step: 1e-9
                EXPECT_LE(std::abs(transform[m] - std::complex<long double>(chi_nu[m].re, chi_nu[m].im)),
                          1e-8L)
                    << where << ", m " << m;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Meshes, DlrRoute,
    ::testing::Values(
        // Λ = 8000, half filling: χ(π, π, 0) grows like log² β.
        DlrCase{"HalfFilling64_Beta1000", StudyModel{64, 1000.0, Band{-1.0, 0.0, 0.0}, 64}},
        DlrCase{"HalfFilling64_Beta1000_Tight",
                with_tolerance(StudyModel{64, 1000.0, Band{-1.0, 0.0, 0.0}, 64}, 1e-14)},
        DlrCase{"Cuprate10x6_Beta10000_Loose",
                with_tolerance(testing::mesh(10, 6, 1e4, Band{-1.0, 0.0, -0.8}, 40, 0.3), 1e-6)},
        DlrCase{"Rectangle12x20_Beta01", testing::mesh(12, 20, 0.1, Band{-1.0, 0.2, 0.3}, 8, 0.3, -0.1)},
        // ε = 1e-10 in the representation gave C = 6.3 at q = (0, 25), 4.3 at (0, 9).
        DlrCase{"HalfFilling32_Beta10000", StudyModel{32, 1e4, Band{-1.0, 0.0, 0.0}, 31}, {{0, 25}, {0, 9}}},
        DlrCase{"DefaultMesh", StudyModel{}},
        // No inversion symmetry: χ(q, iν_m) complex.
        DlrCase{"Shifted12x10_Beta50",
                shifted(testing::mesh(12, 10, 50.0, Band{-1.0, 0.0, -0.8}, 16, 0.3), 0.3, 0.7)}),
    [](const ::testing::TestParamInfo<DlrCase>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace lattice_bubble
