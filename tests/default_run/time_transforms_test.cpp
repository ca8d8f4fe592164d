#include "default_run/time_transforms.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>

#include "model/lattice_model.h"
#include "support/capture.h"
#include "support/golden.h"

namespace lattice_bubble {
namespace {

using LongComplex = std::complex<long double>;
constexpr long double pi_l = std::numbers::pi_v<long double>;

LongComplex phase(long double angle) { return {std::cos(angle), std::sin(angle)}; }
LongComplex wide(const Complex& z) { return {z.re, z.im}; }

template <std::size_t N>
std::array<Complex, N> random_series(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::array<Complex, N> values{};
    for (auto& v : values) {
        const double re = u(rng);
        v = Complex{re, u(rng)};
    }
    return values;
}

template <std::size_t N>
double largest_difference(const std::array<Complex, N>& got, const std::array<LongComplex, N>& expected) {
    long double worst = 0;
    for (std::size_t i = 0; i < N; ++i) {
        worst = std::max(worst, std::abs(wide(got[i]) - expected[i]));
    }
    return static_cast<double>(worst);
}

// The Matsubara sums, straight from their definitions, in long double, for the
// frequencies w_k = (2k + odd)π/β (odd = 1: fermionic, 0: bosonic) and the
// times τ_l = l·β/32.
long double frequency(int k, int odd) { return (2 * k + odd) * pi_l / beta; }
long double time_point(int l) { return l * beta / time_count; }

// (β/32)·Σ_l e^{+iw_k τ_l}·x(τ_l), k = 0 … N − 1: the left-point rule.
template <std::size_t N>
std::array<LongComplex, N> left_point_rule(const TimeSeries& time, int odd) {
    std::array<LongComplex, N> expected{};
    for (std::size_t k = 0; k < N; ++k) {
        for (int l = 0; l < time_count; ++l) {
            expected[k] += phase(frequency(static_cast<int>(k), odd) * time_point(l)) * wide(time[l]);
        }
        expected[k] *= beta / time_count;
    }
    return expected;
}

// (1/β)·Σ_{k=first}^{last} [e^{−iw_k τ_l}·x_k + e^{+iw_k τ_l}·conj x_k], l = 0 … 31.
template <std::size_t N>
std::array<LongComplex, time_count> conjugate_pair_sum(const std::array<Complex, N>& freq, int odd, int first,
                                               int last) {
    std::array<LongComplex, time_count> expected{};
    for (int l = 0; l < time_count; ++l) {
        for (int k = first; k <= last; ++k) {
            const long double angle = frequency(k, odd) * time_point(l);
            expected[l] += phase(-angle) * wide(freq[k]) + phase(angle) * std::conj(wide(freq[k]));
        }
        expected[l] /= beta;
    }
    return expected;
}

TEST(OneSiteTransforms, FermionFrequencyToTimeIsTheMatsubaraSum) {
    const auto freq = random_series<fermion_count>(1);
    TimeSeries time{};
    fermion_freq_to_time(freq, time);
    EXPECT_LT(largest_difference(time, conjugate_pair_sum(freq, 1, 0, 15)), 1e-14);
}

TEST(OneSiteTransforms, FermionTimeToFrequencyIsTheLeftPointRule) {
    const auto time = random_series<time_count>(2);
    FermionSeries freq{};
    fermion_time_to_freq(time, freq);
    EXPECT_LT(largest_difference(freq, left_point_rule<fermion_count>(time, 1)), 1e-15);
}

TEST(OneSiteTransforms, BosonTimeToFrequencyIsTheLeftPointRule) {
    const auto time = random_series<time_count>(3);
    BosonSeries freq{};
    boson_time_to_freq(time, freq);
    EXPECT_LT(largest_difference(freq, left_point_rule<boson_count>(time, 0)), 1e-15);
}

TEST(OneSiteTransforms, BosonFrequencyToTimeIsTheRealMatsubaraSum) {
    const auto freq = random_series<boson_count>(4);
    TimeSeries time{};
    boson_freq_to_time(freq, time);
    auto expected = conjugate_pair_sum(freq, 0, 1, 15);
    for (int l = 0; l < time_count; ++l) {  // ν_0 and ν_16 are their own partners: real parts only
        expected[l] += (freq[0].re + ((l % 2 == 0) ? 1.0L : -1.0L) * freq[16].re) / beta;
    }
    EXPECT_LT(largest_difference(time, expected), 1e-14);
}

TEST(OneSiteTransforms, LowestFermionFrequencyAloneGivesACosine) {
    FermionSeries freq{};
    freq[0] = Complex{1.0, 0.0};
    TimeSeries time{};
    fermion_freq_to_time(freq, time);
    EXPECT_EQ(time[0].re, 2.0);
    for (int l = 0; l < time_count; ++l) {
        EXPECT_NEAR(time[l].re, 2.0 / beta * std::cos(pi * l / time_count), 1e-15) << "l = " << l;
        EXPECT_EQ(time[l].im, 0.0) << "l = " << l;
    }
    EXPECT_NEAR(time[1].re, 1.99037, 1e-5);
}

TEST(OneSiteTransforms, ConstantTimeSeriesHasOnlyTheStaticComponent) {
    TimeSeries time{};
    time.fill(Complex{0.3, -0.2});
    BosonSeries freq{};
    boson_time_to_freq(time, freq);
    EXPECT_NEAR(freq[0].re, beta * 0.3, 1e-16);
    EXPECT_NEAR(freq[0].im, beta * -0.2, 1e-16);
    for (int m = 1; m < boson_count; ++m) {
        EXPECT_LT(std::hypot(freq[m].re, freq[m].im), 1e-16) << "m = " << m;
    }
}

TEST(OneSiteTransforms, HighestBosonFrequencyAloneAlternatesAndItsImaginaryPartIsDropped) {
    BosonSeries freq{};
    freq[16] = Complex{1.0, 5.0};
    TimeSeries time{};
    boson_freq_to_time(freq, time);
    BosonSeries with_static_imaginary = freq;
    with_static_imaginary[0] = Complex{0.0, 3.0};
    TimeSeries same{};
    boson_freq_to_time(with_static_imaginary, same);
    for (int l = 0; l < time_count; ++l) {
        EXPECT_EQ(time[l].re, ((l % 2 == 0) ? 1.0 : -1.0) / beta) << "l = " << l;
        EXPECT_EQ(time[l].im, 0.0) << "l = " << l;
        EXPECT_EQ(same[l], time[l]) << "l = " << l;
    }
}

TEST(OneSiteTransforms, RoundTripsReturnTheirInputs) {
    const auto freq = random_series<fermion_count>(5);
    TimeSeries time{};
    fermion_freq_to_time(freq, time);
    FermionSeries back{};
    fermion_time_to_freq(time, back);
    for (int n = 0; n < fermion_count; ++n) {
        EXPECT_NEAR(back[n].re, freq[n].re, 2e-15);
        EXPECT_NEAR(back[n].im, freq[n].im, 2e-15);
    }

    auto real_time = random_series<time_count>(6);
    for (auto& v : real_time) {
        v.im = 0.0;
    }
    BosonSeries boson{};
    boson_time_to_freq(real_time, boson);
    TimeSeries time_back{};
    boson_freq_to_time(boson, time_back);
    for (int l = 0; l < time_count; ++l) {
        EXPECT_NEAR(time_back[l].re, real_time[l].re, 2e-15);
        EXPECT_NEAR(time_back[l].im, 0.0, 2e-15);
    }
}

// The four transforms on the golden inputs of their lengths (seeds 1 … 4),
// against the bits of one_site.golden.
template <std::size_t N>
std::array<Complex, N> golden_series(std::uint64_t seed) {
    const auto parts = testing::golden_input(2 * N, seed);
    std::array<Complex, N> values{};
    for (std::size_t i = 0; i < N; ++i) {
        values[i] = Complex{parts[2 * i], parts[2 * i + 1]};
    }
    return values;
}

template <typename Out, typename In, typename Transform>
std::vector<Complex> run_one_site(Transform transform, const In& input) {
    Out out{};
    transform(input, out);
    return {out.begin(), out.end()};
}

struct OneSiteCase {
    std::string name;
    std::vector<Complex> (*run)();
};

void PrintTo(const OneSiteCase& transform, std::ostream* out) { *out << transform.name; }

class OneSiteGolden : public ::testing::TestWithParam<OneSiteCase> {};

TEST_P(OneSiteGolden, BitsAreTheGoldenBits) {
    static const auto golden = testing::read_golden(testing::golden_dir() / "one_site.golden", 2);
    const auto values = GetParam().run();
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(testing::golden_mismatch(golden, GetParam().name + " " + std::to_string(i), values[i].re,
                                           values[i].im),
                  "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryTransform, OneSiteGolden,
    ::testing::Values(
        OneSiteCase{"fermion_freq_to_time",
                    [] { return run_one_site<TimeSeries>(fermion_freq_to_time, golden_series<fermion_count>(1)); }},
        OneSiteCase{"fermion_time_to_freq",
                    [] { return run_one_site<FermionSeries>(fermion_time_to_freq, golden_series<time_count>(2)); }},
        OneSiteCase{"boson_time_to_freq",
                    [] { return run_one_site<BosonSeries>(boson_time_to_freq, golden_series<time_count>(3)); }},
        OneSiteCase{"boson_freq_to_time",
                    [] { return run_one_site<TimeSeries>(boson_freq_to_time, golden_series<boson_count>(4)); }}),
    [](const ::testing::TestParamInfo<OneSiteCase>& param_info) { return param_info.param.name; });

TEST(TimeFftWrapper, OtherSignsReportOnceAndStillTransformByTheirSign) {
    const auto data = random_series<fft_points>(7);
    FftBuffer plus = data;
    FftBuffer minus = data;
    time_fft(plus, 1, 0);
    time_fft(minus, -1, 0);
    for (const auto& [sign, expected] : {std::pair{0, plus}, {2, plus}, {-3, minus}, {INT_MIN, minus}}) {
        FftBuffer got = data;
        EXPECT_EQ(testing::captured_stdout_of([&] { time_fft(got, sign, 0); }),
                  std::string(flag_error_message) + "\n");
        EXPECT_EQ(got, expected) << "sign " << sign;
    }
    FftBuffer quiet = data;
    EXPECT_EQ(testing::captured_stdout_of([&] { time_fft(quiet, -1, 1); }), "");
}

TEST(TimeFftWrapper, OnlyScaleOneDivides) {
    const auto data = random_series<fft_points>(8);
    FftBuffer unscaled = data;
    time_fft(unscaled, 1, 0);
    for (const int scale : {2, -1, 64}) {
        FftBuffer got = data;
        time_fft(got, 1, scale);
        EXPECT_EQ(got, unscaled) << "scale " << scale;
    }
    FftBuffer scaled = data;
    time_fft(scaled, 1, 1);
    for (int i = 0; i < fft_points; ++i) {
        EXPECT_EQ(scaled[i], unscaled[i] * 0.015625);
    }
    time_fft(scaled, -1, 0);  // +1 with 1/64, then −1: back to the input
    for (int i = 0; i < fft_points; ++i) {
        EXPECT_NEAR(scaled[i].re, data[i].re, 1e-15);
        EXPECT_NEAR(scaled[i].im, data[i].im, 1e-15);
    }
}

TEST(ShortFftWrapper, SixteenPointsUnscaled) {
    ShortFftBuffer data{};
    data[1] = Complex{1.0, 0.0};
    EXPECT_EQ(testing::captured_stdout_of([&] { short_fft(data, 1); }), "");
    for (int k = 0; k < short_fft_points; ++k) {
        EXPECT_NEAR(data[k].re, static_cast<double>(std::cos(2 * pi_l * k / 16)), 2e-16);
        EXPECT_NEAR(data[k].im, static_cast<double>(std::sin(2 * pi_l * k / 16)), 2e-16);
    }
    EXPECT_EQ(testing::captured_stdout_of([&] { short_fft(data, 5); }),
              std::string(flag_error_message) + "\n");
}

}  // namespace
}  // namespace lattice_bubble
