#include "routes/lattice_slices.h"

#include "fft/complex_fft_2d.h"

namespace lattice_bubble {

LatticeSlices::LatticeSlices(int lattice)
    : lattice_(lattice),
      row_doubles_(2 * lattice),
      values_(static_cast<std::size_t>(lattice) * static_cast<std::size_t>(2 * lattice)),
      rows_(static_cast<std::size_t>(lattice)),
      work_(fft_work_sizes_2d(lattice, 2 * lattice)),
      inverse_site_count_(1.0 / (static_cast<double>(lattice) * lattice)) {
    for (int x = 0; x < lattice_; ++x) {
        rows_[static_cast<std::size_t>(x)] = values_.data() + static_cast<std::size_t>(x) * row_doubles_;
    }
}

void LatticeSlices::transform(SeriesGrid& grid, int slot_count, int sign, bool divide) {
    for (int slot = 0; slot < slot_count; ++slot) {
        for (int x = 0; x < lattice_; ++x) {
            double* row = rows_[static_cast<std::size_t>(x)];
            for (int y = 0; y < lattice_; ++y) {
                const Complex value = grid.series(x, y)[static_cast<std::size_t>(slot)];
                row[2 * y] = value.re;
                row[2 * y + 1] = value.im;
            }
        }
        complex_fft_2d(lattice_, row_doubles_, sign, rows_.data(), work_.index_work.data(),
                       work_.twiddle.data());
        for (int x = 0; x < lattice_; ++x) {
            const double* row = rows_[static_cast<std::size_t>(x)];
            for (int y = 0; y < lattice_; ++y) {
                Complex value{row[2 * y], row[2 * y + 1]};
                if (divide) {
                    value *= inverse_site_count_;
                }
                grid.series(x, y)[static_cast<std::size_t>(slot)] = value;
            }
        }
    }
}

}  // namespace lattice_bubble
