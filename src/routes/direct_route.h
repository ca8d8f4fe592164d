#pragma once
// The direct route of a study: the Lindhard sum over the Lx × Ly momentum grid,
//
//   χ0(q, iν_m) = (1/(Lx·Ly))·Σ_k [f(e(k+q)) − f(e(k))] / [iν_m − (e(k+q) − e(k))],
//
// in a form that is exact where the default run's direct sum is not, and that
// neither cancels nor overflows for any accepted β and band:
// - the difference of occupations, with d = e(k+q) − e(k) and a = β·|e|,
//     f(e(k+q)) − f(e(k)) = −sign(d)·E·(1 − e^{−β|d|}) / ((1 + e^{−a(k)})·(1 + e^{−a(k+q)})),
//   E = e^{−min(a(k), a(k+q))} when both energies lie on one side of zero and
//   1 when they straddle it: every exponent is ≤ 0, and 1 − e^{−β|d|} comes
//   from expm1, so that nearly equal energies lose nothing;
// - at ν = 0 the term is that difference over −d, E·[(1 − e^{−β|d|})/|d|]/(…),
//   whose limit at d = 0 is β·f·(1 − f) = −f′(e): the pairs of equal energy
//   count with their exact limit instead of being left out.
// On the real axis, z = ω + iη, the term is Δf·(x − iη)/(x² + η²), x = ω − d,
// with the same difference of occupations. The sum over k runs x major,
// y minor, compensated (Neumaier), so that its error does not grow with the
// lattice: term by term on the Matsubara axis, by blocks of consecutive k on
// the real axis, each block's plain sum added compensated. Each frequency has
// its own sums, added over lanes of frequencies (routes/direct_kernels.h)
// with the same bits on every processor and any number of threads.
//
// With imaginary times (model.time_count = T) the values at q are instead
//
//   χ0(q, τ_j) = (1/(Lx·Ly))·Σ_k f(a)·(1 − f(b))·e^{−τ_j·(b − a)},  a = e(k), b = e(k+q),
//
// at τ_j = model.time(j), 0 = τ_0 < … < τ_{T−1} = β, each term written as
//   e^{E}/((1 + e^{−β|a|})·(1 + e^{−β|b|})),
//   E = τ·(min(a, 0) − max(b, 0)) + (β − τ)·(min(b, 0) − max(a, 0)),
// where both brackets are sums of two terms ≤ 0 and both factors are ≥ 0:
// E ≤ 0 without cancellation for any sign of a and b, so the term neither
// overflows nor loses digits. The sum over k is compensated per τ_j, term by
// term, in the order above; one exp per term (no lanes).
//
// Off the grid, at q = π·(qx, qy), e(k+q) is band_energy(band, kx + π·qx,
// ky + π·qy) with kx = (x + sx)·(2π/Lx) formed as band_on_grid forms it and
// π·qx formed once; everything else is the grid's sum.

#include <array>
#include <span>
#include <utility>
#include <vector>

#include "common/complex.h"
#include "common/workers.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

class DirectSum {
public:
    explicit DirectSum(const StudyModel& model);

    // Bytes held by a DirectSum of this model and its scratch on `threads`
    // threads, for the memory check; with `points`, the scratch of
    // evaluate_points as well (e(k+q) and its Boltzmann factor per thread).
    [[nodiscard]] static double bytes(const StudyModel& model, int threads, bool points = false);

    // chi[j] = χ0(q, z_j) at q = 2π·(qx/Lx, qy/Ly) for the model's
    // values: iν_m, ω_j + iη on the real axis, or τ_j (as {χ0(q, τ_j), 0});
    // chi holds model.values() of them.
    void evaluate(int qx, int qy, std::span<Complex> chi) const;

    // The same for several wave vectors, the values of wave vector i at
    // chi[i·values + j]. The pairs (q, range of j) are split over the
    // workers; each value is still one sum over k in its fixed order.
    void evaluate(std::span<const std::pair<int, int>> wave_vectors, std::span<Complex> chi,
                  const Workers& workers) const;

    // χ0(q, 0) at each wave vector, whatever the model's values: the value at ν_0, bit for bit.
    void evaluate_static(std::span<const std::pair<int, int>> wave_vectors, std::span<double> chi,
                         const Workers& workers) const;

    // The same two at wave vectors anywhere in the zone, q = π·(qx, qy),
    // split over the workers as above.
    void evaluate_points(std::span<const FreeWaveVector> points, std::span<Complex> chi,
                         const Workers& workers) const;
    void evaluate_static_points(std::span<const FreeWaveVector> points, std::span<double> chi,
                                const Workers& workers) const;

private:
    // Where the sum reads e(k+q) and e^{−β|e(k+q)|}: at k + (qx, qy)
    // wrapped into the zone, (0, 0) for an array laid out by k itself.
    struct Partner {
        const double* energy;
        const double* boltzmann;
        int qx;
        int qy;
    };

    // A thread's scratch: the sums, and the energies at k + q of the point
    // it last formed them for.
    struct Scratch {
        std::vector<double> sums;
        std::vector<double> energy;
        std::vector<double> boltzmann;
        long long point = -1;
    };

    // χ0 at the partner's q for begin ≤ j < end into chi[j − begin], with
    // `sums` as scratch; only ν_0 with `static_only`. The stop flag is
    // polled row by row of k, and k by k for imaginary times.
    void sum_over_k(const Partner& partner, int begin, int end, bool static_only, std::span<Complex> chi,
                    std::vector<double>& sums, const Workers& workers) const;

    // The items (q, range) of `q_count` wave vectors over the workers,
    // `values` per q; partner_of(i, scratch) says where q_i's e(k+q) is read.
    template <typename PartnerOf>
    void split(long long q_count, int values, bool static_only, bool points, std::span<Complex> chi,
               const Workers& workers, const PartnerOf& partner_of) const;

    // e(k+q) and its Boltzmann factor at every k of the mesh, at x·Ly + y.
    void form_partner(FreeWaveVector point, Scratch& scratch) const;
    [[nodiscard]] Partner grid_partner(std::span<const std::pair<int, int>> wave_vectors, long long i) const;
    // Forms the point's energies unless the scratch holds them already.
    [[nodiscard]] Partner point_partner(std::span<const FreeWaveVector> points, long long i,
                                        Scratch& scratch) const;

    int lattice_x_;
    int lattice_y_;
    double beta_;
    bool real_axis_;
    bool times_;
    double broadening_;              // η on the real axis
    Band band_;                      // for e(k+q) off the grid
    std::array<double, 2> k_shift_;  // (sx, sy)
    std::vector<double> energy_;     // e(k), k = 2π·((x + sx)/Lx, (y + sy)/Ly) at x·Ly + y
    std::vector<double> boltzmann_;  // e^{−β|e(k)|}
    std::vector<double> axis_;       // ν_m = 2πm/β, ω_j, or τ_j
    std::vector<double> remaining_;  // β − τ_j (imaginary times only)
};

}  // namespace lattice_bubble
