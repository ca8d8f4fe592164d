#include "model/tight_binding.h"

#include <Eigen/Dense>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <istream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string_view>

#include "common/failure.h"
#include "common/parallel.h"
#include "model/lattice_model.h"

namespace lattice_bubble {
namespace {

constexpr int per_degeneracy_line = 15;
constexpr long long max_hopping_lines = 1'000'000'000;
constexpr int max_mesh_side = 1 << 20;
constexpr long long max_mesh_values = 1LL << 40;

std::string number(double value) {
    std::ostringstream text;
    text << std::setprecision(10) << value;
    return text.str();
}

std::string vector_text(const std::array<int, 3>& r) {
    std::ostringstream text;
    text << '(' << r[0] << ", " << r[1] << ", " << r[2] << ')';
    return text.str();
}

// The file line by line, with the number of the line last read.
class LineReader {
public:
    LineReader(std::istream& in, const std::string& name) : in_(in), name_(name) {}

    // The next line's fields; false at the end of the stream.
    bool next() {
        std::string text;
        if (!std::getline(in_, text)) {
            if (in_.bad()) {
                fail_at(line_ + 1, "the file could not be read");
            }
            return false;
        }
        ++line_;
        fields_.clear();
        std::istringstream words(text);
        for (std::string word; words >> word;) {
            fields_.push_back(word);
        }
        return true;
    }

    [[nodiscard]] int line() const { return line_; }
    [[nodiscard]] const std::vector<std::string>& fields() const { return fields_; }

    [[noreturn]] void fail_at(int line, const std::string& reason) const {
        throw ModelFileError(name_, line, reason);
    }
    [[noreturn]] void fail(const std::string& reason) const { fail_at(line_, reason); }

    // A line that must be there, for what it holds.
    void require(const std::string& what) {
        if (!next()) {
            fail_at(line_ + 1, "the file ends where " + what + " goes");
        }
    }

    // A line of exactly `count` fields.
    void require_fields(std::size_t count, const std::string& what) {
        if (fields_.size() != count) {
            fail(std::to_string(fields_.size()) + " numbers where " + what + " goes, " +
                 std::to_string(count) + (count == 1 ? " number" : " numbers"));
        }
    }

    // A decimal integer with an optional sign.
    int integer(const std::string& field, const std::string& what) const {
        const char* first = field.data() + (field.starts_with('+') ? 1 : 0);
        const char* last = field.data() + field.size();
        int value = 0;
        const auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc{} || end != last || first == last) {
            fail(what + " '" + field + "' is not an integer");
        }
        return value;
    }

    // A finite decimal number, Fortran's D exponent read as E, and half a
    // unit in its last printed digit: 0.5·10^(e − d) for d digits after the
    // point and the exponent e.
    std::pair<double, double> real(const std::string& field, const std::string& what) const {
        std::string text = field.substr(field.starts_with('+') ? 1 : 0);
        std::ranges::replace(text, 'D', 'e');
        std::ranges::replace(text, 'd', 'e');
        double value = 0.0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc::result_out_of_range || (error == std::errc{} && !std::isfinite(value))) {
            fail(what + " '" + field + "' is not a finite number");
        }
        if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
            fail(what + " '" + field + "' is not a number");
        }
        const std::size_t exponent_at = text.find_first_of("eE");
        const std::string mantissa = text.substr(0, exponent_at);
        const std::size_t point = mantissa.find('.');
        const int decimals = point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
        int exponent = 0;
        if (exponent_at != std::string::npos) {
            const std::string power = text.substr(exponent_at + 1);
            const char* first = power.data() + (power.starts_with('+') ? 1 : 0);
            std::from_chars(first, power.data() + power.size(), exponent);
        }
        return {value, 0.5 * std::pow(10.0, exponent - decimals)};
    }

private:
    std::istream& in_;
    const std::string& name_;
    int line_ = 0;
    std::vector<std::string> fields_;
};

// Half a unit in the last printed digit of re and im, and the line, of every
// (R, a, b) in the file's order: what the Hermiticity check needs.
struct Printed {
    double re = 0.0;
    double im = 0.0;
    int line = 0;
};

