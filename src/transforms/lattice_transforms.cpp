#include "transforms/lattice_transforms.h"

#include <algorithm>

#include "fft/general_fft.h"

namespace lattice_bubble {
namespace lattice_detail {

constexpr double least_budget_bytes = 32.0 * 1024 * 1024;
constexpr int largest_block = 8;

double slice_bytes(int sites) { return static_cast<double>(sites) * 2.0 * sizeof(double); }

// The slices of every thread together: an eighth of the grid, or 32 MiB
// where that is more.
double budget(double grid_bytes) { return std::max(least_budget_bytes, grid_bytes / 8.0); }

int lattice_threads(int sites, int threads, double grid_bytes) {
    return std::clamp(static_cast<int>(budget(grid_bytes) / slice_bytes(sites)), 1, threads);
}

int block_slots(int sites, int threads, double grid_bytes) {
    const double per_thread = budget(grid_bytes) / lattice_threads(sites, threads, grid_bytes);
    return std::clamp(static_cast<int>(per_thread / slice_bytes(sites)), 1, largest_block);
}

}  // namespace lattice_detail

LatticeSlices::LatticeSlices(int lattice_x, int lattice_y, int block_slots)
    : lattice_x_(lattice_x),
      lattice_y_(lattice_y),
      inverse_site_count_(1.0 / (static_cast<double>(lattice_x) * lattice_y)),
      own_values_(static_cast<std::size_t>(block_slots) * static_cast<std::size_t>(lattice_x) *
                  static_cast<std::size_t>(2 * lattice_y)),
      own_rows_(static_cast<std::size_t>(block_slots) * static_cast<std::size_t>(lattice_x)),
      own_work_(general_fft_work_sizes_2d(lattice_x, lattice_y)),
      rows_(own_rows_.data()),
      index_work_(own_work_.index_work.data()),
      twiddle_(own_work_.twiddle.data()) {
    for (std::size_t r = 0; r < own_rows_.size(); ++r) {
        own_rows_[r] = own_values_.data() + r * static_cast<std::size_t>(2 * lattice_y);
    }
}

LatticeSlices::LatticeSlices(int lattice_x, int lattice_y, double** rows, int* index_work, double* twiddle)
    : lattice_x_(lattice_x),
      lattice_y_(lattice_y),
      inverse_site_count_(1.0 / (static_cast<double>(lattice_x) * lattice_y)),
      own_work_(GeneralFftWorkSizes{}),
      rows_(rows),
      index_work_(index_work),
      twiddle_(twiddle) {}

void LatticeSlices::transform(int count, int sign) {
    for (int b = 0; b < count; ++b) {
        general_fft_2d(lattice_x_, lattice_y_, sign, rows_ + static_cast<std::size_t>(b * lattice_x_), index_work_,
                       twiddle_);
    }
}

void to_real_space(SeriesGrid& grid, int slot_count, const Workers& workers) {
    lattice_detail::every_block(
        grid, slot_count, +1, true, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.gather(grid, first, count); });
}

void to_momentum(SeriesGrid& grid, int slot_count, const Workers& workers) {
    lattice_detail::every_block(
        grid, slot_count, -1, false, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.gather(grid, first, count); });
}

double lattice_slices_bytes(int lattice_x, int lattice_y, int threads, double grid_bytes) {
    using namespace lattice_detail;
    const int sites = lattice_x * lattice_y;
    const GeneralFftWorkSizes work = general_fft_work_sizes_2d(lattice_x, lattice_y);
    return lattice_threads(sites, threads, grid_bytes) *
           (block_slots(sites, threads, grid_bytes) * slice_bytes(sites) +
            static_cast<double>(work.doubles) * sizeof(double) + static_cast<double>(work.ints) * sizeof(int));
}

}  // namespace lattice_bubble
