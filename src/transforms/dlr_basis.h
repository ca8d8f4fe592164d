#pragma once
// A compressed representation of imaginary-time functions (the discrete
// Lehmann representation): every function
//
//   F(τ) = ∫ K(τ/β, β·ω)·ρ(ω) dω,   K(t, w) = e^{−w·t}/(1 + e^{−w}),  t ∈ [0, 1],
//
// whose spectrum ρ lies in [−ω_max, ω_max] is, to a tolerance ε relative to
// ∫|ρ|, a sum Σ_l c_l·K(t, w_l) over r frequencies w_l ∈ [−Λ, Λ], Λ = β·ω_max,
// and r times t_k fix the coefficients. r grows like log Λ·log(1/ε).
//
// The basis is built for Λ and ε: K is sampled on composite Chebyshev grids
// (in w the panels [0, 1], [1, 2], [2, 4], … up to Λ and their mirror; in t
// panels halving from 1/2 toward 0, the smallest about 1/Λ, and their mirror
// toward 1; 24 points each); a column-pivoted QR of that matrix, stopped as
// soon as the largest remaining column norm |R_ll| falls to ε, picks the
// frequencies in pivot order (Gram–Schmidt, so O(rows·columns·r)); a
// column-pivoted QR of those columns' transpose (Eigen's) picks as many
// times, and the r × r solves of the coefficients are Eigen's too.
//
// K is formed with no positive exponent: e^{−w·t}/(1 + e^{−w}) for w ≥ 0,
// e^{w·(1 − t)}/(1 + e^{w}) for w < 0, with t and 1 − t each held exactly.

#include <cmath>
#include <memory>
#include <span>
#include <vector>

#include "common/complex.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// A time t ∈ [0, 1] as the pair (t, 1 − t): the one nearer its end exact.
struct UnitTime {
    double t;
    double complement;  // 1 − t
};

// K(t, w) for one time and frequency.
[[nodiscard]] double dlr_kernel(UnitTime t, double w);

// K(τ/β, β·e) at an energy e and a time τ ∈ [0, β] held as (τ, β − τ), in the
// form above: the numerator e^{−e·τ} for e ≥ 0 and e^{e·(β − τ)} below, over
// the denominator 1 + e^{−β·|e|}, which a caller at many times of one energy
// forms once. At β = 1 they are those of K(t, w).
[[nodiscard]] inline double kernel_numerator(double e, double tau, double rest) {
    // Below −746, e^x is under half the smallest subnormal and rounds to +0:
    // taken as such, not through the library's slow path for underflow,
    // which most of K's values at large Λ would take.
    constexpr double underflow = -746.0;
    const double x = e >= 0.0 ? -(e * tau) : e * rest;
    return x < underflow ? 0.0 : std::exp(x);
}
[[nodiscard]] inline double kernel_denominator(double e, double inverse_temperature) {
    return 1.0 + boltzmann_factor(e, inverse_temperature);
}

class DlrBasis {
public:
    // The basis for Λ (below 1: 1) and ε.
    DlrBasis(double lambda, double epsilon);
    ~DlrBasis();
    DlrBasis(DlrBasis&&) noexcept;
    DlrBasis& operator=(DlrBasis&&) noexcept;

    [[nodiscard]] double lambda() const { return lambda_; }
    [[nodiscard]] double epsilon() const { return epsilon_; }
    [[nodiscard]] int rank() const { return static_cast<int>(frequencies_.size()); }
    // w_l, l < r, in the order the QR chose them.
    [[nodiscard]] std::span<const double> frequencies() const { return frequencies_; }
    // t_k, k < r, in the order the QR chose them.
    [[nodiscard]] std::span<const UnitTime> times() const { return times_; }

    // The coefficients c_l of the function with the values F(t_k): the r × r
    // system K(t_k, w_l)·c_l = F(t_k) solved by its pivoted QR.
    void coefficients(std::span<const double> values, std::span<double> c) const;

    // Bytes the construction holds at its peak for Λ, for the memory check.
    [[nodiscard]] static double construction_bytes(double lambda);
    // An upper bound of r for Λ and ε, for the memory check before the basis exists.
    [[nodiscard]] static int rank_bound(double lambda, double epsilon);

private:
    struct Solver;
    double lambda_;
    double epsilon_;
    std::vector<double> frequencies_;
    std::vector<UnitTime> times_;
    std::unique_ptr<Solver> solver_;
};

// ∫₀^β e^{+iν·τ}·K(τ/β, w) dτ at a bosonic ν = 2πm/β: (β·tanh(w/2), 0)/(w, −β·ν)
// in Complex arithmetic, and at w = 0 its limit, β/2 at ν = 0 and 0 elsewhere.
[[nodiscard]] Complex dlr_kernel_at_frequency(double w, double inverse_temperature, double nu);

// The basis for Λ and ε, built once in a process and shared: the last few
// asked for are kept, so that a process that asks again at the same β, band
// and ε (the module's next call) builds nothing. A basis never changes once
// built, and any thread may use it.
[[nodiscard]] std::shared_ptr<const DlrBasis> shared_dlr_basis(double lambda, double epsilon);

}  // namespace lattice_bubble