// |x − y| beyond what the printed digits allow: their half units over their
// degeneracies, and a few roundings of the reading and the division.
bool differ(double x, double y, double allowed) {
    constexpr double rounding = 8.0 * std::numeric_limits<double>::epsilon();
    return std::fabs(x - y) > allowed + rounding * (std::fabs(x) + std::fabs(y));
}

void check_hermitian(const TightBindingModel& model, const std::vector<int>& degeneracy,
                     const std::vector<Printed>& printed, const std::vector<int>& block_line,
                     const LineReader& reader) {
    const int n = model.orbitals;
    const auto nn = static_cast<std::size_t>(n) * n;
    std::map<std::array<int, 3>, std::size_t> block_of;
    for (std::size_t r = 0; r < model.hoppings.size(); ++r) {
        block_of.emplace(model.hoppings[r].r, r);
    }
    for (std::size_t r = 0; r < model.hoppings.size(); ++r) {
        const auto& vector = model.hoppings[r].r;
        const std::array<int, 3> opposite{-vector[0], -vector[1], -vector[2]};
        const auto partner = block_of.find(opposite);
        if (partner == block_of.end()) {
            reader.fail_at(block_line[r], "lattice vector " + vector_text(vector) + " has no partner " +
                                              vector_text(opposite));
        }
        const std::size_t p = partner->second;
        for (int a = 0; a < n; ++a) {
            for (int b = 0; b < n; ++b) {
                const std::size_t here = static_cast<std::size_t>(a) * n + b;
                const std::size_t there = static_cast<std::size_t>(b) * n + a;
                const std::complex<double> h = model.hoppings[r].matrix[here];
                const std::complex<double> mirror = std::conj(model.hoppings[p].matrix[there]);
                const Printed& mine = printed[r * nn + here];
                const Printed& its = printed[p * nn + there];
                const double allowed_re = mine.re / degeneracy[r] + its.re / degeneracy[p];
                const double allowed_im = mine.im / degeneracy[r] + its.im / degeneracy[p];
                if (differ(h.real(), mirror.real(), allowed_re) ||
                    differ(h.imag(), mirror.imag(), allowed_im)) {
                    reader.fail_at(mine.line, "H_" + std::to_string(a + 1) + std::to_string(b + 1) +
                                                  vector_text(vector) + " = (" + number(h.real()) + ", " +
                                                  number(h.imag()) + ") is not conj(H_" +
                                                  std::to_string(b + 1) + std::to_string(a + 1) +
                                                  vector_text(opposite) + ") = (" + number(mirror.real()) +
                                                  ", " + number(mirror.imag()) + ") of line " +
                                                  std::to_string(its.line) + " to the printed precision (" +
                                                  number(allowed_re) + ", " + number(allowed_im) + ")");
                }
            }
        }
    }
}

void check_mesh(const TightBindingModel& model, const std::array<int, 3>& mesh,
                const std::array<double, 3>& shift, double mu) {
    long long values = static_cast<long long>(model.orbitals) * model.orbitals;
    for (int j = 0; j < 3; ++j) {
        const std::string direction = "direction " + std::to_string(j + 1);
        if (mesh[j] < 1 || mesh[j] > max_mesh_side) {
            throw ModelError("the mesh's side " + std::to_string(mesh[j]) + " in " + direction +
                             " is outside 1 ... " + std::to_string(max_mesh_side));
        }
        if (j >= model.dimension && mesh[j] != 1) {
            throw ModelError("the model's lattice vectors do not use " + direction + ": its side is " +
                             std::to_string(mesh[j]) + ", not 1");
        }
        if (!(shift[j] >= 0.0 && shift[j] < 1.0)) {
            throw ModelError("the mesh's shift " + number(shift[j]) + " in " + direction +
                             " is outside [0, 1)");
        }
        values *= mesh[j];
    }
    if (values > max_mesh_values) {
        throw ModelError("the mesh's eigenvectors would be " + std::to_string(values) +
                         " values, more than 2^40");
    }
    if (!std::isfinite(mu)) {
        throw ModelError("the chemical potential " + number(mu) + " is not finite");
    }
}

