#pragma once
// The lattice model: free electrons on an 8 × 8 periodic square lattice at
// inverse temperature β, on the Matsubara axis. Energies are measured from the
// chemical potential.

#include <array>
#include <cmath>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "common/complex.h"

namespace lattice_bubble {

inline constexpr double pi = 3.141592653589793;  // the double nearest to π

// The default run's lattice and mesh, which a study keeps where it names no
// other: 8 sites per direction and 16 positive fermionic frequencies.
inline constexpr int default_lattice_size = 8;
inline constexpr int default_frequencies = 16;

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
inline constexpr double dk =
    (2.0 * pi) / (static_cast<double>(default_lattice_size) * lattice_spacing);  // π/4

// The band of a study, its coefficients added in this order, each step
// rounded on its own (cos kx and cos ky formed once):
//   e(k) = (2·T)·(cos kx + cos ky)                  when tx = ty = T,
//          (2·tx)·cos kx + (2·ty)·cos ky             otherwise;
//          then + (4·T′)·(cos kx·cos ky)             only when T′ ≠ 0,
//          then + (2·T″)·(cos 2kx + cos 2ky)         only when T″ ≠ 0,
//          then + offset, then − mu,
// so that the default values give the default run's dispersion bit for bit.
// In the usual notation e = −2t(cos kx + cos ky) − 4t′ cos kx cos ky − …, the
// coefficients are −t, −t′, −t″.
struct Band {
    double hopping_x = 0.0;
    double hopping_y = 0.0;
    double hopping2 = 0.0;  // T′, next-nearest neighbours
    double hopping3 = 0.0;  // T″, third neighbours
    double offset = 0.0;
    double mu = 0.0;  // the chemical potential, subtracted last

    constexpr Band() = default;
    // The nearest-neighbour band T·(cos kx + cos ky)·2 + offset − mu.
    constexpr Band(double nearest, double offset_value, double mu_value)
        : hopping_x(nearest), hopping_y(nearest), offset(offset_value), mu(mu_value) {}
};
inline constexpr Band default_band{hopping, band_offset, chemical_potential};

// The real frequencies of a study, z = ω_j + iη:
// ω_j = OMIN + ((OMAX − OMIN)·j)/(COUNT − 1), j < COUNT, the last exactly OMAX
// (COUNT = 1: OMIN alone).
struct RealAxis {
    double omega_min = 0.0;
    double omega_max = 0.0;
    int count = 1;
    double broadening = 0.0;  // η

    [[nodiscard]] double omega(int j) const {
        if (j == count - 1 && count > 1) {
            return omega_max;
        }
        return count == 1 ? omega_min : omega_min + ((omega_max - omega_min) * j) / (count - 1);
    }
};

// The model and mesh of a study: an Lx × Ly lattice, k = (2π·ix/Lx, 2π·iy/Ly),
// inverse temperature β, a band, and N positive fermionic frequencies, hence
// 2N imaginary times τ_l = l·β/(2N) and N + 1 bosonic frequencies ν_0 … ν_N;
// or, on the real axis, the frequencies ω_j + iη. With a coupling U the table
// adds the enhanced susceptibilities. The default values are the default run's.
struct StudyModel {
    int lattice_x = default_lattice_size;
    int lattice_y = default_lattice_size;
    double beta = lattice_bubble::beta;
    Band band = default_band;
    int frequencies = default_frequencies;  // N of the Fourier routes' mesh
    bool frequencies_given = false;         // N was asked for, not left to the default
    std::optional<int> tail_frequencies;    // the tail route's own N, chosen for ε where N was not given
    std::optional<RealAxis> real_axis;      // the table's frequencies, instead of iν_m
    std::optional<double> coupling;         // U
    double tolerance = 1e-10;               // ε: the accuracy a route that chooses its own mesh aims at
    // The momentum mesh k = (2π·(x + sx)/Lx, 2π·(y + sy)/Ly), 0 ≤ s < 1; the
    // wave vectors q stay on the unshifted grid, so k + q stays on the mesh.
    std::array<double, 2> k_shift{0.0, 0.0};
    std::optional<int> boson_count;  // M: the table's ν_m are m = 0 … M − 1 (none: N + 1 of them)
    std::optional<int> time_count;  // T: the table's rows are χ(q, τ_j), τ_j = j·β/(T − 1), instead of iν_m

    StudyModel() = default;
    // An L × L lattice.
    StudyModel(int lattice, double beta_value, Band band_value, int frequencies_value)
        : lattice_x(lattice),
          lattice_y(lattice),
          beta(beta_value),
          band(band_value),
          frequencies(frequencies_value) {}

