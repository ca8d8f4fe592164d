#include "routes/lattice_slices.h"

#include <algorithm>

#include "common/parallel.h"
#include "fft/complex_fft_2d.h"

namespace lattice_bubble {
namespace lattice_detail {

constexpr double least_budget_bytes = 32.0 * 1024 * 1024;
constexpr int largest_block = 8;

double slice_bytes(int lattice) { return static_cast<double>(lattice) * lattice * 2.0 * sizeof(double); }

// The slices of every thread together: an eighth of the grid, or 32 MiB
// where that is more.
double budget(double grid_bytes) { return std::max(least_budget_bytes, grid_bytes / 8.0); }

int lattice_threads(int lattice, int threads, double grid_bytes) {
    return std::clamp(static_cast<int>(budget(grid_bytes) / slice_bytes(lattice)), 1, threads);
}

int block_slots(int lattice, int threads, double grid_bytes) {
    const double per_thread = budget(grid_bytes) / lattice_threads(lattice, threads, grid_bytes);
    return std::clamp(static_cast<int>(per_thread / slice_bytes(lattice)), 1, largest_block);
}

}  // namespace lattice_detail

namespace {

// The points' series lie a whole series apart, too far for the processor to
// guess the next one: each is asked for a few points ahead, so that the reads
// overlap instead of waiting one by one.
constexpr int prefetch_distance = 8;

void prefetch_block(const SeriesGrid& grid, int x, int y, int first, int count) {
    const int lattice = grid.lattice();
    const int ahead = x * lattice + y + prefetch_distance;
    if (ahead < lattice * lattice) {
        const Complex* start = grid.series(ahead / lattice, ahead % lattice).data() + first;
        for (int line = 0; line < count * static_cast<int>(sizeof(Complex)); line += 64) {
            __builtin_prefetch(reinterpret_cast<const char*>(start) + line);
        }
    }
}

}  // namespace

LatticeSlices::LatticeSlices(int lattice, int block_slots)
    : lattice_(lattice),
      row_doubles_(2 * lattice),
      block_slots_(block_slots),
      values_(static_cast<std::size_t>(block_slots) * static_cast<std::size_t>(lattice) *
              static_cast<std::size_t>(2 * lattice)),
      rows_(static_cast<std::size_t>(block_slots) * static_cast<std::size_t>(lattice)),
      work_(fft_work_sizes_2d(lattice, 2 * lattice)),
      inverse_site_count_(1.0 / (static_cast<double>(lattice) * lattice)) {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        rows_[r] = values_.data() + r * static_cast<std::size_t>(row_doubles_);
    }
}

void LatticeSlices::gather(const SeriesGrid& grid, int first, int count) {
    for (int x = 0; x < lattice_; ++x) {
        for (int y = 0; y < lattice_; ++y) {
            prefetch_block(grid, x, y, first, count);
            const auto series = grid.series(x, y).subspan(static_cast<std::size_t>(first));
            for (int b = 0; b < count; ++b) {
                put(b, x, y, series[static_cast<std::size_t>(b)]);
            }
        }
    }
}

void LatticeSlices::transform_and_scatter(SeriesGrid& grid, int first, int count, int sign, bool divide) {
    const auto lattice = static_cast<std::size_t>(lattice_);
    for (std::size_t b = 0; b < static_cast<std::size_t>(count); ++b) {
        complex_fft_2d(lattice_, row_doubles_, sign, rows_.data() + b * lattice, work_.index_work.data(),
                       work_.twiddle.data());
    }
    for (int x = 0; x < lattice_; ++x) {
        for (int y = 0; y < lattice_; ++y) {
            prefetch_block(grid, x, y, first, count);
            const auto series = grid.series(x, y).subspan(static_cast<std::size_t>(first));
            for (std::size_t b = 0; b < static_cast<std::size_t>(count); ++b) {
                const double* row = rows_[b * lattice + static_cast<std::size_t>(x)];
                Complex value{row[2 * y], row[2 * y + 1]};
                if (divide) {
                    value *= inverse_site_count_;
                }
                series[b] = value;
            }
        }
    }
}

void lattice_towards_real_space(SeriesGrid& grid, int slot_count, const Workers& workers) {
    lattice_detail::every_block(
        grid, slot_count, +1, true, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.gather(grid, first, count); });
}

void lattice_towards_momentum(SeriesGrid& grid, int slot_count, const Workers& workers) {
    lattice_detail::every_block(
        grid, slot_count, -1, false, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.gather(grid, first, count); });
}

double lattice_slices_bytes(int lattice, int threads, double grid_bytes) {
    using namespace lattice_detail;
    return lattice_threads(lattice, threads, grid_bytes) * block_slots(lattice, threads, grid_bytes) *
           slice_bytes(lattice);
}

}  // namespace lattice_bubble
