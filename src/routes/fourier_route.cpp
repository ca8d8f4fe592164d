#include "routes/fourier_route.h"

#include <algorithm>

#include "common/parallel.h"
#include "routes/chi_tail.h"
#include "transforms/lattice_transforms.h"
#include "transforms/time_transforms.h"

namespace lattice_bubble {

GreenWk::GreenWk(const StudyModel& model, bool tails_taken_off)
    : lattice_y_(model.lattice_y),
      tails_taken_off_(tails_taken_off),
      energy_(band_on_grid(model)),
      frequencies_(static_cast<std::size_t>(model.frequencies)) {
    for (int n = 0; n < model.frequencies; ++n) {
        frequencies_[static_cast<std::size_t>(n)] = fermion_frequency(n, model.beta);
    }
}

Complex GreenWk::operator()(int x, int y, int n) const {
    const double e = energy_[static_cast<std::size_t>(x * lattice_y_ + y)];
    const Complex z = frequencies_[static_cast<std::size_t>(n)];
    const Complex g = free_green_at(e, z);
    if (!tails_taken_off_) {
        return g;
    }
    const Complex ratio = Complex{e, 0.0} / z;
    return g * ((ratio * ratio) * ratio);
}

void chi_t_from_green_t(std::span<const Complex> green_t, Complex green_beta, std::span<Complex> chi_t) {
    const std::size_t times = chi_t.size();
    chi_t[0] = green_t[0] * green_beta;
    for (std::size_t l = 1; l < times; ++l) {
        chi_t[l] = green_t[l] * green_t[times - l];
    }
}

void add_equal_time_correction(Complex& chi_t_at_origin) {
    chi_t_at_origin += Complex{equal_time_correction, 0.0};
}

namespace {

// One thread's scratch for the per-site part of either route: the window,
// G(τ_l) with G(β⁻) in its last slot, and χ(τ_l).
class SitePath {
public:
    explicit SitePath(const StudyModel& model)
        : window_(model.frequencies),
          frequencies_(model.frequencies),
          beta_(model.beta),
          green_t_(static_cast<std::size_t>(model.times()) + 1),
          chi_t_(static_cast<std::size_t>(model.times())) {
        // The weights of the tails' closed forms at τ_l = (β·l)/(2N):
        // (2τ − β)/4 and τ(β − τ)/4.
        for (int l = 0; l < model.times(); ++l) {
            const double tau = (beta_ * l) / model.times();
            linear_.push_back((2.0 * tau - beta_) / 4.0);
            quadratic_.push_back((tau * (beta_ - tau)) / 4.0);
        }
    }

    // G(r, τ_l) from the site's G(r, iω_n), in slots 0 … N − 1 of its series.
    void green_to_time(std::span<const Complex> series) {
        green_t_from_green_w(series.first(static_cast<std::size_t>(frequencies_)), times(green_t_), beta_,
                             window_);
    }

    // The tail route: green_t_ holds G̃(r, τ_l), the transform of
    // G̃ = G0 − [1/(iω) + e/(iω)² + e²/(iω)³], which has no jump at τ = 0.
    // The three terms come back in closed form, valid for 0 < τ < β:
    //   1/(iω) → −1/2,  e/(iω)² → e·(2τ − β)/4,  e²/(iω)³ → e²·τ(β − τ)/4,
    // in real space −½·δ(r, 0), ε1(r)·(2τ − β)/4 and ε2(r)·τ(β − τ)/4 with ε1,
    // ε2 the lattice images of e and e². At l = 0 that is the limit τ → 0⁺;
    // the last entry is the limit τ → β⁻, where G̃(β) = −G̃(0) and the jump
    // of the first term puts G(0⁻) = G(0⁺) + δ(r, 0): G(0⁺) + G(β⁻) = −δ(r, 0).
    void add_tails(bool at_origin, Complex band_image, Complex band_square_image) {
        const Complex constant{at_origin ? -0.5 : 0.0, 0.0};
        green_t_.back() = ((-green_t_.front() + constant) + band_image * (beta_ / 4.0));
        for (std::size_t l = 0; l < linear_.size(); ++l) {
            Complex& g = green_t_[l];
            g = ((g + constant) + band_image * linear_[l]) + band_square_image * quadratic_[l];
        }
    }

    // χ(r, τ_l) with the partner of l = 0 at β: G(β⁻) of the tail route, or
    // the route as defined's −G(r, 0) (continue_antiperiodically); then
    // χ(r, iν_m) into the site's series.
    void continue_antiperiodically() { green_t_.back() = -green_t_.front(); }
    void chi_to_frequency(std::span<Complex> series, bool with_correction) {
        chi_t_from_green_t(times(green_t_), green_t_.back(), chi_t_);
        if (with_correction) {
            add_equal_time_correction(chi_t_[0]);
        }
        chi_w_from_chi_t(chi_t_, series, beta_, window_);
    }

    // G(τ_0 … τ_{2N−1}) and the entry at β.
    [[nodiscard]] const std::vector<Complex>& green_time() const { return green_t_; }

private:
    [[nodiscard]] std::span<Complex> times(std::vector<Complex>& g) const {
        return std::span(g).first(chi_t_.size());
    }

