#pragma once
// Pieces the Fourier routes share: the engine's work arrays for one transform
// size, and the lattice transform of every slot of a grid.

#include <algorithm>
#include <vector>

#include "common/parallel.h"
#include "common/progress.h"
#include "common/series_grid.h"
#include "fft/work_sizes.h"

namespace lattice_bubble {

// The engine's caller-owned work arrays for one transform size. The table is
// built by the first call and serves every later call of the same size with
// the bits a fresh table would give.
struct EngineWork {
    explicit EngineWork(FftWorkSizes sizes)
        : index_work(static_cast<std::size_t>(sizes.index_work_ints), 0),
          twiddle(static_cast<std::size_t>(sizes.twiddle_doubles), 0.0) {}
    std::vector<int> index_work;  // [0] = 0: no table yet
    std::vector<double> twiddle;
};

// The 2-D transform of the slots of every lattice point, a block of
// neighbouring slots at a time: a point's slots of the block lie side by side
// in the grid, so one read of them serves every transform of the block. Each
// slot is gathered into L rows of 2L interleaved doubles (or made there),
// transformed and written back. Towards real space the FFT runs with sign +1
// and each value is then multiplied by 1/L² (exact, L² being a power of two);
// towards momentum with sign −1, unscaled. One object per thread.
class LatticeSlices {
public:
    LatticeSlices(int lattice, int block_slots);

    // Slots first … first + count − 1 (count ≤ block_slots) of every point into the slices.
    void gather(const SeriesGrid& grid, int first, int count);

    // The slices made by value(x, y, slot) instead, with no grid to read.
    template <typename Value>
    void make(int first, int count, Value value) {
        for (int x = 0; x < lattice_; ++x) {
            for (int y = 0; y < lattice_; ++y) {
                for (int b = 0; b < count; ++b) {
                    put(b, x, y, value(x, y, first + b));
                }
            }
        }
    }

    // The slices transformed and written to those slots of the grid.
    void transform_and_scatter(SeriesGrid& grid, int first, int count, int sign, bool divide);

private:
    void put(int b, int x, int y, Complex value) {
        double* row = rows_[static_cast<std::size_t>(b * lattice_ + x)];
        row[2 * y] = value.re;
        row[2 * y + 1] = value.im;
    }

    int lattice_;
    int row_doubles_;
    int block_slots_;
    std::vector<double> values_;  // block_slots slices of L rows
    std::vector<double*> rows_;
    EngineWork work_;
    double inverse_site_count_;
};

namespace lattice_detail {

// As many threads as the slices allow, and up to eight slots per block (two
// cache lines of a point's series per read), while the slices of every
// thread together stay within an eighth of the grid or 32 MiB, whichever is
// more; one slot and one thread at the least.
[[nodiscard]] int lattice_threads(int lattice, int threads, double grid_bytes);
[[nodiscard]] int block_slots(int lattice, int threads, double grid_bytes);

// Blocks of slots 0 … slot_count − 1 split over the workers: fill(slices,
// first, count) puts each block into a thread's slices, which then go to
// the grid transformed.
template <typename Fill>
void every_block(SeriesGrid& grid, int slot_count, int sign, bool divide, const Workers& workers, Fill fill) {
    const int lattice = grid.lattice();
    const double grid_bytes = SeriesGrid::bytes(lattice, grid.slots());
    // No more slices than the slots to transform, and no more threads than blocks.
    const int block = std::min(block_slots(lattice, workers.threads, grid_bytes), std::max(slot_count, 1));
    const int blocks = (slot_count + block - 1) / block;
    const int threads = std::min(lattice_threads(lattice, workers.threads, grid_bytes), std::max(blocks, 1));
    std::vector<LatticeSlices> slices;
    slices.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        slices.emplace_back(lattice, block);
    }
    workers.start_stage(sign > 0 ? "lattice transforms to real space" : "lattice transforms to momentum",
                        slot_count);
    parallel_ranges(blocks, slices,
                    [&](LatticeSlices& own, long long begin, long long end) {
                        for (long long b = begin; b < end; ++b) {
                            const int first = static_cast<int>(b) * block;
                            const int count = std::min(block, slot_count - first);
                            fill(own, first, count);
                            own.transform_and_scatter(grid, first, count, sign, divide);
                            workers.advance(count);
                        }
                    });
}

}  // namespace lattice_detail

// Slots 0 … slot_count − 1 of every point carried to real space (sign +1,
// × 1/L²) or to momentum (sign −1), the blocks of slots split over the workers.
void lattice_towards_real_space(SeriesGrid& grid, int slot_count, const Workers& workers);
void lattice_towards_momentum(SeriesGrid& grid, int slot_count, const Workers& workers);

// Slots 0 … slot_count − 1 of every point made by value(x, y, slot) in
// momentum and carried to real space: the grid is written, never read.
template <typename Value>
void lattice_towards_real_space_from(SeriesGrid& grid, int slot_count, const Workers& workers, Value value) {
    lattice_detail::every_block(
        grid, slot_count, +1, true, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.make(first, count, value); });
}

// The bytes the lattice transforms of an L × L grid hold beside it on `threads` threads.
[[nodiscard]] double lattice_slices_bytes(int lattice, int threads, double grid_bytes);

}  // namespace lattice_bubble