void fill_hamiltonian(const TightBindingModel& model, const std::array<int, 3>& mesh,
                      const std::array<double, 3>& shift, const std::array<long long, 3>& index, double mu,
                      std::complex<double>* h) {
    const auto nn = static_cast<std::size_t>(model.orbitals) * model.orbitals;
    std::array<double, 3> point{};
    for (int j = 0; j < 3; ++j) {
        point[j] = static_cast<double>(index[j]) + shift[j];
    }
    std::vector<double> re(nn, 0.0);
    std::vector<double> im(nn, 0.0);
    for (const auto& block : model.hoppings) {
        std::array<double, 3> x{};
        for (int j = 0; j < 3; ++j) {
            x[j] = std::fmod(point[j] * block.r[j], static_cast<double>(mesh[j])) / mesh[j];
        }
        const double theta = (2.0 * pi) * ((x[0] + x[1]) + x[2]);
        const double c = std::cos(theta);
        const double s = std::sin(theta);
        for (std::size_t e = 0; e < nn; ++e) {
            const double hr = block.matrix[e].real();
            const double hi = block.matrix[e].imag();
            re[e] = re[e] + (hr * c - hi * s);
            im[e] = im[e] + (hr * s + hi * c);
        }
    }
    for (std::size_t e = 0; e < nn; ++e) {
        h[e] = {re[e], im[e]};
    }
    for (int a = 0; a < model.orbitals; ++a) {
        const auto d = static_cast<std::size_t>(a) * model.orbitals + a;
        h[d] = {h[d].real() - mu, h[d].imag()};
    }
}

void check_beta(double inverse_temperature) {
    if (!(inverse_temperature > 0.0 && std::isfinite(inverse_temperature))) {
        throw ModelError("the inverse temperature " + number(inverse_temperature) +
                         " is not positive and finite");
    }
}

// (1/N_k)·Σ f(ε − μ) over the energies in storage order.
double filling(const std::vector<double>& energy, long long points, double mu, double inverse_temperature) {
    double occupied = 0.0;
    for (const double e : energy) {
        occupied += fermi(e - mu, inverse_temperature);
    }
    return occupied / static_cast<double>(points);
}

}  // namespace

