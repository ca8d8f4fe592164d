#pragma once
// The dlr route: χ(q, iν_m), or χ(q, τ_j), at every q through a compressed
// representation of imaginary time (transforms/dlr_basis.h), at a cost that
// grows like log β:
//
//   Λ          = β·ω_max, ω_max = max e(k) − min e(k) over the mesh (χ0's spectrum lies in [−ω_max, ω_max]),
//   ε′         = max(ε, 1e-13)/10, not below 1e-14: the representation's tolerance,
//   t_k, w_l     the representation's r times and frequencies for Λ and ε′,
//   G(k, τ)    = −e^{−e(k)·τ}/(1 + e^{−β·e(k)}), for e(k) < 0 as −e^{e(k)·(β − τ)}/(1 + e^{β·e(k)}),
//                at τ_k = β·t_k and β − τ_k = β·(1 − t_k), each from its own exact part of t_k,
//   G(r, τ)    = (1/(Lx·Ly))·Σ_x e^{+2πi·(x/Lx, y/Ly)·r}·G(k, τ) over the mesh's indices
//                (on a shifted mesh, G(r, τ) without its phase e^{+2πi·(sx/Lx, sy/Ly)·r}),
//   χ(r, τ_k)  = G(r, τ_k)·G(−r, β − τ_k), the two phases cancelling; on the unshifted
//                grid, whose band is even in k, G(r, τ_k)·G(r, β − τ_k),
//   χ(q, τ_k)  = Σ_r e^{−iq·r}·χ(r, τ_k),
//   c_l(q)     : K(t_k, w_l)·c_l = Re χ(q, τ_k), by the representation's pivoted QR,
//   χ(q, iν_m) = Σ_l K̂(ν_m, w_l)·c_l, summed in the order of l, K̂ = β·tanh(w/2)/(w − i·β·ν_m),
//   χ(q, τ_j)  = Σ_l K(t_j, w_l)·c_l, summed in the order of l, at t_j = j/(T − 1)
//                and 1 − t_j = (T − 1 − j)/(T − 1), each rounded once, exact at τ = 0 and β.
//
// χ(q, τ) = (1/(Lx·Ly))·Σ_k f(e(k))·(1 − f(e(k+q)))·e^{−(e(k+q) − e(k))·τ} is real on
// any mesh, a sum of K(t, β·d) with weights f·(1 − f′)·(1 + e^{−β·d}) ≤ 1: its
// imaginary part is the transforms' rounding and is left out. On a shifted
// mesh, which is not even in k, χ(q, τ) ≠ χ(q, β − τ) and χ(q, iν_m) is
// complex through K̂. ε′ below ε keeps the error at ν_m within
// max(ε, 1e-13)·max_m |χ(q, iν_m)| and the transforms' rounding at every q
// (docs/routes.md); a representation finer than 1e-14 gains nothing over
// rounding. The route holds χ(q, τ_k), L²·r values, and per thread the
// Green's functions of four nodes at a time; each value is computed by one
// thread in the order written here, the same bits on any number of threads.
// G's exponentials below e^{−746} are +0 without a call
// (transforms/dlr_basis.h), most of them at large β.

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
    // The representation's ε′ for the model's ε: max(ε, 1e-13)/10, not below 1e-14.
    static constexpr double tolerance_floor = 1e-13;
    static constexpr double tolerance_margin = 10.0;
    static constexpr double finest_tolerance = 1e-14;

    // The representation and χ(q, τ_k) at every q.
    DlrRoute(const StudyModel& model, const Workers& workers);

    // β·ω_max of the model, before the representation takes it up to 1.
    [[nodiscard]] static double lambda(const StudyModel& model);
    // ε′ of the representation built for the model.
    [[nodiscard]] static double representation_tolerance(const StudyModel& model);
    // Bytes it holds at its peak on `threads` threads, for the memory check.
    [[nodiscard]] static double bytes(const StudyModel& model, int threads);

    [[nodiscard]] const DlrBasis& basis() const { return *basis_; }
    [[nodiscard]] double band_width() const { return band_width_; }

    // The model's values() at q into chi: χ(q, τ_j), j < T, with a time count,
    // else χ(q, iν_m), m < bosons(); scratch holds 2r doubles.
    void evaluate(WaveVector q, std::span<Complex> chi, std::span<double> scratch) const;

private:
    DlrRoute(const StudyModel& model, const Workers& workers, const std::vector<double>& energy);

    int values_;
    bool at_times_;
    double band_width_;
    std::shared_ptr<const DlrBasis> basis_;  // shared with the routes of the process at the same Λ and ε′
    SeriesGrid chi_time_;                    // χ(q, τ_k) in slot k
    std::vector<Complex> kernel_;            // K̂(ν_m, w_l) at m·r + l, without a time count
    std::vector<double> time_kernel_;        // K(t_j, w_l) at j·r + l, with one
};

}  // namespace lattice_bubble
