#include "driver/pipeline.h"

#include "driver/report.h"
#include "model/lattice_model.h"
#include "transforms/grid_transforms.h"

namespace lattice_bubble {

void fill_free_green(FermionGrid& green_freq) {
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (int n = 0; n < fermion_count; ++n) {
                green_freq[x][y][n] = free_green(x * dk, y * dk, fermion_frequency(n));
            }
        }
    }
}

void multiply_green_functions(const TimeGrid& green_time, TimeGrid& chi_time) {
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            const TimeSeries& g = green_time[x][y];
            TimeSeries& chi = chi_time[x][y];
            chi[0] = (-g[0]) * g[0];
            for (int l = 1; l < time_count; ++l) {
                chi[l] = g[l] * g[time_count - l];
            }
        }
    }
}

void add_equal_time_correction(TimeGrid& chi_time) {
    chi_time[0][0][0] += Complex{equal_time_correction, 0.0};
}

void run_transform_pipeline(FermionGrid& green_freq, TimeGrid& green_time, TimeGrid& chi_time,
                            BosonGrid& chi_freq, std::ostream& out) {
    fill_free_green(green_freq);
    transform_space_fermion(green_freq, towards_real_space_and_time);
    transform_time_fermion(green_time, green_freq, towards_real_space_and_time);
    multiply_green_functions(green_time, chi_time);
    add_equal_time_correction(chi_time);
    transform_time_boson(chi_time, chi_freq, towards_momentum_and_frequency);
    transform_space_boson(chi_freq, towards_momentum_and_frequency);
    write_report(out, chi_freq);
}

}  // namespace lattice_bubble
