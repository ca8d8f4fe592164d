#include "routes/tail_grid.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace lattice_bubble {
namespace {

constexpr double coefficient = 1.3e-3;  // A
constexpr int largest_frequencies = 1 << 30;

// r, the rounding floor relative to β/4.
double rounding_floor(double x) { return 3e-15 + 4e-18 * x * x; }

// The smallest 2^a·3^b·5^c ≥ n, for 1 ≤ n ≤ 2^30.
int smooth_at_least(int n) {
    long long best = largest_frequencies;
    for (long long p5 = 1; p5 < 2LL * n; p5 *= 5) {
        for (long long p35 = p5; p35 < 2LL * n; p35 *= 3) {
            long long size = p35;
            while (size < n) {
                size *= 2;
            }
            best = std::min(best, size);
        }
    }
    return static_cast<int>(best);
}

}  // namespace

double tail_bound(int frequencies, double inverse_temperature, double energy) {
    const double x = inverse_temperature * energy;
    const double n2 = static_cast<double>(frequencies) * frequencies;
    return 4.0 * coefficient * x * x * x / (n2 * n2) + rounding_floor(x);
}

TailGrid tail_grid_for(double inverse_temperature, double energy, double tolerance) {
    const double x = inverse_temperature * energy;
    const double rounding = rounding_floor(x);
    const double truncation = tolerance > rounding ? tolerance - rounding : rounding;
    const double least = std::pow(4.0 * coefficient / truncation, 0.25) * std::pow(x, 0.75);
    int n =
        least < largest_frequencies ? std::max(1, static_cast<int>(std::ceil(least))) : largest_frequencies;
    n = smooth_at_least(n);
    // ⌈least⌉ can miss by a rounding of the powers: the next size holds.
    while (n < largest_frequencies && tail_bound(n, inverse_temperature, energy) > rounding + truncation) {
        n = smooth_at_least(n + 1);
    }
    return {n, tail_bound(n, inverse_temperature, energy), inverse_temperature / 4.0};
}

double tail_energy(const StudyModel& model) {
    const std::vector<double> energy = band_on_grid(model);
    double largest = 0.0;
    for (const double e : energy) {
        largest = std::max(largest, std::abs(e));
    }
    return largest;
}

}  // namespace lattice_bubble
