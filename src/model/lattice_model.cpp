#include "model/lattice_model.h"

#include <cmath>

namespace lattice_bubble {

double band_energy(const Band& band, double kx, double ky) {
    const double s = std::cos(lattice_spacing * kx) + std::cos(lattice_spacing * ky);
    const double shifted = (2.0 * band.hopping) * s + band.offset;
    return shifted - band.mu;
}

std::vector<double> band_on_grid(const StudyModel& model) {
    const double step = momentum_step(model.lattice);
    std::vector<double> energy;
    energy.reserve(static_cast<std::size_t>(model.lattice) * static_cast<std::size_t>(model.lattice));
    for (int x = 0; x < model.lattice; ++x) {
        for (int y = 0; y < model.lattice; ++y) {
            energy.push_back(band_energy(model.band, x * step, y * step));
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
