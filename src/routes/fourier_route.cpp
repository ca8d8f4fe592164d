#include "routes/fourier_route.h"

#include <algorithm>
#include <vector>

#include "fft/complex_fft.h"
#include "fft/complex_fft_2d.h"
#include "fft/work_sizes.h"

namespace lattice_bubble {
namespace {

// The engine's caller-owned work arrays for one transform size. The table is
// built by the first call and serves every later call of the same size with
// the bits a fresh table would give.
struct EngineWork {
    explicit EngineWork(FftWorkSizes sizes)
        : index_work(static_cast<std::size_t>(sizes.index_work_ints), 0),
          twiddle(static_cast<std::size_t>(sizes.twiddle_doubles), 0.0) {}
    std::vector<int> index_work;  // [0] = 0: no table yet
    std::vector<double> twiddle;
};

// The 2-D transform of one slot of every lattice point, slot by slot: the
// slot is gathered into L rows of 2L interleaved doubles, transformed, and
// written back. Towards real space the FFT runs with sign +1 and each value
// is then multiplied by 1/L² (exact, L² being a power of two); towards
// momentum with sign −1, unscaled.
class LatticeSlices {
public:
    explicit LatticeSlices(int lattice)
        : lattice_(lattice),
          row_doubles_(2 * lattice),
          values_(static_cast<std::size_t>(lattice) * static_cast<std::size_t>(2 * lattice)),
          rows_(static_cast<std::size_t>(lattice)),
          work_(fft_work_sizes_2d(lattice, 2 * lattice)),
          inverse_site_count_(1.0 / (static_cast<double>(lattice) * lattice)) {
        for (int x = 0; x < lattice_; ++x) {
            rows_[static_cast<std::size_t>(x)] = values_.data() + static_cast<std::size_t>(x) * row_doubles_;
        }
    }

    void towards_real_space(SeriesGrid& grid, int slot_count) { transform(grid, slot_count, +1, true); }
    void towards_momentum(SeriesGrid& grid, int slot_count) { transform(grid, slot_count, -1, false); }

private:
    void transform(SeriesGrid& grid, int slot_count, int sign, bool divide) {
        for (int slot = 0; slot < slot_count; ++slot) {
            for (int x = 0; x < lattice_; ++x) {
                double* row = rows_[static_cast<std::size_t>(x)];
                for (int y = 0; y < lattice_; ++y) {
                    const Complex value = grid.series(x, y)[static_cast<std::size_t>(slot)];
                    row[2 * y] = value.re;
                    row[2 * y + 1] = value.im;
                }
            }
            complex_fft_2d(lattice_, row_doubles_, sign, rows_.data(), work_.index_work.data(),
                           work_.twiddle.data());
            for (int x = 0; x < lattice_; ++x) {
                const double* row = rows_[static_cast<std::size_t>(x)];
                for (int y = 0; y < lattice_; ++y) {
                    Complex value{row[2 * y], row[2 * y + 1]};
                    if (divide) {
                        value *= inverse_site_count_;
                    }
                    grid.series(x, y)[static_cast<std::size_t>(slot)] = value;
                }
            }
        }
    }

    int lattice_;
    int row_doubles_;
    std::vector<double> values_;
    std::vector<double*> rows_;
    EngineWork work_;
    double inverse_site_count_;
};

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
          green_time_(static_cast<std::size_t>(model.times())),
          chi_time_(static_cast<std::size_t>(model.times())),
          work_(fft_work_sizes_1d(4 * model.times())) {}

    // series: G(r, iω_n) in slots 0 … N − 1 on entry, χ(r, iν_m) in slots 0 … N on return.
    void carry(std::span<Complex> series, bool at_origin) {
        green_to_time(series);
        multiply(at_origin);
        chi_to_frequency(series);
    }

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

    // G(τ_l) = (1/β)·Σ over ±ω_n: G(iω_n) in odd slot 2n + 1, its conjugate
    // (the value at −ω_n) in slot 4N − 1 − 2n, the even slots zero.
    void green_to_time(std::span<const Complex> series) {
        std::fill(buffer_.begin(), buffer_.end(), 0.0);
        for (int n = 0; n < frequencies_; ++n) {
            put(2 * n + 1, series[static_cast<std::size_t>(n)]);
        }
        for (int i = frequencies_; i < times_; ++i) {
            put(2 * i + 1, conj(series[static_cast<std::size_t>(times_ - 1 - i)]));
        }
        fft(-1);
        for (int l = 0; l < times_; ++l) {
            green_time_[static_cast<std::size_t>(l)] =
                get(l) / beta_;  // slots 2N … 4N − 1 hold −G and are not needed
        }
    }

    // χ(τ_l) = G(τ_l)·G(β − τ_l). The partner of l is 2N − l; for l = 0 it
    // is β itself, off the grid, where G is continued antiperiodically,
    // G(β) = −G(0). At r = 0 the equal-time value gets 0.125.
    void multiply(bool at_origin) {
        const auto& g = green_time_;
        chi_time_[0] = (-g[0]) * g[0];
        for (std::size_t l = 1; l < g.size(); ++l) {
            chi_time_[l] = g[l] * g[g.size() - l];
        }
        if (at_origin) {
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

    int frequencies_;
    int times_;
    double beta_;
    double one_over_points_;
    std::vector<double> buffer_;  // 4N interleaved values
    std::vector<Complex> green_time_;
    std::vector<Complex> chi_time_;
    EngineWork work_;
};

}  // namespace

double fourier_route_bytes(const StudyModel& model) {
    const double lattice_scratch = 2.0 * model.lattice * model.lattice * sizeof(double);
    const double site_scratch = (4.0 * model.times() + 2.0 * model.times()) * sizeof(Complex);
    return SeriesGrid::bytes(model.lattice, model.bosons()) + lattice_scratch + 2.0 * site_scratch;
}

SeriesGrid fourier_route(const StudyModel& model) {
    const int lattice = model.lattice;
    const double step = momentum_step(lattice);
    SeriesGrid grid(lattice, model.bosons());

    // G0(k, iω_n), the band energy formed once per k.
    for (int x = 0; x < lattice; ++x) {
        for (int y = 0; y < lattice; ++y) {
            const double e = band_energy(model.band, x * step, y * step);
            const std::span<Complex> series = grid.series(x, y);
            for (int n = 0; n < model.frequencies; ++n) {
                series[static_cast<std::size_t>(n)] = free_green_at(e, fermion_frequency(n, model.beta));
            }
        }
    }

    LatticeSlices slices(lattice);
    slices.towards_real_space(grid, model.frequencies);

    SiteTimePath path(model);
    for (int x = 0; x < lattice; ++x) {
        for (int y = 0; y < lattice; ++y) {
            path.carry(grid.series(x, y), x == 0 && y == 0);
        }
    }

    slices.towards_momentum(grid, model.bosons());
    return grid;
}

}  // namespace lattice_bubble
