#include "routes/route_table.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "common/series_grid.h"
#include "routes/direct_route.h"
#include "routes/fourier_route.h"

namespace lattice_bubble {
namespace {

// A route that computes every wave vector at once, on one grid.
class GridValues final : public RouteValues {
public:
    explicit GridValues(SeriesGrid grid) : grid_(std::move(grid)) {}
    void prepare(std::span<const WaveVector>, const Workers&) override {}
    [[nodiscard]] std::span<const Complex> values(std::size_t, WaveVector q) const override {
        return grid_.series(q.first, q.second);
    }

private:
    SeriesGrid grid_;
};

// The direct sums of a block of wave vectors at a time, over every thread.
class DirectValues final : public RouteValues {
public:
    DirectValues(const StudyModel& model, std::size_t wave_vectors, const Workers& workers)
        : sum_(model), bosons_(static_cast<std::size_t>(model.bosons())) {
        workers.start_stage("sums over k", static_cast<long long>(wave_vectors));
    }
    void prepare(std::span<const WaveVector> block, const Workers& workers) override {
        values_.resize(block.size() * bosons_);
        sum_.evaluate(block, values_, workers);
    }
    [[nodiscard]] std::span<const Complex> values(std::size_t i, WaveVector) const override {
        return std::span<const Complex>(values_).subspan(i * bosons_, bosons_);
    }

private:
    DirectSum sum_;
    std::size_t bosons_;
    std::vector<Complex> values_;
};

template <bool Tail>
std::unique_ptr<RouteValues> compute_grid(const StudyModel& model, std::span<const WaveVector>,
                                          const Workers& workers) {
    return std::make_unique<GridValues>(Tail ? tail_route(model, workers) : fourier_route(model, workers));
}

// The direct sums cost L² terms per wave vector and frequency: beyond 10^9
// terms the user hears of it before they start.
std::string direct_cost(const StudyModel& model, std::size_t wave_vectors) {
    const double momenta = static_cast<double>(model.sites());
    const double terms = static_cast<double>(wave_vectors) * model.bosons() * momenta;
    if (terms <= 1e9) {
        return {};
    }
    char text[256];
    std::snprintf(
        text, sizeof text,
        "the direct route sums %.2g terms (%zu wave vectors x %d frequencies x %.0f momenta) and may take "
        "long; a --routes without direct leaves it out",
        terms, wave_vectors, model.bosons(), momenta);
    return text;
}

template <bool Tail>
double grid_bytes(const StudyModel& model, int threads, std::size_t) {
    return fourier_route_bytes(model, Tail, threads);
}

const std::array<Route, 3> table = {{
    {"fourier", "the default run's Fourier route (FFTs through real space and imaginary time) on the mesh",
     Axis::matsubara, grid_bytes<false>, compute_grid<false>, nullptr},
    {"tail", "the Fourier route with the tails of G and chi handled analytically", Axis::matsubara,
     grid_bytes<true>, compute_grid<true>, nullptr},
    {"direct", "the Lindhard sum over the Brillouin zone, exact to rounding", Axis::matsubara,
     [](const StudyModel& model, int threads, std::size_t block) {
         return DirectSum::bytes(model, threads) +
                static_cast<double>(block) * model.bosons() * static_cast<double>(sizeof(Complex));
     },
     [](const StudyModel& model, std::span<const WaveVector> wave_vectors,
        const Workers& workers) -> std::unique_ptr<RouteValues> {
         return std::make_unique<DirectValues>(model, wave_vectors.size(), workers);
     },
     direct_cost},
}};

}  // namespace

std::span<const Route> routes() { return table; }

const Route* find_route(std::string_view name) {
    const auto found =
        std::find_if(table.begin(), table.end(), [&](const Route& route) { return route.name == name; });
    return found == table.end() ? nullptr : &*found;
}

}  // namespace lattice_bubble
