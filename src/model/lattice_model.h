#pragma once
// The lattice model: free electrons on an 8 × 8 periodic square lattice at
// inverse temperature β, on the Matsubara axis. Energies are measured from the
// chemical potential.

#include <vector>

#include "common/complex.h"
#include "common/grids.h"

namespace lattice_bubble {

inline constexpr double pi = 3.141592653589793;  // the double nearest to π

inline constexpr double site_count = static_cast<double>(lattice_points);  // divisor of the direct sum
inline constexpr double lattice_spacing = 1.0;
inline constexpr double hopping = 2.0;  // band: 2·hopping·(cos kx + cos ky)
inline constexpr double band_offset = 5.0;
inline constexpr double chemical_potential = 1.0;
inline constexpr double temperature = 1.0;
inline constexpr double boltzmann_constant = 1.0;
inline constexpr double coupling = 2.0;  // interaction of the enhanced bubbles

// Added to χ(r = 0, τ = 0) by the Fourier route: after the transforms to
// frequency (factor β/32 in the default run) it raises the real part of every
// χ(q, iν_m) by 0.125·β/32 = 0.00390625.
inline constexpr double equal_time_correction = 0.125;

// The program constants, each from its own definition and none from another.
inline constexpr Complex I{0.0, 1.0};
inline constexpr double beta = 1.0 / (boltzmann_constant * temperature);
inline constexpr double dk = (2.0 * pi) / (static_cast<double>(lattice_size) * lattice_spacing);  // π/4

// The band of a study: e(k) = ((2·hopping)·(cos kx + cos ky) + offset) − mu,
// with every term of the default run's dispersion, so that the default values
// give its bits.
struct Band {
    double hopping = 0.0;
    double offset = 0.0;
    double mu = 0.0;  // the chemical potential, subtracted last
};
inline constexpr Band default_band{hopping, band_offset, chemical_potential};

// The model and mesh of a study: an L × L lattice, inverse temperature β, a
// band, and N positive fermionic frequencies, hence 2N imaginary times
// τ_l = l·β/(2N) and N + 1 bosonic frequencies ν_0 … ν_N. The default values
// are the default run's.
struct StudyModel {
    int lattice = lattice_size;
    double beta = lattice_bubble::beta;
    Band band = default_band;
    int frequencies = fermion_count;

    [[nodiscard]] int times() const { return 2 * frequencies; }
    [[nodiscard]] int bosons() const { return frequencies + 1; }
};

// iω_n = ((I·π)·(2n + 1))/β_, the fermionic Matsubara frequency n ≥ 0 at inverse temperature β_.
[[nodiscard]] constexpr Complex fermion_frequency(int n, double inverse_temperature) {
    const double t = n * 2.0 + 1.0;
    return ((I * pi) * t) / inverse_temperature;
}

// iν_m = ((I·π)·2m)/β_, the bosonic Matsubara frequency m ≥ 0 at inverse temperature β_.
[[nodiscard]] constexpr Complex boson_frequency(int m, double inverse_temperature) {
    const double t = m * 2.0;
    return ((I * pi) * t) / inverse_temperature;
}

// iω_n at β, n = 0 … 15, and iν_m at β, m = 0 … 16.
[[nodiscard]] constexpr Complex fermion_frequency(int n) { return fermion_frequency(n, beta); }
[[nodiscard]] constexpr Complex boson_frequency(int m) { return boson_frequency(m, beta); }

// Momentum spacing 2π/(L·a) of an L × L lattice: dk for L = 8.
[[nodiscard]] constexpr double momentum_step(int lattice) {
    return (2.0 * pi) / (static_cast<double>(lattice) * lattice_spacing);
}
static_assert(momentum_step(lattice_size) == dk);

// e(k) = ((2·hopping)·(cos(a·kx) + cos(a·ky)) + offset) − mu, evaluated in
// that order: the addition and the subtraction are two steps.
[[nodiscard]] double band_energy(const Band& band, double kx, double ky);

// e(k) at every k = (x, y)·2π/L of a study's L × L grid, at x·L + y.
[[nodiscard]] std::vector<double> band_on_grid(const StudyModel& model);

// Band energy e(k) of the default band, spanning [−4, 12]: 12 at k = (0, 0),
// −4 at (π, π). Added and subtracted in two steps: at (0, 6·dk) that gives
// exactly 8.0, a single +4 would not.
[[nodiscard]] double dispersion(double kx, double ky);

// Fermi occupation f(e) = 1/(exp(β·e) + 1), no clamping.
[[nodiscard]] double fermi(double e);

// Free Green's function G0(k, z) = 1/(z − e(k)), e subtracted from the real part of z.
[[nodiscard]] Complex free_green_at(double e, Complex z);
[[nodiscard]] Complex free_green(const Band& band, double kx, double ky, Complex z);
[[nodiscard]] Complex free_green(double kx, double ky, Complex z);

}  // namespace lattice_bubble
