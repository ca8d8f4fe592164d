#pragma once
// The dlr route: χ(q, iν_m) at every q through a compressed representation of
// imaginary time (transforms/dlr_basis.h), at a cost that grows like log β:
//
//   Λ          = β·ω_max, ω_max = max e(k) − min e(k) over the grid (χ0's spectrum lies in [−ω_max, ω_max]),
//   t_k, w_l     the representation's r times and frequencies for Λ and ε,
//   G(k, τ)    = −e^{−e(k)·τ}/(1 + e^{−β·e(k)}), for e(k) < 0 as −e^{e(k)·(β − τ)}/(1 + e^{β·e(k)}),
//                at τ_k = β·t_k and β − τ_k = β·(1 − t_k), each from its own exact part of t_k,
//   G(r, τ)    = (1/(Lx·Ly))·Σ_k e^{+ik·r}·G(k, τ),
//   χ(r, τ_k)  = G(r, τ_k)·G(r, β − τ_k),
//   χ(q, τ_k)  = Σ_r e^{−iq·r}·χ(r, τ_k),
//   c_l(q)     : K(t_k, w_l)·c_l = Re χ(q, τ_k), by the representation's pivoted QR,
//   χ(q, iν_m) = Σ_l K̂(ν_m, w_l)·c_l, summed in the order of l, K̂ = β·tanh(w/2)/(w − i·β·ν_m).
//
// χ(q, τ) = (1/(Lx·Ly))·Σ_k (1 − f(e(k+q)))·f(e(k))·e^{−(e(k+q) − e(k))·τ} is real, a
// sum of K(t, β·d) with weights (1 − f′)·f·(1 + e^{−β·d}) ≤ 1: its imaginary part
// is the transforms' rounding and is left out. The route holds χ(q, τ_k), L²·r
// values, and per thread the Green's functions of four nodes at a time; each
// value is computed by one thread in the order written here, the same bits
// on any number of threads. G's exponentials below e^{−746} are +0 without
// a call (transforms/dlr_basis.h), most of them at large β.

#include <memory>
#include <span>
#include <vector>

#include "common/complex.h"
#include "common/series_grid.h"
#include "common/workers.h"
#include "model/lattice_model.h"
#include "transforms/dlr_basis.h"

namespace lattice_bubble {

class DlrRoute {
public:
    // The representation and χ(q, τ_k) at every q.
    DlrRoute(const StudyModel& model, const Workers& workers);

    // β·ω_max of the model, before the representation takes it up to 1.
    [[nodiscard]] static double lambda(const StudyModel& model);
    // Bytes it holds at its peak on `threads` threads, for the memory check.
    [[nodiscard]] static double bytes(const StudyModel& model, int threads);

    [[nodiscard]] const DlrBasis& basis() const { return *basis_; }
    [[nodiscard]] double band_width() const { return band_width_; }

    // χ(q, iν_m), m = 0 … N, into chi (N + 1 values); scratch holds 2r doubles.
    void evaluate(WaveVector q, std::span<Complex> chi, std::span<double> scratch) const;

private:
    DlrRoute(const StudyModel& model, const Workers& workers, const std::vector<double>& energy);

    int bosons_;
    double band_width_;
    std::shared_ptr<const DlrBasis> basis_;  // shared with the routes of the process at the same Λ and ε
    SeriesGrid chi_time_;          // χ(q, τ_k) in slot k
    std::vector<Complex> kernel_;  // K̂(ν_m, w_l) at m·r + l
};

}  // namespace lattice_bubble
