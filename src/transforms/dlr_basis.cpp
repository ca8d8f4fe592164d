#include "transforms/dlr_basis.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <utility>

namespace lattice_bubble {
namespace {

constexpr int points_per_panel = 24;

// The Chebyshev points of the first kind on [a, b], from a upward:
// a + (b − a)·(1 − cos((2j + 1)π/(2n)))/2.
std::vector<double> chebyshev_panel(double a, double b) {
    std::vector<double> points;
    for (int j = 0; j < points_per_panel; ++j) {
        const double x = std::cos((2 * j + 1) * std::numbers::pi / (2 * points_per_panel));
        points.push_back(a + (b - a) * ((1.0 - x) / 2.0));
    }
    return points;
}

// Panels [0, 1], [1, 2], [2, 4], … ending at Λ, each with its Chebyshev points, and their mirror.
std::vector<double> frequency_grid(double lambda) {
    std::vector<double> positive = chebyshev_panel(0.0, std::min(1.0, lambda));
    for (double a = 1.0; a < lambda; a *= 2.0) {
        const std::vector<double> panel = chebyshev_panel(a, std::min(2.0 * a, lambda));
        positive.insert(positive.end(), panel.begin(), panel.end());
    }
    std::vector<double> grid;
    for (auto w = positive.rbegin(); w != positive.rend(); ++w) {
        grid.push_back(-*w);
    }
    grid.insert(grid.end(), positive.begin(), positive.end());
    return grid;
}

// Panels halving from [1/4, 1/2] toward 0 until the smallest, [0, h], has
// h ≤ 1/Λ, with their Chebyshev points; and their mirror toward 1, each
// time held as (1 − s, s) with s its exact distance from 1.
std::vector<UnitTime> time_grid(double lambda) {
    std::vector<double> lower;
    double h = 0.5;
    while (h > 1.0 / lambda && h > 0x1p-40) {
        h /= 2.0;
    }
    const std::vector<double> first = chebyshev_panel(0.0, h);
    lower.insert(lower.end(), first.begin(), first.end());
    for (double a = h; a < 0.5; a *= 2.0) {
        const std::vector<double> panel = chebyshev_panel(a, 2.0 * a);
        lower.insert(lower.end(), panel.begin(), panel.end());
    }
    std::vector<UnitTime> grid;
    for (const double s : lower) {
        grid.push_back({s, 1.0 - s});
    }
    for (auto s = lower.rbegin(); s != lower.rend(); ++s) {
        grid.push_back({1.0 - *s, *s});
    }
    return grid;
}

// The columns a column-pivoted QR of `matrix` takes first, in its order,
// while the largest norm of a column's part outside the span of those
// already taken (|R_ll| of the full factorisation) exceeds ε. Modified
// Gram–Schmidt stopped there costs O(rows·columns·r), not the cube of the
// full QR. Its updated parts carry the rounding of every earlier projection,
// about u·|column| each, as large as ε = 1e-14 for the longest columns; a
// part that only rounding keeps above ε must not become a direction, so the
// candidate pivot's part is formed again from its column, projected twice on
// the directions so far (twice is enough for orthogonality), and the
// candidate is taken only if it is still the largest. A column whose
// part is ≤ ε can never be a pivot (projections only shrink it) and is
// left alone. `remaining` is the matrix, whose columns the QR overwrites
// with their parts; column(j) forms column j again.
template <typename Column>
std::vector<Eigen::Index> leading_pivots(Eigen::MatrixXd remaining, Column column, double epsilon) {
    const Eigen::Index rows = remaining.rows();
    const Eigen::Index columns = remaining.cols();
    const Eigen::Index most = std::min(rows, columns);
    const double floor = epsilon * epsilon;
    Eigen::MatrixXd directions(rows, most);  // orthonormal, one per pivot
    std::vector<Eigen::Index> open(static_cast<std::size_t>(columns));
    std::vector<double> norm2(open.size());
    std::vector<Eigen::Index> formed_at(open.size(), -1);  // the step whose directions a part was formed on
    for (Eigen::Index j = 0; j < columns; ++j) {
        open[static_cast<std::size_t>(j)] = j;
        norm2[static_cast<std::size_t>(j)] = remaining.col(j).squaredNorm();
    }
    std::vector<Eigen::Index> pivots;
    while (static_cast<Eigen::Index>(pivots.size()) < most) {
        const auto l = static_cast<Eigen::Index>(pivots.size());
        // The largest, the first of equals, as Eigen's pivoting takes it.
        std::size_t best = open.size();
        double largest = floor;
        for (std::size_t i = 0; i < open.size(); ++i) {
            if (norm2[static_cast<std::size_t>(open[i])] > largest) {
                largest = norm2[static_cast<std::size_t>(open[i])];
                best = i;
            }
        }
        if (best == open.size()) {
            break;
        }
        const Eigen::Index pivot = open[best];
        const auto p = static_cast<std::size_t>(pivot);
        if (formed_at[p] != l) {
            const auto taken = directions.leftCols(l);
            Eigen::VectorXd part = column(pivot);
            for (int pass = 0; pass < 2; ++pass) {
                const Eigen::VectorXd overlap = taken.transpose() * part;
                part -= taken * overlap;
            }
            remaining.col(pivot) = part;
            norm2[p] = part.squaredNorm();
            formed_at[p] = l;
            if (norm2[p] <= floor) {
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(best));
            }
            continue;
        }
        const Eigen::VectorXd q = remaining.col(pivot) / std::sqrt(norm2[p]);
        directions.col(l) = q;
        pivots.push_back(pivot);
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(best));
        std::size_t kept = 0;
        for (const Eigen::Index j : open) {
            auto part = remaining.col(j);
            part -= q.dot(part) * q;
            norm2[static_cast<std::size_t>(j)] = part.squaredNorm();
            if (norm2[static_cast<std::size_t>(j)] > floor) {
                open[kept++] = j;
            }
        }
        open.resize(kept);
    }
    return pivots;
}

}  // namespace

