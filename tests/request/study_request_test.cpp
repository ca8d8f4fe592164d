#include "request/study_request.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "routes/tail_grid.h"
#include "support/exact_bubble.h"

namespace lattice_bubble {
namespace {

CheckedRequest check(const StudyRequest& request) { return check_request(request, Environment{nullptr, 2}); }

// Every problem comes back, in the order of the fields, with the value the
// check read and, for a list, the entry at fault.
TEST(StudyRequest, ReturnsEveryProblemAsData) {
    StudyRequest request;
    request.lattice = {{4, 0}};
    request.beta = std::numeric_limits<double>::quiet_NaN();
    request.routes = {"tail", "heat"};
    request.q = {{WaveVectorEntry::Kind::point, 1, 1}, {WaveVectorEntry::Kind::point, 9, 1}};
    const CheckedRequest checked = check(request);
    ASSERT_FALSE(checked.study);
    ASSERT_EQ(checked.problems.size(), 4u);
    EXPECT_EQ(checked.problems[0].field, "lattice");
    EXPECT_EQ(checked.problems[0].given, "4,0");
    EXPECT_EQ(checked.problems[0].reason, "out of range");
    EXPECT_EQ(checked.problems[1].reason, "infinity and NaN are not accepted");
    EXPECT_EQ(checked.problems[2].reason, "unknown route 'heat'");
    EXPECT_EQ(checked.problems[2].given, "tail,heat");
    EXPECT_EQ(checked.problems[3].field, "q");
    EXPECT_EQ(checked.problems[3].item, 1);
    EXPECT_EQ(checked.problems[3].given, "9,1");
}

// Each front end names the fields in its own idiom.
TEST(StudyRequest, RefusalsNameTheFieldsAsTheFrontEndSaysThem) {
    StudyRequest request;
    request.broadening = 0.1;
    const CheckedRequest checked = check(request);
    ASSERT_EQ(checked.problems.size(), 1u);
    const auto keyword = [](std::string_view field) {
        return field == "real-axis" ? "omega" : std::string(field);
    };
    EXPECT_EQ(
        refusal_text(checked.problems[0], keyword, ""),
        "option broadening needs omega OMIN,OMAX,COUNT: eta broadens the real frequencies omega_j + i eta; "
        "nothing was computed");
    request = {};
    request.lattice = {{4096, 4096}};
    request.frequencies = 65536;
    request.routes = {"fourier", "tail", "direct"};
    const Problem memory = check(request).problems.at(0);
    EXPECT_TRUE(memory.memory);
    EXPECT_EQ(with_field_names(memory.accepted, keyword),
              "a smaller lattice or frequencies needs less; routes direct alone fits");
}

// Without routes the values asked for choose the one whose accuracy is
// controlled; a Matsubara-only route on the real axis is refused.
TEST(StudyRequest, RoutesFollowTheAxis) {
    StudyRequest request;
    const auto names = [](const StudyRequest& asked) {
        std::vector<std::string_view> found;
        const CheckedRequest checked = check(asked);
        for (const Route* route : checked.study->routes) {
            found.push_back(route->name);
        }
        return found;
    };
    EXPECT_EQ(names(request), (std::vector<std::string_view>{"dlr"}));
    request.q_points = {{0.5, 0.25}};
    EXPECT_EQ(names(request), (std::vector<std::string_view>{"direct"}));
    request.q_points.clear();
    request.real_axis = RealAxisRequest{-1.0, 1.0, 5};
    request.broadening = 0.1;
    const Study study = *check(request).study;
    ASSERT_EQ(study.routes.size(), 1u);
    EXPECT_TRUE(study.routes[0]->real_axis);
    EXPECT_EQ(study.model.real_axis->broadening, 0.1);
    request.routes = {"tail"};
    EXPECT_EQ(check(request).problems.at(0).field, "routes");
}

// Each warning fires on its case and not on the case next to it: a band
// empty at μ (density 2e-9) against one nearly empty (6e-6); momenta on the
// Fermi surface at β·W = 800 against the same mesh shifted off it, or at
// β·W = 80; a tail mesh named coarser than ε against one that meets it.
TEST(StudyRequest, WarnsOfWhatWouldSilentlyMislead) {
    const auto warnings = [](const StudyRequest& request) {
        const CheckedRequest checked = check(request);
        EXPECT_TRUE(checked.study);
        std::string all;
        for (const std::string& warning : checked.warnings) {
            all += warning + "\n";
        }
        return all;
    };
    StudyRequest band;
    band.hopping = {{-1.0, -1.0}};
    band.mu = 0.0;  // the band e(k) = -2 (cos kx + cos ky) + 5, from 1 to 9 above μ
    band.beta = 20.0;
    EXPECT_NE(warnings(band).find("the band is empty at mu = 0"), std::string::npos);
    band.beta = 8.0;
    EXPECT_EQ(warnings(band), "");
    band.offset = -5.0;
    band.beta = 20.0;
    EXPECT_NE(warnings(band).find("the band is full"), std::string::npos);

    StudyRequest cold;
    cold.lattice = {{16, 16}};
    cold.hopping = {{-1.0, -1.0}};
    cold.mu = cold.offset = 0.0;
    cold.beta = 100.0;
    EXPECT_NE(warnings(cold).find("momenta of the 16 x 16 mesh lie on the Fermi surface"), std::string::npos);
    cold.k_shift = {{0.5, 0.25}};
    EXPECT_EQ(warnings(cold), "");
    cold.k_shift.reset();
    cold.beta = 10.0;
    EXPECT_EQ(warnings(cold), "");

    StudyRequest coarse;
    coarse.routes = {"tail"};
    coarse.frequencies = 16;
    EXPECT_NE(warnings(coarse).find("the tail route's mesh of N = 16 frequencies is coarser"),
              std::string::npos);
    coarse.frequencies = 4096;
    EXPECT_EQ(warnings(coarse), "");
}

// What a checked study's routes give at every q: a route's values at q, m.
std::vector<std::vector<Complex>> computed(const Study& study, const Route& route) {
    const std::vector<WaveVector> q = study.wave_vectors();
    const Workers workers{2, nullptr, nullptr};
    const std::unique_ptr<RouteValues> values = route.compute(study.model, q, workers);
    values->prepare(q, workers);
    std::vector<std::vector<Complex>> chi;
    for (std::size_t i = 0; i < q.size(); ++i) {
        const auto at = values->values(i, q[i]).first(static_cast<std::size_t>(study.model.values()));
        chi.emplace_back(at.begin(), at.end());
    }
    return chi;
}

// Every route's default meets the bound it states, on 32 x 32 with t' at
// β = 100 and 1000, every q and every value printed, against the long-double
// sum: the dlr route (the Matsubara axis's default) per q, the tail route
// through the mesh it chose (# tail_bound), the direct route on the real axis.
TEST(StudyDefaults, MeetTheirStatedBoundsAtLowTemperature) {
    for (const double beta : {100.0, 1000.0}) {
        StudyRequest request;
        request.lattice = {{32, 32}};
        request.hopping = {{-1.0, -1.0}};
        request.hopping2 = 0.3;
        request.mu = -1.0;
        request.offset = 0.0;
        request.beta = beta;
        request.q = {{WaveVectorEntry::Kind::all}};
        for (const std::vector<std::string>& routes : {std::vector<std::string>{}, {"tail"}}) {
            request.routes = routes;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
            if (!routes.empty() && beta > 100.0) {
                continue;  // 0.9 GB and N = 54000 frequencies: the plain build's
            }
#endif
            const CheckedRequest checked = check(request);
            ASSERT_TRUE(checked.study);
            const Study& study = *checked.study;
            const StudyModel& model = study.model;
            const std::vector<std::vector<Complex>> chi = computed(study, *study.routes.front());
            long double largest = 0.0L;
            std::vector<std::vector<testing::LongComplex>> exact;
            for (const WaveVector& q : study.wave_vectors()) {
                exact.push_back(testing::exact_bubble(model, q.first, q.second));
                for (const testing::LongComplex value : exact.back()) {
                    largest = std::max(largest, std::abs(value));
                }
            }
            const double lambda = beta * band_width_on_grid(model);
            for (std::size_t i = 0; i < chi.size(); ++i) {
                long double at_q = 0.0L;
                for (const testing::LongComplex value : exact[i]) {
                    at_q = std::max(at_q, std::abs(value));
                }
                const long double bound =
                    routes.empty()
                        ? 1e-10L * at_q + (2e-15L + 1e-17L * lambda) * largest
                        : tail_bound(*model.tail_frequencies, beta, tail_energy(model)) * beta / 4.0L;
                for (std::size_t m = 0; m < chi[i].size(); ++m) {
                    ASSERT_LE(std::abs(testing::LongComplex(chi[i][m].re, chi[i][m].im) - exact[i][m]), bound)
                        << (routes.empty() ? "dlr" : "tail") << " at beta = " << beta << ", q " << i << ", m "
                        << m;
                }
            }
        }
        request.routes.clear();
        request.real_axis = RealAxisRequest{-0.5, 0.5, 3};
        request.broadening = 0.05;
        const Study study = *check(request).study;
        ASSERT_EQ(study.routes.front()->name, "direct");
        const std::vector<std::vector<Complex>> chi = computed(study, *study.routes.front());
        for (std::size_t i = 0; i < chi.size(); i += 37) {
            const WaveVector q = study.wave_vectors()[i];
            const std::vector<testing::LongComplex> exact =
                testing::exact_bubble(study.model, q.first, q.second);
            for (std::size_t j = 0; j < chi[i].size(); ++j) {
                EXPECT_LE(std::abs(testing::LongComplex(chi[i][j].re, chi[i][j].im) - exact[j]),
                          1e-12L * std::abs(exact[j]) + 1e-14L);
            }
        }
        request.real_axis.reset();
        request.broadening.reset();
    }
}

}  // namespace
}  // namespace lattice_bubble
