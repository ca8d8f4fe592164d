#include "routes/route_table.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/number_text.h"
#include "common/parallel.h"
#include "common/series_grid.h"
#include "routes/direct_route.h"
#include "routes/dlr_route.h"
#include "routes/fourier_route.h"
#include "routes/tail_grid.h"

namespace lattice_bubble {
namespace {

// A route that computes every wave vector at once, on one grid.
class GridValues final : public RouteValues {
public:
    GridValues(SeriesGrid grid, std::string header) : grid_(std::move(grid)), header_(std::move(header)) {}
    void prepare(std::span<const WaveVector>, const Workers&) override {}
    [[nodiscard]] std::span<const Complex> values(std::size_t, WaveVector q) const override {
        return grid_.series(q.first, q.second);
    }
    [[nodiscard]] std::string header_lines() const override { return header_; }
    [[nodiscard]] std::unique_ptr<SeriesGrid> take_grid() override {
        return std::make_unique<SeriesGrid>(std::move(grid_));
    }

private:
    SeriesGrid grid_;
    std::string header_;
};

// The direct sums of a block of wave vectors at a time, over every thread.
// On the real axis with a coupling, the static values are sums of their own.
class DirectValues final : public RouteValues {
public:
    DirectValues(const StudyModel& model, std::size_t wave_vectors, const Workers& workers)
        : sum_(model),
          count_(static_cast<std::size_t>(model.values())),
          static_sums_(model.real_axis && model.coupling) {
        workers.start_stage("sums over k", static_cast<long long>(wave_vectors) * (static_sums_ ? 2 : 1));
    }
    void prepare(std::span<const WaveVector> block, const Workers& workers) override {
        values_.resize(block.size() * count_);
        sum_.evaluate(block, values_, workers);
        if (static_sums_) {
            static_.resize(block.size());
            sum_.evaluate_static(block, static_, workers);
        }
    }
    [[nodiscard]] std::span<const Complex> values(std::size_t i, WaveVector) const override {
        return std::span<const Complex>(values_).subspan(i * count_, count_);
    }
    [[nodiscard]] double static_value(std::size_t i, WaveVector q) const override {
        return static_sums_ ? static_[i] : values(i, q)[0].re;
    }

private:
    DirectSum sum_;
    std::size_t count_;
    bool static_sums_;
    std::vector<Complex> values_;
    std::vector<double> static_;
};

// The direct sums at wave vectors off the grid, all at once.
class DirectPointValues final : public RouteValues {
public:
    DirectPointValues(const StudyModel& model, std::span<const FreeWaveVector> points, const Workers& workers)
        : count_(static_cast<std::size_t>(model.values())), values_(points.size() * count_) {
        const DirectSum sum(model);
        workers.start_stage("sums over k", static_cast<long long>(points.size()));
        sum.evaluate_points(points, values_, workers);
    }
    void prepare(std::span<const WaveVector>, const Workers&) override {}
    [[nodiscard]] std::span<const Complex> values(std::size_t i, WaveVector) const override {
        return std::span<const Complex>(values_).subspan(i * count_, count_);
    }

private:
    std::size_t count_;
    std::vector<Complex> values_;
};

// The dlr route's values of a block, from its χ(q, τ_k): a solve and a sum per q.
class DlrValues final : public RouteValues {
public:
    DlrValues(const StudyModel& model, const Workers& workers)
        : route_(model, workers),
          count_(static_cast<std::size_t>(model.values())),
          tolerance_(model.tolerance) {}
    void prepare(std::span<const WaveVector> block, const Workers& workers) override {
        values_.resize(block.size() * count_);
        // A block too small to be worth a thread's start runs on this one.
        const double work = static_cast<double>(block.size()) * route_.basis().rank() *
                            (route_.basis().rank() + static_cast<double>(count_));
        std::vector<std::vector<double>> scratch(
            static_cast<std::size_t>(work < 1e6 ? 1 : workers.threads),
            std::vector<double>(2 * static_cast<std::size_t>(route_.basis().rank())));
        parallel_ranges(static_cast<long long>(block.size()), scratch,
                        [&](std::vector<double>& own, long long begin, long long end) {
                            for (long long i = begin; i < end; ++i) {
                                workers.poll();
                                route_.evaluate(
                                    block[static_cast<std::size_t>(i)],
                                    std::span(values_).subspan(static_cast<std::size_t>(i) * count_, count_),
                                    own);
                            }
                        });
    }
    [[nodiscard]] std::span<const Complex> values(std::size_t i, WaveVector) const override {
        return std::span<const Complex>(values_).subspan(i * count_, count_);
    }
    [[nodiscard]] std::string header_lines() const override {
        const DlrBasis& basis = route_.basis();
        return "# dlr_lambda = " + shortest(basis.lambda()) +
               " (beta*omega_max, at least 1; omega_max = " + shortest(route_.band_width()) +
               ", the band's width over the grid)\n# dlr_tolerance = " + shortest(tolerance_) +
               " (epsilon; the representation is built at " + shortest(basis.epsilon()) +
               ", so that every q meets it)\n# dlr_rank = " + std::to_string(basis.rank()) +
               " (its imaginary-time nodes and real frequencies)\n";
    }

private:
    DlrRoute route_;
    std::size_t count_;
    double tolerance_;
    std::vector<Complex> values_;
};

// The model a Fourier route computes: the tail route on the mesh it chose
// for ε where none was given.
template <bool Tail>
StudyModel mesh_of(const StudyModel& model) {
    StudyModel own = model;
    if (Tail && model.tail_frequencies) {
        own.frequencies = *model.tail_frequencies;
    }
    return own;
}

// What the head of the table says of a Fourier route's accuracy, where the
// user did not choose its mesh (a table whose mesh was named keeps its bytes).
template <bool Tail>
std::string grid_header(const StudyModel& model) {
    if (model.frequencies_given) {
        return {};
    }
    if (!Tail) {
        return "# fourier_accuracy = not controlled (N = " + std::to_string(model.frequencies) +
               "; the route as defined has no tail and converges like 1/N: the tail, direct and dlr routes "
               "are the accurate ones)\n";
    }
    const int n = *model.tail_frequencies;
    return "# tail_frequencies = " + std::to_string(n) + " (N, chosen for tolerance " +
           shortest(model.tolerance) + " of beta/4)\n# tail_bound = " +
           shortest(tail_bound(n, model.beta, tail_energy(model)) * (model.beta / 4.0)) +
           " (every value's error at most this: the rule's b(N) times beta/4)\n";
}

template <bool Tail>
std::unique_ptr<RouteValues> compute_grid(const StudyModel& model, std::span<const WaveVector>,
                                          const Workers& workers) {
    const StudyModel mesh = mesh_of<Tail>(model);
    return std::make_unique<GridValues>(Tail ? tail_route(mesh, workers) : fourier_route(mesh, workers),
                                        grid_header<Tail>(model));
}

// The direct sums cost Lx·Ly terms per wave vector and frequency, about
// 10^9 a second on two cores: beyond 10^10 the user hears of it before they start.
std::string direct_cost(const StudyModel& model, std::size_t wave_vectors) {
    const double momenta = static_cast<double>(model.sites());
    const double terms = static_cast<double>(wave_vectors) * model.values() * momenta;
    if (terms <= 1e10) {
        return {};
    }
    char text[256];
    std::snprintf(
        text, sizeof text,
        "the direct route sums %.2g terms (%zu wave vectors x %d frequencies x %.0f momenta) and may "
        "take long; %s",
        terms, wave_vectors, model.values(), momenta,
        model.real_axis ? "fewer wave vectors or frequencies take less"
                        : "a --routes without direct leaves it out");
    return text;
}

// The representation is built up to β·ω_max = 1e8.
std::string dlr_refusal(const StudyModel& model) {
    constexpr double largest_lambda = 1e8;
    const double lambda = DlrRoute::lambda(model);
    if (lambda <= largest_lambda) {
        return {};
    }
    // Three digits, as a person writes them: 8e8, 1e6, 800.
    const auto number = [](double value) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%.3g", value);
        std::string text = shortest(std::strtod(digits, nullptr));
        if (const auto e = text.find('e'); e != std::string::npos) {
            const auto mantissa_end = text.find_first_not_of("+0", e + 1 + (text[e + 1] == '-' ? 1 : 0));
            text = text.substr(0, e + 1) + (text[e + 1] == '-' ? "-" : "") + text.substr(mantissa_end);
        }
        return text;
    };
    return "cannot take beta*omega_max = " + number(lambda) + " (beta = " + number(model.beta) +
           " times the band's width " + number(lambda / model.beta) +
           " over the grid): it builds its representation up to " + number(largest_lambda) +
           " (a smaller --beta or a narrower band is within it)";
}

template <bool Tail>
double grid_bytes(const StudyModel& model, int threads, std::size_t, bool) {
    return fourier_route_bytes(mesh_of<Tail>(model), Tail, threads);
}

const std::array<Route, 4> table = {{
    {.name = "fourier",
     .help = "the default run's Fourier route (FFTs through real space and imaginary time) on the mesh; its "
             "accuracy is not controlled",
     .real_axis = false,
     .by_default = false,
     .takes_tolerance = false,
     .chooses_mesh = false,
     .fixed_mesh = true,
     .any_mesh = false,
     .bytes = grid_bytes<false>,
     .compute = compute_grid<false>,
     .compute_points = nullptr,
     .cost_note = nullptr,
     .refusal = nullptr},
    {.name = "tail",
     .help = "the Fourier route with the tails of G and chi handled analytically; without --frequencies it "
             "chooses N for --tolerance",
     .real_axis = false,
     .by_default = false,
     .takes_tolerance = false,
     .chooses_mesh = true,
     .fixed_mesh = false,
     .any_mesh = false,
     .bytes = grid_bytes<true>,
     .compute = compute_grid<true>,
     .compute_points = nullptr,
     .cost_note = nullptr,
     .refusal = nullptr},
    {.name = "direct",
     .help = "the Lindhard sum over the Brillouin zone, exact to rounding; the route on the real axis and "
             "off the grid",
     .real_axis = true,
     .by_default = false,
     .takes_tolerance = false,
     .chooses_mesh = false,
     .fixed_mesh = false,
     .any_mesh = true,
     .bytes =
         [](const StudyModel& model, int threads, std::size_t block, bool off_grid) {
             return DirectSum::bytes(model, threads, off_grid) +
                    static_cast<double>(block) *
                        (model.values() * static_cast<double>(sizeof(Complex)) + 8.0);
         },
     .compute = [](const StudyModel& model, std::span<const WaveVector> wave_vectors,
                   const Workers& workers) -> std::unique_ptr<RouteValues> {
         return std::make_unique<DirectValues>(model, wave_vectors.size(), workers);
     },
     .compute_points = [](const StudyModel& model, std::span<const FreeWaveVector> points,
                          const Workers& workers) -> std::unique_ptr<RouteValues> {
         return std::make_unique<DirectPointValues>(model, points, workers);
     },
     .cost_note = direct_cost,
     .refusal = nullptr},
    {.name = "dlr",
     .help = "every q through a compressed representation of imaginary time (--tolerance), at a cost that "
             "grows like log beta: the route on the Matsubara axis",
     .real_axis = false,
     .by_default = true,
     .takes_tolerance = true,
     .chooses_mesh = false,
     .fixed_mesh = false,
     .any_mesh = true,
     .bytes =
         [](const StudyModel& model, int threads, std::size_t block, bool) {
             return DlrRoute::bytes(model, threads) +
                    static_cast<double>(block) * model.values() * sizeof(Complex);
         },
     .compute = [](const StudyModel& model, std::span<const WaveVector>,
                   const Workers& workers) -> std::unique_ptr<RouteValues> {
         workers.start_stage("representation", 1);
         return std::make_unique<DlrValues>(model, workers);
     },
     .compute_points = nullptr,
     .cost_note = nullptr,
     .refusal = dlr_refusal},
}};

}  // namespace

std::span<const Route> routes() { return table; }

const Route* find_route(std::string_view name) {
    const auto found =
        std::find_if(table.begin(), table.end(), [&](const Route& route) { return route.name == name; });
    return found == table.end() ? nullptr : &*found;
}

const Route& route_for_numbers() { return table[3]; }

const Route& route_off_the_matsubara_grid() { return table[2]; }

}  // namespace lattice_bubble
