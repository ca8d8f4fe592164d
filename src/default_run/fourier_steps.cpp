#include "default_run/fourier_steps.h"

#include "model/lattice_model.h"
#include "routes/fourier_route.h"

namespace lattice_bubble {

void fill_free_green(FermionGrid& green_freq) {
    const GreenWk green(StudyModel{}, false);
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (int n = 0; n < fermion_count; ++n) {
                green_freq[x][y][n] = green(x, y, n);
            }
        }
    }
}

void multiply_green_functions(const TimeGrid& green_time, TimeGrid& chi_time) {
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            chi_t_from_green_t(green_time[x][y], -green_time[x][y][0], chi_time[x][y]);
        }
    }
}

void add_equal_time_correction(TimeGrid& chi_time) { add_equal_time_correction(chi_time[0][0][0]); }

}  // namespace lattice_bubble
