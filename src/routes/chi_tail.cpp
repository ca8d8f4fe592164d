#include "routes/chi_tail.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/parallel.h"
#include "transforms/lattice_transforms.h"

namespace lattice_bubble {

SeriesGrid chi_tail_moments(const StudyModel& model, const Workers& workers) {
    const int lattice_x = model.lattice_x;
    const int lattice_y = model.lattice_y;
    const double sites = static_cast<double>(model.sites());

    // The moments depend on energy differences only: measured from their mean,
    // the energies keep the products below small, whatever the band's offset.
    const std::vector<double> energy = band_on_grid(model);
    double mean = 0.0;
    for (const double e : energy) {
        mean += e;
    }
    mean /= sites;

    // Slots: f, f·ẽ, f·ẽ², ẽ, ẽ², ẽ³ with ẽ = e − mean; and the sums of f·ẽ and f·ẽ³.
    SeriesGrid functions(lattice_x, lattice_y, 6);
    double sum_fe = 0.0;
    double sum_fe3 = 0.0;
    for (int x = 0; x < lattice_x; ++x) {
        for (int y = 0; y < lattice_y; ++y) {
            const double e = energy[static_cast<std::size_t>(x * lattice_y + y)];
            const double f = fermi(e, model.beta);
            const double shifted = e - mean;
            const double values[6] = {f,       f * shifted,       f * shifted * shifted,
                                      shifted, shifted * shifted, shifted * shifted * shifted};
            for (int j = 0; j < 6; ++j) {
                functions.series(x, y)[static_cast<std::size_t>(j)] = Complex{values[j], 0.0};
            }
            sum_fe += values[1];
            sum_fe3 += values[1] * shifted * shifted;
        }
    }
    // With X(r) = (1/L²)·Σ_k e^{ik·r}·x(k), Σ_r e^{−iq·r}·X(r)·conj Y(r) is the
    // correlation (1/L²)·Σ_k x(k+q)·y(k). Expanding Δf·d and Δf·d³:
    //   c2 = 2·⟨f·ẽ⟩ − C(f, ẽ) − C(ẽ, f)
    //   c4 = 2·⟨f·ẽ³⟩ − 3C(fẽ², ẽ) + 3C(fẽ, ẽ²) − C(f, ẽ³) − C(ẽ³, f) + 3C(ẽ², fẽ) − 3C(ẽ, fẽ²)
    to_real_space(functions, 6, workers);
    SeriesGrid moments(lattice_x, lattice_y, 2);
    for (int x = 0; x < lattice_x; ++x) {
        for (int y = 0; y < lattice_y; ++y) {
            const auto v = functions.series(x, y);
            const auto c = [&](int a, int b) {
                return v[static_cast<std::size_t>(a)] * conj(v[static_cast<std::size_t>(b)]);
            };
            moments.series(x, y)[0] = -(c(0, 3) + c(3, 0));
            moments.series(x, y)[1] =
                (((((c(1, 4) * 3.0 - c(2, 3) * 3.0) - c(0, 5)) - c(5, 0)) + c(4, 1) * 3.0) - c(3, 2) * 3.0);
        }
    }
    to_momentum(moments, 2, workers);
    const double c2_constant = 2.0 * (sum_fe / sites);
    const double c4_constant = 2.0 * (sum_fe3 / sites);
    for (int x = 0; x < lattice_x; ++x) {
        for (int y = 0; y < lattice_y; ++y) {
            const auto m = moments.series(x, y);
            m[0] = Complex{m[0].re + c2_constant, 0.0};
            m[1] = Complex{m[1].re + c4_constant, 0.0};
        }
    }
    return moments;
}

namespace {

// One pole of the model, P/((iν)² − b²): at each ν_m its exact value less
// the route's sum (β/(2N))·Σ_l e^{iν τ_l}·(P/(2b))·(h(b, τ_l) − h(−b, τ_l)).
// The geometric sums over l give, with Δ = β/(2N), ρ = e^{−bΔ} and
// θ = νΔ = πm/N,
//   −(β/(2N))·(P/(2b))·(1 − ρ²)/|1 − ρe^{iθ}|²,
// formed from expm1 and sin so that neither a fine nor a coarse mesh cancels
// or overflows: 1 − ρ² = −expm1(−2bΔ), |1 − ρe^{iθ}|² = expm1(−bΔ)² + 4ρ·sin²(θ/2).
// What depends on b alone is formed once per pole, what depends on m alone
// once per study.
struct Pole {
    Pole(double weight_, double b_, double step)
        : weight(weight_),
          b_squared(b_ * b_),
          decay(std::exp(-(b_ * step))),
          gap(std::expm1(-(b_ * step))),
          scale(-step * (weight_ / (2.0 * b_))),
          one_minus_decay_squared(-std::expm1(-(2.0 * b_ * step))) {}

    // nu_squared = ν², sine_squared = sin²(θ/2).
    [[nodiscard]] double correction(double nu_squared, double sine_squared) const {
        const double exact = -weight / (nu_squared + b_squared);
        const double denominator = gap * gap + 4.0 * decay * sine_squared;
        return exact - scale * (one_minus_decay_squared / denominator);
    }

    double weight;
    double b_squared;
    double decay;
    double gap;
    double scale;
    double one_minus_decay_squared;
};

}  // namespace

void add_chi_tail_correction(const StudyModel& model, SeriesGrid& chi, const Workers& workers) {
    const SeriesGrid moments = chi_tail_moments(model, workers);
    // No pair of energies differs by more than the band's width: a ratio c4/c2
    // beyond its square is rounding noise of moments that vanish.
    const double width = band_width_on_grid(model);
    const double widest = width * width;
    const double step_tau = model.beta / model.times();
    std::vector<double> nu_squared(static_cast<std::size_t>(model.grid_bosons()));
    std::vector<double> sine_squared(nu_squared.size());
    for (int m = 0; m < model.grid_bosons(); ++m) {
        const double nu = boson_frequency(m, model.beta).im;
        const double sine = std::sin((pi * m) / (2.0 * model.frequencies));
        nu_squared[static_cast<std::size_t>(m)] = nu * nu;
        sine_squared[static_cast<std::size_t>(m)] = sine * sine;
    }

    std::vector<int> no_scratch(static_cast<std::size_t>(workers.threads));
    workers.start_stage("tail of chi", model.lattice_x);
    parallel_ranges(model.lattice_x, no_scratch, [&](int, long long begin, long long end) {
        for (auto x = static_cast<int>(begin); x < end; ++x) {
            workers.poll();
            for (int y = 0; y < model.lattice_y; ++y) {
                const double c2 = moments.series(x, y)[0].re;
                const double c4 = moments.series(x, y)[1].re;
                const double scale = c4 / c2;  // ⟨d²⟩ of the pairs that contribute
                if (!(c2 < 0.0) || !(scale > 0.0) || !(scale <= widest)) {
                    continue;  // no tail to speak of: Δf·d = 0 for every k
                }
                // b1² = s/2, b2² = 2s with s = c4/c2: then A = 2c2/3, B = c2/3.
                const Pole first((2.0 * c2) / 3.0, std::sqrt(scale / 2.0), step_tau);
                const Pole second(c2 / 3.0, std::sqrt(scale * 2.0), step_tau);
                const auto series = chi.series(x, y);
                for (std::size_t m = 0; m < nu_squared.size(); ++m) {
                    series[m].re += first.correction(nu_squared[m], sine_squared[m]) +
                                    second.correction(nu_squared[m], sine_squared[m]);
                }
            }
            workers.advance(1);
        }
    });
}

}  // namespace lattice_bubble
