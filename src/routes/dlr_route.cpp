#include "routes/dlr_route.h"

#include <algorithm>
#include <cmath>

#include "common/parallel.h"
#include "transforms/lattice_transforms.h"

namespace lattice_bubble {
namespace {

// Nodes whose Green's functions are carried to real space at once: enough
// slots for every thread's lattice transforms.
int nodes_at_once(int rank, int threads) { return std::clamp(4 * threads, 1, std::max(rank, 1)); }

}  // namespace

double DlrRoute::lambda(const StudyModel& model) { return model.beta * band_width_on_grid(model); }

double DlrRoute::bytes(const StudyModel& model, int threads) {
    const double lambda_value = lambda(model);
    const int rank = DlrBasis::rank_bound(lambda_value, model.tolerance);
    const int nodes = nodes_at_once(rank, threads);
    const double grid = SeriesGrid::bytes(model.lattice_x, model.lattice_y, rank);
    const double green = SeriesGrid::bytes(model.lattice_x, model.lattice_y, 2 * nodes);
    return grid + green + lattice_slices_bytes(model.lattice_x, model.lattice_y, threads, green) +
           model.sites() * 2.0 * sizeof(double) + DlrBasis::construction_bytes(lambda_value) +
           static_cast<double>(model.bosons()) * rank * sizeof(Complex);
}

DlrRoute::DlrRoute(const StudyModel& model, const Workers& workers)
    : DlrRoute(model, workers, band_on_grid(model)) {}

DlrRoute::DlrRoute(const StudyModel& model, const Workers& workers, const std::vector<double>& energy)
    : bosons_(model.bosons()),
      band_width_(lattice_bubble::band_width(energy)),
      basis_(shared_dlr_basis(model.beta * band_width_, model.tolerance)),
      chi_time_(model.lattice_x, model.lattice_y, basis_->rank(), SeriesGrid::unwritten) {
    const double inverse_temperature = model.beta;
    const int lx = model.lattice_x;
    const int ly = model.lattice_y;
    const int rank = basis_->rank();
    const std::span<const UnitTime> times = basis_->times();

    // 1 + e^{−β·|e(k)|} at every k.
    std::vector<double> denominator(energy.size());
    std::transform(energy.begin(), energy.end(), denominator.begin(),
                   [&](double e) { return kernel_denominator(e, inverse_temperature); });

    // χ(r, τ_k) into slot k, a few nodes at a time: G at τ_k in slots j and
    // at β − τ_k in slots count + j of `green`.
    const int at_once = nodes_at_once(rank, workers.threads);
    SeriesGrid green(lx, ly, 2 * at_once, SeriesGrid::unwritten);
    const Workers quiet{workers.threads, nullptr, workers.stop};
    std::vector<char> rows(static_cast<std::size_t>(workers.threads));
    workers.start_stage("imaginary-time nodes", rank);
    for (int first = 0; first < rank; first += at_once) {
        const int count = std::min(at_once, rank - first);
        to_real_space_from(green, 2 * count, quiet, [&](int x, int y, int slot) {
            const auto k =
                static_cast<std::size_t>(x) * static_cast<std::size_t>(ly) + static_cast<std::size_t>(y);
            const UnitTime t = times[static_cast<std::size_t>(first + slot % count)];
            const bool partner = slot >= count;  // β − τ_k: the two parts of t swap
            const double tau = inverse_temperature * (partner ? t.complement : t.t);
            const double rest = inverse_temperature * (partner ? t.t : t.complement);
            const double e = energy[k];
            return Complex{-kernel_numerator(e, tau, rest) / denominator[k], 0.0};
        });
        parallel_ranges(lx, rows, [&](char, long long begin, long long end) {
            for (long long x = begin; x < end; ++x) {
                workers.poll();
                for (int y = 0; y < ly; ++y) {
                    const auto from = green.series(static_cast<int>(x), y);
                    const auto to = chi_time_.series(static_cast<int>(x), y);
                    for (int j = 0; j < count; ++j) {
                        to[static_cast<std::size_t>(first + j)] =
                            from[static_cast<std::size_t>(j)] * from[static_cast<std::size_t>(count + j)];
                    }
                }
            }
        });
        workers.advance(count);
    }
    to_momentum(chi_time_, rank, workers);

    const std::span<const double> w = basis_->frequencies();
    kernel_.resize(static_cast<std::size_t>(bosons_) * static_cast<std::size_t>(rank));
    for (int m = 0; m < bosons_; ++m) {
        const double nu = boson_frequency(m, inverse_temperature).im;
        for (int l = 0; l < rank; ++l) {
            kernel_[static_cast<std::size_t>(m) * static_cast<std::size_t>(rank) +
                    static_cast<std::size_t>(l)] =
                dlr_kernel_at_frequency(w[static_cast<std::size_t>(l)], inverse_temperature, nu);
        }
    }
}

void DlrRoute::evaluate(WaveVector q, std::span<Complex> chi, std::span<double> scratch) const {
    const auto rank = static_cast<std::size_t>(basis_->rank());
    const std::span<double> values = scratch.first(rank);
    const std::span<double> c = scratch.subspan(rank, rank);
    const auto series = chi_time_.series(q.first, q.second);
    for (std::size_t k = 0; k < rank; ++k) {
        values[k] = series[k].re;
    }
    basis_->coefficients(values, c);
    for (std::size_t m = 0; m < static_cast<std::size_t>(bosons_); ++m) {
        Complex sum{0.0, 0.0};
        for (std::size_t l = 0; l < rank; ++l) {
            sum += kernel_[m * rank + l] * c[l];
        }
        chi[m] = sum;
    }
}

}  // namespace lattice_bubble
