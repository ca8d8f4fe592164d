#pragma once
// The lattice model: free electrons on an 8 × 8 periodic square lattice at
// inverse temperature β, on the Matsubara axis. Energies are measured from the
// chemical potential.

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

// The program constants, each from its own definition and none from another.
inline constexpr Complex I{0.0, 1.0};
inline constexpr double beta = 1.0 / (boltzmann_constant * temperature);
inline constexpr double dk = (2.0 * pi) / (static_cast<double>(lattice_size) * lattice_spacing);  // π/4

// iω_n = ((I·π)·(2n + 1))/β, fermionic Matsubara frequency n = 0 … 15.
[[nodiscard]] constexpr Complex fermion_frequency(int n) {
    const double t = n * 2.0 + 1.0;
    return ((I * pi) * t) / beta;
}

// iν_m = ((I·π)·2m)/β, bosonic Matsubara frequency m = 0 … 16.
[[nodiscard]] constexpr Complex boson_frequency(int m) {
    const double t = m * 2.0;
    return ((I * pi) * t) / beta;
}

// Band energy e(k) = ((2·hopping)·(cos kx + cos ky) + band_offset) − chemical_potential,
// spanning [−4, 12]: 12 at k = (0, 0), −4 at (π, π). Added and subtracted in
// two steps: at (0, 6·dk) that gives exactly 8.0, a single +4 would not.
[[nodiscard]] double dispersion(double kx, double ky);

// Fermi occupation f(e) = 1/(exp(β·e) + 1), no clamping.
[[nodiscard]] double fermi(double e);

// Free Green's function G0(k, z) = 1/(z − e(k)), e subtracted from the real part of z.
[[nodiscard]] Complex free_green(double kx, double ky, Complex z);

}  // namespace lattice_bubble
