#include "routes/fourier_route.h"

#include <algorithm>
#include <vector>

#include "common/parallel.h"
#include "fft/complex_fft.h"
#include "fft/work_sizes.h"
#include "routes/chi_tail.h"
#include "routes/lattice_slices.h"

namespace lattice_bubble {
namespace {

// The one-site path G(r, iω_n) → G(r, τ_l) → χ(r, τ_l) → χ(r, iν_m), through
// one FFT of 4N points whose time slots cover the doubled window 0 ≤ τ < 2β
// and whose odd (even) frequency slots are the fermionic (bosonic)
// frequencies: slot j is jπ/β for j < 2N and (j − 4N)π/β above.
class SiteTimePath {
public:
    explicit SiteTimePath(const StudyModel& model)
        : frequencies_(model.frequencies),
          times_(model.times()),
          beta_(model.beta),
          one_over_points_(1.0 / (2 * model.times())),
          buffer_(static_cast<std::size_t>(4 * model.times())),
          green_time_(static_cast<std::size_t>(model.times()) + 1),
          chi_time_(static_cast<std::size_t>(model.times())),
          work_(fft_work_sizes_1d(4 * model.times())) {
        // The weights of the tails' closed forms at τ_l = (β·l)/(2N):
        // (2τ − β)/4 and τ(β − τ)/4.
        for (int l = 0; l < times_; ++l) {
            const double tau = (beta_ * l) / times_;
            linear_.push_back((2.0 * tau - beta_) / 4.0);
            quadratic_.push_back((tau * (beta_ - tau)) / 4.0);
        }
    }

    // G(τ_l) = (1/β)·Σ over ±ω_n of the N values in series: G(iω_n) in odd
    // slot 2n + 1, its conjugate (the value at −ω_n) in slot 4N − 1 − 2n, the
    // even slots zero. Slots 2N … 4N − 1 hold −G(τ_l) and are not needed.
    void green_to_time(std::span<const Complex> series) {
        for (int n = 0; n < frequencies_; ++n) {
            put(2 * n, Complex{});
            put(2 * n + 1, series[static_cast<std::size_t>(n)]);
        }
        for (int i = frequencies_; i < times_; ++i) {
            put(2 * i, Complex{});
            put(2 * i + 1, conj(series[static_cast<std::size_t>(times_ - 1 - i)]));
        }
        fft(-1);
        for (int l = 0; l < times_; ++l) {
            green_time_[static_cast<std::size_t>(l)] = get(l) / beta_;
        }
    }

    // The route as defined: G at τ = β, off the grid, is the antiperiodic
    // continuation of the value at 0, G(β) = −G(0).
    void continue_antiperiodically() { green_time_.back() = -green_time_.front(); }

    // The tail route: green_time_ holds G̃(r, τ_l), the transform of
    // G̃ = G0 − [1/(iω) + e/(iω)² + e²/(iω)³], which has no jump at τ = 0.
    // The three terms come back in closed form, valid for 0 < τ < β:
    //   1/(iω) → −1/2,  e/(iω)² → e·(2τ − β)/4,  e²/(iω)³ → e²·τ(β − τ)/4,
    // in real space −½·δ(r, 0), ε1(r)·(2τ − β)/4 and ε2(r)·τ(β − τ)/4 with ε1,
    // ε2 the lattice images of e and e². At l = 0 that is the limit τ → 0⁺;
    // the last entry is the limit τ → β⁻, where G̃(β) = −G̃(0) and the jump
    // of the first term puts G(0⁻) = G(0⁺) + δ(r, 0): G(0⁺) + G(β⁻) = −δ(r, 0).
    void add_tails(bool at_origin, Complex band_image, Complex band_square_image) {
        const Complex constant{at_origin ? -0.5 : 0.0, 0.0};
        green_time_.back() = ((-green_time_.front() + constant) + band_image * (beta_ / 4.0));
        for (std::size_t l = 0; l < linear_.size(); ++l) {
            Complex& g = green_time_[l];
            g = ((g + constant) + band_image * linear_[l]) + band_square_image * quadratic_[l];
        }
    }