double dlr_kernel(UnitTime t, double w) {
    return kernel_numerator(w, t.t, t.complement) / kernel_denominator(w, 1.0);
}

Complex dlr_kernel_at_frequency(double w, double inverse_temperature, double nu) {
    if (w == 0.0) {
        return Complex{nu == 0.0 ? inverse_temperature / 2.0 : 0.0, 0.0};
    }
    return Complex{inverse_temperature * std::tanh(w / 2.0), 0.0} / Complex{w, -(inverse_temperature * nu)};
}

struct DlrBasis::Solver {
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr;
};

DlrBasis::DlrBasis(double lambda, double epsilon)
    : lambda_(std::max(lambda, 1.0)), epsilon_(epsilon), solver_(std::make_unique<Solver>()) {
    const std::vector<double> w = frequency_grid(lambda_);
    const std::vector<UnitTime> t = time_grid(lambda_);
    const auto rows = static_cast<Eigen::Index>(t.size());
    const auto columns = static_cast<Eigen::Index>(w.size());
    // K(t_i, w_j) over the fine times.
    const auto column = [&](Eigen::Index j) {
        Eigen::VectorXd values(rows);
        for (Eigen::Index i = 0; i < rows; ++i) {
            values(i) = dlr_kernel(t[static_cast<std::size_t>(i)], w[static_cast<std::size_t>(j)]);
        }
        return values;
    };
    Eigen::MatrixXd kernel(rows, columns);
    for (Eigen::Index j = 0; j < columns; ++j) {
        kernel.col(j) = column(j);
    }
    // The frequencies: the pivots of K while the remaining column's norm exceeds ε.
    const std::vector<Eigen::Index> pivots = leading_pivots(std::move(kernel), column, epsilon_);
    const auto rank = static_cast<Eigen::Index>(pivots.size());
    Eigen::MatrixXd chosen(rank, rows);
    for (Eigen::Index l = 0; l < rank; ++l) {
        const Eigen::Index j = pivots[static_cast<std::size_t>(l)];
        frequencies_.push_back(w[static_cast<std::size_t>(j)]);
        chosen.row(l) = column(j).transpose();
    }
    // The times: the first r pivots of the chosen columns' transpose.
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> by_time(chosen);
    Eigen::MatrixXd system(rank, rank);
    for (Eigen::Index k = 0; k < rank; ++k) {
        const Eigen::Index i = by_time.colsPermutation().indices()(k);
        times_.push_back(t[static_cast<std::size_t>(i)]);
        system.row(k) = chosen.col(i).transpose();
    }
    solver_->qr.compute(system);
}

DlrBasis::~DlrBasis() = default;
DlrBasis::DlrBasis(DlrBasis&&) noexcept = default;
DlrBasis& DlrBasis::operator=(DlrBasis&&) noexcept = default;

void DlrBasis::coefficients(std::span<const double> values, std::span<double> c) const {
    const Eigen::VectorXd right = Eigen::Map<const Eigen::VectorXd>(values.data(), rank());
    const Eigen::VectorXd solution = solver_->qr.solve(right);
    std::copy(solution.data(), solution.data() + rank(), c.begin());
}

double DlrBasis::construction_bytes(double lambda) {
    const double panels = 2.0 * (std::ceil(std::log2(std::max(lambda, 1.0))) + 2.0);
    const double side = panels * points_per_panel;
    return 4.0 * side * side * sizeof(double);
}

int DlrBasis::rank_bound(double lambda, double epsilon) {
    // Measured ranks are at most 0.6·(1 + log10(1/ε))·(2 + log2 Λ) (tests/transforms).
    const double panels = std::ceil(std::log2(std::max(lambda, 1.0))) + 2.0;
    const double estimate =
        0.75 * (1.0 + std::log10(1.0 / epsilon)) * (2.0 + std::log2(std::max(lambda, 1.0)));
    return static_cast<int>(std::min(2.0 * panels * points_per_panel, std::ceil(estimate)));
}

std::shared_ptr<const DlrBasis> shared_dlr_basis(double lambda, double epsilon) {
    constexpr std::size_t kept = 4;  // a handful of temperatures and tolerances
    static std::mutex lock;
    static std::vector<std::shared_ptr<const DlrBasis>> recent;  // the most recently asked for last
    const double taken = std::max(lambda, 1.0);
    // The basis if it is kept, made the most recent; else null.
    const auto kept_basis = [&]() -> std::shared_ptr<const DlrBasis> {
        const auto found = std::find_if(recent.begin(), recent.end(), [&](const auto& basis) {
            return basis->lambda() == taken && basis->epsilon() == epsilon;
        });
        if (found == recent.end()) {
            return nullptr;
        }
        std::rotate(found, found + 1, recent.end());
        return recent.back();
    };
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (std::shared_ptr<const DlrBasis> basis = kept_basis()) {
            return basis;
        }
    }
    // Built without the lock, so that a call for another basis need not wait;
    // two calls for the same one may both build it, and the first is kept.
    auto built = std::make_shared<const DlrBasis>(lambda, epsilon);
    const std::lock_guard<std::mutex> guard(lock);
    if (std::shared_ptr<const DlrBasis> basis = kept_basis()) {
        return basis;
    }
    if (recent.size() == kept) {
        recent.erase(recent.begin());
    }
    recent.push_back(built);
    return built;
}

}  // namespace lattice_bubble