    [[nodiscard]] int sites() const { return lattice_x * lattice_y; }
    [[nodiscard]] bool shifted() const { return k_shift[0] != 0.0 || k_shift[1] != 0.0; }
    // The Fourier routes' mesh: 2N imaginary times and N + 1 bosonic frequencies.
    [[nodiscard]] int times() const { return 2 * frequencies; }
    [[nodiscard]] int grid_bosons() const { return frequencies + 1; }
    // The table's bosonic frequencies: M, else N + 1.
    [[nodiscard]] int bosons() const { return boson_count.value_or(frequencies + 1); }
    // The values of the table's rows at each q: COUNT on the real axis, T
    // imaginary times, else the bosonic frequencies.
    [[nodiscard]] int values() const {
        return real_axis ? real_axis->count : time_count ? *time_count : bosons();
    }
    // τ_j = (β·j)/(T − 1), the last exactly β.
    [[nodiscard]] double time(int j) const {
        return j == *time_count - 1 ? beta : (beta * j) / (*time_count - 1);
    }
};

// A wave vector by its grid indices (ix, iy): q = 2π·(ix/Lx, iy/Ly).
using WaveVector = std::pair<int, int>;

// A wave vector anywhere in the zone, in units of π: q = π·(qx, qy).
using FreeWaveVector = std::array<double, 2>;

// The grid points on the path Γ → X → M → Γ through the zone of an Lx × Ly
// lattice, each once and in order: (0, 0) → (Mx, 0) → (Mx, My) along the
// axes, Mx = ⌊Lx/2⌋, My = ⌊Ly/2⌋, then back to (0, 0) along the diagonal,
// for each x from Mx − 1 down to 0 the y nearest x·My/Mx (ties rounded down).
// On a lattice one site wide it runs from Γ to the zone edge only.
[[nodiscard]] std::vector<WaveVector> zone_path(int lattice_x, int lattice_y);

// The enhanced (RPA) susceptibilities of a bare bubble χ0 per spin and a
// coupling U, in Complex arithmetic: the spin channel χ0/(1 − U·χ0) and the
// charge channel χ0/(1 + U·χ0), U·χ0 as (χ0.re·U, χ0.im·U).
[[nodiscard]] inline Complex rpa_spin(Complex chi0, double u) {
    return chi0 / (Complex{1.0, 0.0} - chi0 * u);
}
[[nodiscard]] inline Complex rpa_charge(Complex chi0, double u) {
    return chi0 / (Complex{1.0, 0.0} + chi0 * u);
}

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
static_assert(momentum_step(default_lattice_size) == dk);

// e(k) of the band at k = (kx, ky), in the order above (a·kx inside every cosine).
[[nodiscard]] double band_energy(const Band& band, double kx, double ky);

// e(k) at every k = (2π·(x + sx)/Lx, 2π·(y + sy)/Ly) of a study's mesh, at x·Ly + y.
[[nodiscard]] std::vector<double> band_on_grid(const StudyModel& model);

// max e − min e of a grid's energies: the width ω_max of χ0's spectrum.
[[nodiscard]] double band_width(std::span<const double> energy);

// band_width of a study's grid, each e(k) formed as band_on_grid forms it but
// none kept, for the memory check before anything is computed.
[[nodiscard]] double band_width_on_grid(const StudyModel& model);

// How the band fills a study's mesh at its μ and β: the density per site
// and spin, n = (1/(Lx·Ly))·Σ_k f(e(k)); the band's width W over the mesh;
// and how many momenta lie on the Fermi surface, |e(k)| ≤ 1e-9·W.
struct MeshFilling {
    double density = 0.0;
    double width = 0.0;
    long long on_fermi_surface = 0;
};
inline constexpr double fermi_surface_width = 1e-9;  // of W
[[nodiscard]] MeshFilling mesh_filling(const StudyModel& model);

// Band energy e(k) of the default band, spanning [−4, 12]: 12 at k = (0, 0),
// −4 at (π, π). Added and subtracted in two steps: at (0, 6·dk) that gives
// exactly 8.0, a single +4 would not.
[[nodiscard]] double dispersion(double kx, double ky);

// Fermi occupation f(e) = 1/(exp(β_·e) + 1) at inverse temperature β_, no clamping.
[[nodiscard]] double fermi(double e, double inverse_temperature);
// The same at β.
[[nodiscard]] double fermi(double e);

// The Boltzmann factor of an energy's far side, b = e^{−β_·|e|}, which never
// overflows: f(e) = b/(1 + b) for e ≥ 0 and 1/(1 + b) below.
[[nodiscard]] inline double boltzmann_factor(double e, double inverse_temperature) {
    return std::exp(-(inverse_temperature * std::fabs(e)));
}

// Free Green's function G0(k, z) = 1/(z − e(k)), e subtracted from the real part of z.
[[nodiscard]] Complex free_green_at(double e, Complex z);
[[nodiscard]] Complex free_green(const Band& band, double kx, double ky, Complex z);
[[nodiscard]] Complex free_green(double kx, double ky, Complex z);

}  // namespace lattice_bubble
