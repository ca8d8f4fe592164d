#include "model/lattice_model.h"

#include <cmath>

namespace lattice_bubble {

double band_energy(const Band& band, double kx, double ky) {
    const double cx = std::cos(lattice_spacing * kx);
    const double cy = std::cos(lattice_spacing * ky);
    double e = band.hopping_x == band.hopping_y ? (2.0 * band.hopping_x) * (cx + cy)
                                                : (2.0 * band.hopping_x) * cx + (2.0 * band.hopping_y) * cy;
    if (band.hopping2 != 0.0) {
        e = e + (4.0 * band.hopping2) * (cx * cy);
    }
    if (band.hopping3 != 0.0) {
        e = e + (2.0 * band.hopping3) *
                    (std::cos(2.0 * (lattice_spacing * kx)) + std::cos(2.0 * (lattice_spacing * ky)));
    }
    e = e + band.offset;
    return e - band.mu;
}

std::vector<double> band_on_grid(const StudyModel& model) {
    const double step_x = momentum_step(model.lattice_x);
    const double step_y = momentum_step(model.lattice_y);
    std::vector<double> energy;
    energy.reserve(static_cast<std::size_t>(model.sites()));
    for (int x = 0; x < model.lattice_x; ++x) {
        for (int y = 0; y < model.lattice_y; ++y) {
            energy.push_back(band_energy(model.band, x * step_x, y * step_y));
        }
    }
    return energy;
}

double dispersion(double kx, double ky) { return band_energy(default_band, kx, ky); }

double fermi(double e) { return 1.0 / (std::exp(beta * e) + 1.0); }

Complex free_green_at(double e, Complex z) {
    const Complex divisor{z.re - e, z.im};
    return Complex{1.0, 0.0} / divisor;
}

Complex free_green(const Band& band, double kx, double ky, Complex z) {
    return free_green_at(band_energy(band, kx, ky), z);
}

Complex free_green(double kx, double ky, Complex z) { return free_green(default_band, kx, ky, z); }

}  // namespace lattice_bubble
