#pragma once
// Transforms between momentum and real space, slot by slot of a grid whose
// every lattice point holds a series of slots: a study's SeriesGrid, or any
// grid with the same series(x, y), such as a default run's fixed grid seen
// through its FixedGridView (default_run/grids.h). On an Lx × Ly
// lattice, with k·r = 2π(k1·x/Lx + k2·y/Ly),
//   towards real space: f(r) = (1/(Lx·Ly))·Σ_k e^{+ik·r}·F(k)   (FFT sign +1, then × 1/(Lx·Ly))
//   towards momentum:   F(k) = Σ_r e^{−ik·r}·f(r)               (FFT sign −1, unscaled)
// Each slot is gathered into Lx rows of 2·Ly interleaved doubles, transformed
// by general_fft_2d (complex_fft_2d for powers of two) and written back.

#include <algorithm>
#include <span>
#include <vector>

#include "common/complex.h"
#include "common/parallel.h"
#include "common/series_grid.h"
#include "common/workers.h"
#include "fft/general_fft.h"

namespace lattice_bubble {

// The engine's caller-owned work arrays for one transform size. The plan is
// built by the first call and serves every later call of the same size with
// the bits a fresh plan would give.
struct EngineWork {
    explicit EngineWork(GeneralFftWorkSizes sizes) : index_work(sizes.ints, 0), twiddle(sizes.doubles, 0.0) {}
    std::vector<int> index_work;  // [0] = 0: no plan yet
    std::vector<double> twiddle;
};

// The 2-D transforms of a block of neighbouring slots of every lattice
// point: a point's slots of the block lie side by side in the grid, so one
// read of them serves every transform of the block. One object per thread.
class LatticeSlices {
public:
    // Storage of its own, for blocks of up to block_slots slots.
    LatticeSlices(int lattice_x, int lattice_y, int block_slots);
    // One slot at a time in the caller's storage: Lx row pointers of 2·Ly
    // doubles each, and the engine's work arrays with index_work[0] set.
    LatticeSlices(int lattice_x, int lattice_y, double** rows, int* index_work, double* twiddle);

    // Slots first … first + count − 1 (count ≤ the block) of every point into the slices.
    template <typename Grid>
    void gather(const Grid& grid, int first, int count) {
        for_each_point(grid, first, count,
                       [&](int b, int x, int y, auto series) { put(b, x, y, series[b]); });
    }

    // The slices made by value(x, y, slot) instead, with no grid to read:
    // slice by slice, each written front to back.
    template <typename Value>
    void make(int first, int count, Value value) {
        for (int b = 0; b < count; ++b) {
            for (int x = 0; x < lattice_x_; ++x) {
                double* row = rows_[static_cast<std::size_t>(b * lattice_x_ + x)];
                for (int y = 0; y < lattice_y_; ++y) {
                    const Complex v = value(x, y, first + b);
                    row[2 * y] = v.re;
                    row[2 * y + 1] = v.im;
                }
            }
        }
    }

    // The slices transformed with `sign` and written to those slots of the
    // grid, each value × 1/L² when `divide`.
    template <typename Grid>
    void transform_and_scatter(Grid& grid, int first, int count, int sign, bool divide) {
        transform(count, sign);
        for_each_point(grid, first, count, [&](int b, int x, int y, auto series) {
            const double* row = rows_[static_cast<std::size_t>(b * lattice_x_ + x)];
            Complex value{row[2 * y], row[2 * y + 1]};
            if (divide) {
                value *= inverse_site_count_;
            }
            series[b] = value;
        });
    }

private:
    // The points' series lie a whole series apart, too far for the processor
    // to guess the next one: each is asked for a few points ahead, so that
    // the reads overlap instead of waiting one by one.
    template <typename Grid, typename Visit>
    void for_each_point(Grid& grid, int first, int count, Visit visit) {
        constexpr int prefetch_distance = 8;
        for (int x = 0; x < lattice_x_; ++x) {
            for (int y = 0; y < lattice_y_; ++y) {
                const int ahead = x * lattice_y_ + y + prefetch_distance;
                if (ahead < lattice_x_ * lattice_y_) {
                    const auto* start = grid.series(ahead / lattice_y_, ahead % lattice_y_).data() + first;
                    for (int line = 0; line < count * static_cast<int>(sizeof(Complex)); line += 64) {
                        __builtin_prefetch(reinterpret_cast<const char*>(start) + line);
                    }
                }
                const auto series = grid.series(x, y).subspan(static_cast<std::size_t>(first));
                for (int b = 0; b < count; ++b) {
                    visit(b, x, y, series);
                }
            }
        }
    }
    void put(int b, int x, int y, Complex value) {
        double* row = rows_[static_cast<std::size_t>(b * lattice_x_ + x)];
        row[2 * y] = value.re;
        row[2 * y + 1] = value.im;
    }
    void transform(int count, int sign);

