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

    // Bytes held by a DirectSum of this model and its scratch on `threads` threads, for the memory check.
    [[nodiscard]] static double bytes(const StudyModel& model, int threads);

    // chi[j] = χ0(q, z_j) at q = 2π·(qx/Lx, qy/Ly) for the model's
    // frequencies: iν_m, m = 0 … N, or ω_j + iη on the real axis; chi holds
    // model.values() of them.
    void evaluate(int qx, int qy, std::span<Complex> chi) const;

    // The same for several wave vectors, the values of wave vector i at
    // chi[i·values + j]. The pairs (q, range of j) are split over the
    // workers; each value is still one sum over k in its fixed order.
    void evaluate(std::span<const std::pair<int, int>> wave_vectors, std::span<Complex> chi,
                  const Workers& workers) const;

    // χ0(q, 0) at each wave vector, on either axis: the value at ν_0, bit for bit.
    void evaluate_static(std::span<const std::pair<int, int>> wave_vectors, std::span<double> chi,
                         const Workers& workers) const;

private:
    // χ0 at q for begin ≤ j < end into chi[j − begin], with `sums` as
    // scratch; only ν_0 with `static_only`. The stop flag is polled row by
    // row of k.
    void sum_over_k(int qx, int qy, int begin, int end, bool static_only, std::span<Complex> chi,
                    std::vector<double>& sums, const Workers& workers) const;

    // The items (q, range) over the workers, `values` per q.
    void split(std::span<const std::pair<int, int>> wave_vectors, int values, bool static_only,
               std::span<Complex> chi, const Workers& workers) const;

    int lattice_x_;
    int lattice_y_;
    double beta_;
    bool real_axis_;
    double broadening_;              // η on the real axis
    std::vector<double> energy_;     // e(k), k = (x, y)·2π/L at x·L + y
    std::vector<double> boltzmann_;  // e^{−β|e(k)|}
    std::vector<double> frequency_;  // ν_m = 2πm/β, or ω_j
};

}  // namespace lattice_bubble