    // χ(τ_l) = G(τ_l)·G(β − τ_l): the partner of l is 2N − l, for l = 0 the
    // entry at β. The route as defined adds 0.125 to χ(0, 0) (with_correction).
    void multiply(bool with_correction) {
        const auto& g = green_time_;
        for (std::size_t l = 0; l < chi_time_.size(); ++l) {
            chi_time_[l] = g[l] * g[chi_time_.size() - l];
        }
        if (with_correction) {
            chi_time_[0] += Complex{equal_time_correction, 0.0};
        }
    }

    // χ(iν_m) = (β/(2N))·Σ_l e^{+iν_m τ_l}·χ(τ_l): the periodic continuation
    // over the doubled window, the FFT divided by 4N, then × β; ν_m is slot 2m.
    void chi_to_frequency(std::span<Complex> series) {
        for (int l = 0; l < times_; ++l) {
            put(l, chi_time_[static_cast<std::size_t>(l)]);
            put(l + times_, chi_time_[static_cast<std::size_t>(l)]);
        }
        fft(+1);
        for (int m = 0; m <= frequencies_; ++m) {
            const Complex value = get(2 * m);
            series[static_cast<std::size_t>(m)] =
                Complex{value.re * one_over_points_, value.im * one_over_points_} * beta_;
        }
    }

    // G(τ_0 … τ_{2N−1}) and the entry at β.
    [[nodiscard]] const std::vector<Complex>& green_time() const { return green_time_; }

private:
    void put(int slot, Complex value) {
        buffer_[2 * static_cast<std::size_t>(slot)] = value.re;
        buffer_[2 * static_cast<std::size_t>(slot) + 1] = value.im;
    }
    [[nodiscard]] Complex get(int slot) const {
        return {buffer_[2 * static_cast<std::size_t>(slot)], buffer_[2 * static_cast<std::size_t>(slot) + 1]};
    }
    void fft(int sign) {
        complex_fft(static_cast<int>(buffer_.size()), sign, buffer_.data(), work_.index_work.data(),
                    work_.twiddle.data());
    }