TightBindingModel read_hr(std::istream& in, const std::string& name) {
    LineReader reader(in, name);
    if (!reader.next()) {
        reader.fail_at(1, "the file is empty: line 1, a comment, is missing");
    }
    TightBindingModel model;
    reader.require("the number of orbitals");
    reader.require_fields(1, "the number of orbitals");
    const int n = reader.integer(reader.fields()[0], "the number of orbitals");
    if (n < 1 || n > max_model_orbitals) {
        reader.fail(std::to_string(n) + " orbitals, outside 1 ... " + std::to_string(max_model_orbitals));
    }
    model.orbitals = n;
    reader.require("the number of lattice vectors");
    reader.require_fields(1, "the number of lattice vectors");
    const int count = reader.integer(reader.fields()[0], "the number of lattice vectors");
    const long long nn = static_cast<long long>(n) * n;
    if (count < 1 || count * nn > max_hopping_lines) {
        reader.fail(std::to_string(count) + " lattice vectors, outside 1 ... " +
                    std::to_string(max_hopping_lines / nn) + " for " + std::to_string(n) + " orbitals");
    }

    std::vector<int> degeneracy;
    while (static_cast<int>(degeneracy.size()) < count) {
        const int on_line = std::min(per_degeneracy_line, count - static_cast<int>(degeneracy.size()));
        reader.require("a line of degeneracies");
        reader.require_fields(static_cast<std::size_t>(on_line), "a line of degeneracies");
        for (const auto& field : reader.fields()) {
            const int deg = reader.integer(field, "degeneracy");
            if (deg < 1) {
                reader.fail("degeneracy " + std::to_string(deg) + " of lattice vector " +
                            std::to_string(degeneracy.size() + 1) + " is not positive");
            }
            degeneracy.push_back(deg);
        }
    }

    std::vector<Printed> printed;
    std::vector<int> block_line;
    std::map<std::array<int, 3>, int> seen;
    const std::string what = "a hopping line, R1 R2 R3 a b re im,";
    for (int r = 0; r < count; ++r) {
        TightBindingModel::Hopping block;
        block.matrix.assign(static_cast<std::size_t>(nn), {});
        std::vector<int> entry_line(static_cast<std::size_t>(nn), 0);
        printed.resize(printed.size() + static_cast<std::size_t>(nn));
        for (long long e = 0; e < nn; ++e) {
            if (!reader.next()) {
                reader.fail_at(reader.line() + 1, "the file ends after " + std::to_string(r * nn + e) +
                                                      " of the " + std::to_string(count * nn) +
                                                      " hopping lines");
            }
            reader.require_fields(7, what);
            const auto& f = reader.fields();
            const std::array<int, 3> vector{reader.integer(f[0], "R1"), reader.integer(f[1], "R2"),
                                            reader.integer(f[2], "R3")};
            if (e == 0) {
                const auto [earlier, fresh] = seen.emplace(vector, reader.line());
                if (!fresh) {
                    reader.fail("lattice vector " + vector_text(vector) + " again: its block began on line " +
                                std::to_string(earlier->second));
                }
                block.r = vector;
                block_line.push_back(reader.line());
            } else if (vector != block.r) {
                reader.fail("lattice vector " + vector_text(vector) + " inside the block of " +
                            vector_text(block.r) + " that began on line " +
                            std::to_string(block_line.back()) +
                            " (each lattice vector has n*n = " + std::to_string(nn) + " lines)");
            }
            std::array<int, 2> orbital{};
            for (int i = 0; i < 2; ++i) {
                orbital[i] = reader.integer(f[3 + i], "orbital index");
                if (orbital[i] < 1 || orbital[i] > n) {
                    reader.fail("orbital index " + std::to_string(orbital[i]) + " outside 1 ... " +
                                std::to_string(n));
                }
            }
            const auto at = static_cast<std::size_t>(orbital[0] - 1) * n + (orbital[1] - 1);
            if (entry_line[at] != 0) {
                reader.fail("R = " + vector_text(vector) + ", a = " + std::to_string(orbital[0]) +
                            ", b = " + std::to_string(orbital[1]) + " again: first on line " +
                            std::to_string(entry_line[at]));
            }
            entry_line[at] = reader.line();
            const auto [re, re_unit] = reader.real(f[5], "re");
            const auto [im, im_unit] = reader.real(f[6], "im");
            block.matrix[at] = {re / degeneracy[r], im / degeneracy[r]};
            printed[r * nn + at] = {re_unit, im_unit, reader.line()};
        }
        for (int j = 0; j < 3; ++j) {
            if (block.r[j] != 0) {
                model.dimension = std::max(model.dimension, j + 1);
            }
        }
        model.hoppings.push_back(std::move(block));
    }
    const long long lines = 3 + (count + per_degeneracy_line - 1) / per_degeneracy_line + count * nn;
    while (reader.next()) {
        if (!reader.fields().empty()) {
            reader.fail("more than the " + std::to_string(lines) + " lines of " + std::to_string(count) +
                        " lattice vectors and " + std::to_string(n) + " orbitals");
        }
    }
    check_hermitian(model, degeneracy, printed, block_line, reader);
    return model;
}

TightBindingModel read_hr_file(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw ModelFileError(path, 0, "cannot be opened for reading");
    }
    return read_hr(in, path);
}

std::vector<std::complex<double>> hamiltonian_at(const TightBindingModel& model, std::array<int, 3> mesh,
                                                 std::array<double, 3> shift, std::array<int, 3> index,
                                                 double mu) {
    check_mesh(model, mesh, shift, mu);
    std::vector<std::complex<double>> h(static_cast<std::size_t>(model.orbitals) * model.orbitals);
    fill_hamiltonian(model, mesh, shift, {index[0], index[1], index[2]}, mu, h.data());
    return h;
}

