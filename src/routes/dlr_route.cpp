#include "routes/dlr_route.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/parallel.h"
#include "transforms/lattice_transforms.h"

namespace lattice_bubble {
namespace {

constexpr int most_nodes_per_block = 4;

// How the nodes are split: blocks of `nodes` nodes, whose two slots each fill
// at most eight, two cache lines of a point's series, as the transforms'
// blocks do; fewer on a lattice so large that the threads' blocks would
// pass a quarter of χ(q, τ_k)'s grid or 64 MiB, whichever is more; one node
// at the least; no more threads than blocks.
struct NodeSplit {
    int nodes;
    int blocks;
    int threads;
};

double node_block_bytes(int lattice_x, int lattice_y, int nodes) {
    const GeneralFftWorkSizes work = general_fft_work_sizes_2d(lattice_x, lattice_y);
    return 2.0 * SeriesGrid::bytes(lattice_x, lattice_y, 2 * nodes) +
           static_cast<double>(work.doubles) * sizeof(double) + static_cast<double>(work.ints) * sizeof(int);
}

NodeSplit node_split(int lattice_x, int lattice_y, int rank, int threads) {
    const double budget = std::max(SeriesGrid::bytes(lattice_x, lattice_y, rank) / 4.0, 64.0 * 1024 * 1024);
    int nodes = most_nodes_per_block;
    while (nodes > 1 && std::max(threads, 1) * node_block_bytes(lattice_x, lattice_y, nodes) > budget) {
        --nodes;
    }
    const int blocks = (rank + nodes - 1) / nodes;
    return {nodes, blocks, std::clamp(blocks, 1, std::max(threads, 1))};
}

// One thread's work on a block of nodes: G(k, τ) at τ_k in slot j of the
// slices and at β − τ_k in slot count + j, carried to real space into
// `green`, with (τ, β − τ) of each slot.
struct NodeBlock {
    NodeBlock(int lattice_x, int lattice_y, int nodes)
        : slices(lattice_x, lattice_y, 2 * nodes),
          green(lattice_x, lattice_y, 2 * nodes, SeriesGrid::unwritten) {}
    LatticeSlices slices;
    SeriesGrid green;
    std::array<double, 2 * most_nodes_per_block> tau{};
    std::array<double, 2 * most_nodes_per_block> rest{};
};

}  // namespace

double DlrRoute::lambda(const StudyModel& model) { return model.beta * band_width_on_grid(model); }

double DlrRoute::representation_tolerance(const StudyModel& model) {
    return std::max(std::max(model.tolerance, tolerance_floor) / tolerance_margin, finest_tolerance);
}

double DlrRoute::bytes(const StudyModel& model, int threads) {
    const double lambda_value = lambda(model);
    const int rank = DlrBasis::rank_bound(lambda_value, representation_tolerance(model));
    const double grid = SeriesGrid::bytes(model.lattice_x, model.lattice_y, rank);
    const NodeSplit split = node_split(model.lattice_x, model.lattice_y, rank, threads);
    // K(t_j, w_l) in doubles at the times, K̂(ν_m, w_l) in Complex at the frequencies.
    const double kernel = static_cast<double>(model.values()) * rank *
                          static_cast<double>(model.time_count ? sizeof(double) : sizeof(Complex));
    return grid + split.threads * node_block_bytes(model.lattice_x, model.lattice_y, split.nodes) +
           lattice_slices_bytes(model.lattice_x, model.lattice_y, threads, grid) +
           model.sites() * 2.0 * sizeof(double) + DlrBasis::construction_bytes(lambda_value) + kernel;
}

DlrRoute::DlrRoute(const StudyModel& model, const Workers& workers)
    : DlrRoute(model, workers, band_on_grid(model)) {}

DlrRoute::DlrRoute(const StudyModel& model, const Workers& workers, const std::vector<double>& energy)
    : values_(model.values()),
      at_times_(model.time_count.has_value()),
      band_width_(lattice_bubble::band_width(energy)),
      basis_(shared_dlr_basis(model.beta * band_width_, representation_tolerance(model))),
      chi_time_(model.lattice_x, model.lattice_y, basis_->rank(), SeriesGrid::unwritten) {
    const double inverse_temperature = model.beta;
    const int lx = model.lattice_x;
    const int ly = model.lattice_y;
    const int rank = basis_->rank();
    const std::span<const UnitTime> times = basis_->times();
    // G(−r, β − τ_k) on a shifted mesh; on the grid, whose band is even in k, G(r, β − τ_k) itself.
    const bool mirror = model.shifted();

    // 1 + e^{−β·|e(k)|} at every k.
    std::vector<double> denominator(energy.size());
    std::transform(energy.begin(), energy.end(), denominator.begin(),
                   [&](double e) { return kernel_denominator(e, inverse_temperature); });

    // χ(r, τ_k) into slot k, the nodes in blocks split over the threads in
    // one pass: each block's G made, carried to real space and multiplied by
    // the thread that took it, so that no thread waits on another between them.
    {
        const NodeSplit split = node_split(lx, ly, rank, workers.threads);
        std::vector<NodeBlock> blocks;
        blocks.reserve(static_cast<std::size_t>(split.threads));
        for (int t = 0; t < split.threads; ++t) {
            blocks.emplace_back(lx, ly, split.nodes);
        }
        workers.start_stage("imaginary-time nodes", rank);
        parallel_ranges(split.blocks, blocks, [&](NodeBlock& own, long long begin, long long end) {
            for (long long block = begin; block < end; ++block) {
                workers.poll();
                const int first = static_cast<int>(block) * split.nodes;
                const int count = std::min(split.nodes, rank - first);
                for (int j = 0; j < count; ++j) {
                    const UnitTime t = times[static_cast<std::size_t>(first + j)];
                    // β − τ_k in slot count + j: the two parts of t swap.
                    const auto slot = static_cast<std::size_t>(j);
                    const auto partner = static_cast<std::size_t>(count + j);
                    own.tau[slot] = own.rest[partner] = inverse_temperature * t.t;
                    own.rest[slot] = own.tau[partner] = inverse_temperature * t.complement;
                }
                own.slices.make(0, 2 * count, [&](int x, int y, int slot) {
                    const auto k = static_cast<std::size_t>(x) * static_cast<std::size_t>(ly) +
                                   static_cast<std::size_t>(y);
                    const auto j = static_cast<std::size_t>(slot);
                    return Complex{-kernel_numerator(energy[k], own.tau[j], own.rest[j]) / denominator[k],
                                   0.0};
                });
                own.slices.transform_and_scatter(own.green, 0, 2 * count, +1, true);
                for (int x = 0; x < lx; ++x) {
                    for (int y = 0; y < ly; ++y) {
                        const auto from = own.green.series(x, y);
                        const auto partner = mirror ? own.green.series((lx - x) % lx, (ly - y) % ly) : from;
                        const auto to = chi_time_.series(x, y);
                        for (int j = 0; j < count; ++j) {
                            to[static_cast<std::size_t>(first + j)] =
                                from[static_cast<std::size_t>(j)] *
                                partner[static_cast<std::size_t>(count + j)];
                        }
                    }
                }
                workers.advance(count);
            }
        });
    }
    to_momentum(chi_time_, rank, workers);

    const std::span<const double> w = basis_->frequencies();
    const auto r = static_cast<std::size_t>(rank);
    if (at_times_) {
        // K(t_j, w_l) at t_j = τ_j/β = j/(T − 1) and 1 − t_j = (T − 1 − j)/(T − 1),
        // each exact at the ends (T = 1: τ_0 = β alone).
        const int last = *model.time_count - 1;
        time_kernel_.resize(static_cast<std::size_t>(values_) * r);
        for (int j = 0; j < values_; ++j) {
            const UnitTime t =
                last == 0 ? UnitTime{1.0, 0.0}
                          : UnitTime{static_cast<double>(j) / last, static_cast<double>(last - j) / last};
            for (std::size_t l = 0; l < r; ++l) {
                time_kernel_[static_cast<std::size_t>(j) * r + l] = dlr_kernel(t, w[l]);
            }
        }
        return;
    }
    kernel_.resize(static_cast<std::size_t>(values_) * r);
    for (int m = 0; m < values_; ++m) {
        const double nu = boson_frequency(m, inverse_temperature).im;
        for (std::size_t l = 0; l < r; ++l) {
            kernel_[static_cast<std::size_t>(m) * r + l] =
                dlr_kernel_at_frequency(w[l], inverse_temperature, nu);
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
    for (std::size_t j = 0; j < static_cast<std::size_t>(values_); ++j) {
        if (at_times_) {
            double sum = 0.0;
            for (std::size_t l = 0; l < rank; ++l) {
                sum += time_kernel_[j * rank + l] * c[l];
            }
            chi[j] = Complex{sum, 0.0};
            continue;
        }
        Complex sum{0.0, 0.0};
        for (std::size_t l = 0; l < rank; ++l) {
            sum += kernel_[j * rank + l] * c[l];
        }
        chi[j] = sum;
    }
}

}  // namespace lattice_bubble
