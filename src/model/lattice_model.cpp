#include "model/lattice_model.h"

#include <algorithm>
#include <cmath>
#include <ranges>

namespace lattice_bubble {
namespace {

// e(k) at k = (2π·(x + sx)/Lx, 2π·(y + sy)/Ly) of a study's mesh, at
// x·Ly + y, each formed when read; x + 0 is x, so the unshifted grid's k are
// x·(2π/Lx) bit for bit.
auto grid_energies(const StudyModel& model) {
    const double step_x = momentum_step(model.lattice_x);
    const double step_y = momentum_step(model.lattice_y);
    const int lattice_y = model.lattice_y;
    const Band band = model.band;
    const auto [sx, sy] = model.k_shift;
    return std::views::iota(0, model.sites()) | std::views::transform([=](int k) {
               return band_energy(band, ((k / lattice_y) + sx) * step_x, ((k % lattice_y) + sy) * step_y);
           });
}

// The smallest energy first met and the largest last met, so that of equal
// values the same two are taken whatever holds them.
template <typename Energies>
double width_of(const Energies& energies) {
    const auto [lowest, highest] = std::ranges::minmax(energies);
    return highest - lowest;
}

}  // namespace

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
    const auto energies = grid_energies(model);
    return {energies.begin(), energies.end()};
}

double band_width(std::span<const double> energy) { return width_of(energy); }

double band_width_on_grid(const StudyModel& model) { return width_of(grid_energies(model)); }

MeshFilling mesh_filling(const StudyModel& model) {
    MeshFilling filling;
    filling.width = band_width_on_grid(model);
    double occupied = 0.0;
    for (const double e : grid_energies(model)) {
        occupied += fermi(e, model.beta);
        filling.on_fermi_surface += std::fabs(e) <= fermi_surface_width * filling.width ? 1 : 0;
    }
    filling.density = occupied / model.sites();
    return filling;
}

std::vector<WaveVector> zone_path(int lattice_x, int lattice_y) {
    const int mx = lattice_x / 2;
    const int my = lattice_y / 2;
    std::vector<WaveVector> path;
    const auto add = [&](int x, int y) {
        if (std::find(path.begin(), path.end(), WaveVector{x, y}) == path.end()) {
            path.emplace_back(x, y);
        }
    };
    for (int x = 0; x <= mx; ++x) {
        add(x, 0);
    }
    for (int y = 1; y <= my; ++y) {
        add(mx, y);
    }
    for (int x = mx - 1; x >= 0; --x) {
        // ⌈x·My/Mx − 1/2⌉ in integers: the nearest y, ties down.
        add(x, static_cast<int>((2LL * x * my + mx - 1) / (2LL * mx)));
    }
    return path;
}

double dispersion(double kx, double ky) { return band_energy(default_band, kx, ky); }

double fermi(double e, double inverse_temperature) { return 1.0 / (std::exp(inverse_temperature * e) + 1.0); }

double fermi(double e) { return fermi(e, beta); }

Complex free_green_at(double e, Complex z) {
    const Complex divisor{z.re - e, z.im};
    return Complex{1.0, 0.0} / divisor;
}

Complex free_green(const Band& band, double kx, double ky, Complex z) {
    return free_green_at(band_energy(band, kx, ky), z);
}

Complex free_green(double kx, double ky, Complex z) { return free_green(default_band, kx, ky, z); }

}  // namespace lattice_bubble