    int lattice_x_;
    int lattice_y_;
    double inverse_site_count_;
    std::vector<double> own_values_;  // block_slots slices of L rows, when the storage is its own
    std::vector<double*> own_rows_;
    EngineWork own_work_;
    double** rows_;
    int* index_work_;
    double* twiddle_;
};

namespace lattice_detail {

// As many threads as the slices allow, and up to eight slots per block (two
// cache lines of a point's series per read), while the slices of every
// thread together stay within an eighth of the grid or 32 MiB, whichever is
// more; one slot and one thread at the least.
[[nodiscard]] int lattice_threads(int sites, int threads, double grid_bytes);
[[nodiscard]] int block_slots(int sites, int threads, double grid_bytes);

// Blocks of slots 0 … slot_count − 1 split over the workers: fill(slices,
// first, count) puts each block into a thread's slices, which then go to
// the grid transformed. The stop flag is polled block by block.
template <typename Fill>
void every_block(SeriesGrid& grid, int slot_count, int sign, bool divide, const Workers& workers, Fill fill) {
    const int sites = grid.lattice_x() * grid.lattice_y();
    const double grid_bytes = SeriesGrid::bytes(grid.lattice_x(), grid.lattice_y(), grid.slots());
    // No more slices than the slots to transform, and no more threads than blocks.
    const int block = std::min(block_slots(sites, workers.threads, grid_bytes), std::max(slot_count, 1));
    const int blocks = (slot_count + block - 1) / block;
    const int threads = std::min(lattice_threads(sites, workers.threads, grid_bytes), std::max(blocks, 1));
    std::vector<LatticeSlices> slices;
    slices.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        slices.emplace_back(grid.lattice_x(), grid.lattice_y(), block);
    }
    workers.start_stage(sign > 0 ? "lattice transforms to real space" : "lattice transforms to momentum",
                        slot_count);
    parallel_ranges(blocks, slices, [&](LatticeSlices& own, long long begin, long long end) {
        for (long long b = begin; b < end; ++b) {
            workers.poll();
            const int first = static_cast<int>(b) * block;
            const int count = std::min(block, slot_count - first);
            fill(own, first, count);
            own.transform_and_scatter(grid, first, count, sign, divide);
            workers.advance(count);
        }
    });
}

}  // namespace lattice_detail

// Slots 0 … slot_count − 1 of every point carried to real space or to
// momentum, in place, the blocks of slots split over the workers.
void to_real_space(SeriesGrid& grid, int slot_count, const Workers& workers);
void to_momentum(SeriesGrid& grid, int slot_count, const Workers& workers);

// Slots 0 … slot_count − 1 of every point made by value(x, y, slot) in
// momentum and carried to real space: the grid is written, never read.
template <typename Value>
void to_real_space_from(SeriesGrid& grid, int slot_count, const Workers& workers, Value value) {
    lattice_detail::every_block(
        grid, slot_count, +1, true, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.make(first, count, value); });
}

// The bytes the lattice transforms of an Lx × Ly grid hold beside it on `threads` threads.
[[nodiscard]] double lattice_slices_bytes(int lattice_x, int lattice_y, int threads, double grid_bytes);

}  // namespace lattice_bubble