    int frequencies_;
    int times_;
    double beta_;
    double one_over_points_;
    std::vector<double> buffer_;  // 4N interleaved values
    std::vector<Complex> green_time_;
    std::vector<Complex> chi_time_;
    EngineWork work_;
    std::vector<double> linear_;
    std::vector<double> quadratic_;
};

// G(r, iω_n) in slots 0 … N − 1 of every site: G0(k, iω_n), or for the tail
// route G̃(k, iω_n) = G0 − [1/z + e/z² + e²/z³] = G0·(e/z)³ (z = iω_n),
// which leaves nothing to cancel, made slot by slot straight into the
// lattice transform's slices and carried to real space. The band energy is
// formed once per k, the frequencies once per study. The grid is not written
// before: the thread that writes a part first is the one that owns its pages.
SeriesGrid green_in_real_space(const StudyModel& model, bool tails_taken_off, const Workers& workers) {
    const int lattice = model.lattice;
    const std::vector<double> energy = band_on_grid(model);
    std::vector<Complex> frequencies(static_cast<std::size_t>(model.frequencies));
    for (int n = 0; n < model.frequencies; ++n) {
        frequencies[static_cast<std::size_t>(n)] = fermion_frequency(n, model.beta);
    }
    SeriesGrid grid(lattice, model.bosons(), SeriesGrid::unwritten);
    lattice_towards_real_space_from(grid, model.frequencies, workers, [&](int x, int y, int n) {
        const double e = energy[static_cast<std::size_t>(x * lattice + y)];
        const Complex z = frequencies[static_cast<std::size_t>(n)];
        Complex g = free_green_at(e, z);
        if (tails_taken_off) {
            const Complex ratio = Complex{e, 0.0} / z;
            g = g * ((ratio * ratio) * ratio);
        }
        return g;
    });
    return grid;
}

// ε1(r) and ε2(r), the lattice images (1/L²)·Σ_k e^{+ik·r}·e(k)^j of the
// band and its square, in slots 0 and 1.
SeriesGrid band_images(const StudyModel& model, const Workers& workers) {
    const std::vector<double> energy = band_on_grid(model);
    SeriesGrid images(model.lattice, 2);
    for (int x = 0; x < model.lattice; ++x) {
        for (int y = 0; y < model.lattice; ++y) {
            const double e = energy[static_cast<std::size_t>(x * model.lattice + y)];
            images.series(x, y)[0] = Complex{e, 0.0};
            images.series(x, y)[1] = Complex{e * e, 0.0};
        }
    }
    lattice_towards_real_space(images, 2, workers);
    return images;
}

// The per-site part of either route, sites split over the workers, each
// thread with a path of its own: G(r, iω_n) in the grid → G(r, τ_l), then
// `at_site(x, y, path)`.
template <typename AtSite>
void at_every_site(const StudyModel& model, const Workers& workers, AtSite at_site) {
    std::vector<SiteTimePath> paths;
    paths.reserve(static_cast<std::size_t>(workers.threads));
    for (int t = 0; t < workers.threads; ++t) {
        paths.emplace_back(model);
    }
    const int lattice = model.lattice;
    workers.start_stage("time transforms", static_cast<long long>(lattice) * lattice);
    parallel_ranges(static_cast<long long>(lattice) * lattice, paths,
                    [&](SiteTimePath& path, long long begin, long long end) {
                        for (long long site = begin; site < end; ++site) {
                            at_site(static_cast<int>(site / lattice), static_cast<int>(site % lattice), path);
                            workers.advance(1);
                        }
                    });
}

// Steps 1 and 2 of the tail route at every site: G(r, τ_l) with the tails
// back in closed form, handed to `use` as (x, y, path).
template <typename Use>
void tail_green_at_every_site(const StudyModel& model, SeriesGrid& grid, const Workers& workers, Use use) {
    const SeriesGrid images = band_images(model, workers);
    at_every_site(model, workers, [&](int x, int y, SiteTimePath& path) {
        path.green_to_time(grid.series(x, y));
        path.add_tails(x == 0 && y == 0, images.series(x, y)[0], images.series(x, y)[1]);
        use(x, y, path);
    });
}

}  // namespace

double fourier_route_bytes(const StudyModel& model, bool tail, int threads) {
    const double grid = SeriesGrid::bytes(model.lattice, model.bosons());
    const double site_scratch = (4.0 * model.times() + 2.0 * model.times() + 1.0) * sizeof(Complex) +
                                fft_work_sizes_1d(4 * model.times()).twiddle_doubles * sizeof(double);
    const double band_grids = tail ? SeriesGrid::bytes(model.lattice, 6 + 2 + 2) : 0.0;
    return grid + lattice_slices_bytes(model.lattice, threads, grid) + threads * site_scratch + band_grids;
}

SeriesGrid fourier_route(const StudyModel& model, const Workers& workers) {
    SeriesGrid grid = green_in_real_space(model, false, workers);
    at_every_site(model, workers, [&](int x, int y, SiteTimePath& path) {
        path.green_to_time(grid.series(x, y));
        path.continue_antiperiodically();
        path.multiply(x == 0 && y == 0);
        path.chi_to_frequency(grid.series(x, y));
    });
    lattice_towards_momentum(grid, model.bosons(), workers);
    return grid;
}

SeriesGrid tail_route(const StudyModel& model, const Workers& workers) {
    SeriesGrid grid = green_in_real_space(model, true, workers);
    tail_green_at_every_site(model, grid, workers, [&](int x, int y, SiteTimePath& path) {
        path.multiply(false);
        path.chi_to_frequency(grid.series(x, y));
    });
    lattice_towards_momentum(grid, model.bosons(), workers);
    add_chi_tail_correction(model, grid, workers);
    return grid;
}

SeriesGrid tail_green_time(const StudyModel& model) {
    const Workers one_thread;
    SeriesGrid grid = green_in_real_space(model, true, one_thread);
    SeriesGrid green_time(model.lattice, model.times() + 1);
    tail_green_at_every_site(model, grid, one_thread, [&](int x, int y, const SiteTimePath& path) {
        std::copy(path.green_time().begin(), path.green_time().end(), green_time.series(x, y).begin());
    });
    return green_time;
}

}  // namespace lattice_bubble
