#pragma once
// Pieces the routes of a study share: the engine's work arrays for one
// transform size, and the lattice transform of every slot of a grid.

#include <vector>

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

// The 2-D transform of one slot of every lattice point, slot by slot: the
// slot is gathered into L rows of 2L interleaved doubles, transformed, and
// written back. Towards real space the FFT runs with sign +1 and each value
// is then multiplied by 1/L² (exact, L² being a power of two); towards
// momentum with sign −1, unscaled.
class LatticeSlices {
public:
    explicit LatticeSlices(int lattice);

    void towards_real_space(SeriesGrid& grid, int slot_count) { transform(grid, slot_count, +1, true); }
    void towards_momentum(SeriesGrid& grid, int slot_count) { transform(grid, slot_count, -1, false); }

private:
    void transform(SeriesGrid& grid, int slot_count, int sign, bool divide);

    int lattice_;
    int row_doubles_;
    std::vector<double> values_;
    std::vector<double*> rows_;
    EngineWork work_;
    double inverse_site_count_;
};

}  // namespace lattice_bubble