MeshBands bands_on_mesh(const TightBindingModel& model, std::array<int, 3> mesh, std::array<double, 3> shift,
                        double mu, int threads) {
    check_mesh(model, mesh, shift, mu);
    if (threads < 1) {
        throw ModelError("the thread count " + std::to_string(threads) + " is not positive");
    }
    const int n = model.orbitals;
    MeshBands bands;
    bands.orbitals = n;
    bands.mesh = mesh;
    const long long points = bands.points();
    bands.energy.resize(static_cast<std::size_t>(points * n));
    bands.vectors.resize(static_cast<std::size_t>(points * n * n));

    struct Scratch {
        explicit Scratch(int size)
            : h(static_cast<std::size_t>(size) * size), matrix(size, size), solver(size) {}
        std::vector<std::complex<double>> h;
        Eigen::MatrixXcd matrix;
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd> solver;
    };
    std::vector<std::unique_ptr<Scratch>> scratch;
    for (long long t = 0; t < std::min<long long>(threads, points); ++t) {
        scratch.push_back(std::make_unique<Scratch>(n));
    }
    parallel_ranges(points, scratch, [&](std::unique_ptr<Scratch>& mine, long long begin, long long end) {
        Scratch& own = *mine;
        for (long long k = begin; k < end; ++k) {
            const std::array<long long, 3> index{k / (static_cast<long long>(mesh[1]) * mesh[2]),
                                                 (k / mesh[2]) % mesh[1], k % mesh[2]};
            fill_hamiltonian(model, mesh, shift, index, mu, own.h.data());
            for (int a = 0; a < n; ++a) {
                for (int b = 0; b < n; ++b) {
                    own.matrix(a, b) = own.h[static_cast<std::size_t>(a) * n + b];
                }
            }
            own.solver.compute(own.matrix, Eigen::ComputeEigenvectors);
            if (own.solver.info() != Eigen::Success) {
                throw ModelError("the eigensolver did not converge at mesh point " + std::to_string(k));
            }
            for (int s = 0; s < n; ++s) {
                bands.energy[static_cast<std::size_t>(k * n + s)] = own.solver.eigenvalues()(s);
                for (int a = 0; a < n; ++a) {
                    bands.vectors[static_cast<std::size_t>((k * n + a) * n + s)] =
                        own.solver.eigenvectors()(a, s);
                }
            }
        }
    });
    return bands;
}

double density(const MeshBands& bands, double inverse_temperature) {
    check_beta(inverse_temperature);
    if (bands.energy.empty()) {
        throw ModelError("the bands hold no energies");
    }
    return filling(bands.energy, bands.points(), 0.0, inverse_temperature);
}

double mu_for_density(const TightBindingModel& model, std::array<int, 3> mesh, std::array<double, 3> shift,
                      double inverse_temperature, double target, int threads) {
    check_beta(inverse_temperature);
    if (!(target > 0.0 && target < model.orbitals)) {
        throw ModelError("the density " + number(target) + " is outside (0, " +
                         std::to_string(model.orbitals) + ") for " + std::to_string(model.orbitals) +
                         " orbitals");
    }
    const MeshBands bands = bands_on_mesh(model, mesh, shift, 0.0, threads);
    const long long points = bands.points();
    const auto excess = [&](double mu) {
        return filling(bands.energy, points, mu, inverse_temperature) - target;
    };
    const auto [low_energy, high_energy] = std::ranges::minmax_element(bands.energy);
    double step = std::max(1.0, *high_energy - *low_energy);
    double low = *low_energy - step;
    double high = *high_energy + step;
    while (excess(low) > 0.0) {
        low -= step;
        step *= 2.0;
    }
    while (excess(high) < 0.0) {
        high += step;
        step *= 2.0;
    }
    if (!std::isfinite(low) || !std::isfinite(high)) {
        throw ModelError("no finite chemical potential gives the density " + number(target) +
                         " at inverse temperature " + number(inverse_temperature));
    }
    constexpr double accuracy = 1e-12;
    for (;;) {
        const double middle = low + (high - low) / 2.0;
        if (middle == low || middle == high) {
            return std::fabs(excess(low)) <= std::fabs(excess(high)) ? low : high;
        }
        const double off = excess(middle);
        if (std::fabs(off) <= accuracy) {
            return middle;
        }
        (off < 0.0 ? low : high) = middle;
    }
}

}  // namespace lattice_bubble