    TimeWindow window_;
    int frequencies_;
    double beta_;
    std::vector<Complex> green_t_;
    std::vector<Complex> chi_t_;
    std::vector<double> linear_;
    std::vector<double> quadratic_;
};

// G(r, iω_n) in slots 0 … N − 1 of every site, made slot by slot straight
// into the lattice transform's slices and carried to real space. The grid is
// not written before: the thread that writes a part first is the one that
// owns its pages.
SeriesGrid green_in_real_space(const StudyModel& model, bool tails_taken_off, const Workers& workers) {
    const GreenWk green(model, tails_taken_off);
    SeriesGrid grid(model.lattice_x, model.lattice_y, model.grid_bosons(), SeriesGrid::unwritten);
    to_real_space_from(grid, model.frequencies, workers, green);
    return grid;
}

// ε1(r) and ε2(r), the lattice images (1/(Lx·Ly))·Σ_k e^{+ik·r}·e(k)^j of the
// band and its square, in slots 0 and 1.
SeriesGrid band_images(const StudyModel& model, const Workers& workers) {
    const std::vector<double> energy = band_on_grid(model);
    SeriesGrid images(model.lattice_x, model.lattice_y, 2);
    for (int x = 0; x < model.lattice_x; ++x) {
        for (int y = 0; y < model.lattice_y; ++y) {
            const double e = energy[static_cast<std::size_t>(x * model.lattice_y + y)];
            images.series(x, y)[0] = Complex{e, 0.0};
            images.series(x, y)[1] = Complex{e * e, 0.0};
        }
    }
    to_real_space(images, 2, workers);
    return images;
}

// The per-site part of either route, sites split over the workers, each
// thread with a path of its own: `at_site(x, y, path)`.
template <typename AtSite>
void at_every_site(const StudyModel& model, const Workers& workers, AtSite at_site) {
    std::vector<SitePath> paths;
    paths.reserve(static_cast<std::size_t>(workers.threads));
    for (int t = 0; t < workers.threads; ++t) {
        paths.emplace_back(model);
    }
    const int lattice_y = model.lattice_y;
    workers.start_stage("time transforms", model.sites());
    parallel_ranges(model.sites(), paths, [&](SitePath& path, long long begin, long long end) {
        for (long long site = begin; site < end; ++site) {
            workers.poll();
            at_site(static_cast<int>(site / lattice_y), static_cast<int>(site % lattice_y), path);
            workers.advance(1);
        }
    });
}

// Steps 1 and 2 of the tail route at every site: G(r, τ_l) with the tails
// back in closed form, handed to `use` as (x, y, path).
template <typename Use>
void tail_green_at_every_site(const StudyModel& model, SeriesGrid& grid, const Workers& workers, Use use) {
    const SeriesGrid images = band_images(model, workers);
    at_every_site(model, workers, [&](int x, int y, SitePath& path) {
        path.green_to_time(grid.series(x, y));
        path.add_tails(x == 0 && y == 0, images.series(x, y)[0], images.series(x, y)[1]);
        use(x, y, path);
    });
}

}  // namespace

double fourier_route_bytes(const StudyModel& model, bool tail, int threads) {
    const double grid = SeriesGrid::bytes(model.lattice_x, model.lattice_y, model.grid_bosons());
    const double site_scratch =
        (2.0 * model.times() + 1.0) * sizeof(Complex) + TimeWindow::bytes(model.frequencies);
    const double band_grids = tail ? SeriesGrid::bytes(model.lattice_x, model.lattice_y, 6 + 2 + 2) : 0.0;
    return grid + lattice_slices_bytes(model.lattice_x, model.lattice_y, threads, grid) + threads * site_scratch + band_grids;
}

SeriesGrid fourier_route(const StudyModel& model, const Workers& workers) {
    SeriesGrid grid = green_in_real_space(model, false, workers);
    at_every_site(model, workers, [&](int x, int y, SitePath& path) {
        path.green_to_time(grid.series(x, y));
        path.continue_antiperiodically();
        path.chi_to_frequency(grid.series(x, y), x == 0 && y == 0);
    });
    to_momentum(grid, model.grid_bosons(), workers);
    return grid;
}

SeriesGrid tail_route(const StudyModel& model, const Workers& workers) {
    SeriesGrid grid = green_in_real_space(model, true, workers);
    tail_green_at_every_site(model, grid, workers, [&](int x, int y, SitePath& path) {
        path.chi_to_frequency(grid.series(x, y), false);
    });
    to_momentum(grid, model.grid_bosons(), workers);
    add_chi_tail_correction(model, grid, workers);
    return grid;
}

SeriesGrid tail_green_time(const StudyModel& model) {
    const Workers one_thread;
    SeriesGrid grid = green_in_real_space(model, true, one_thread);
    SeriesGrid green_time(model.lattice_x, model.lattice_y, model.times() + 1);
    tail_green_at_every_site(model, grid, one_thread, [&](int x, int y, const SitePath& path) {
        std::copy(path.green_time().begin(), path.green_time().end(), green_time.series(x, y).begin());
    });
    return green_time;
}

}  // namespace lattice_bubble
