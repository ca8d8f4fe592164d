// Writes the golden files of tests/golden: the defined bits of the FFT engine,
// of the one-site transforms and of the run's result grids, as the program's
// own build computes them. Before it writes anything it recomputes every value
// a second way, with the plain transcription of the engine (support/plain_fft)
// and a plain transcription of the transforms and the route below, which
// share no code with src/fft, src/transforms, src/routes or src/default_run;
// on any difference it names the first one and writes nothing.
//
// Usage: lattice_bubble_make_golden <directory>
// (the build target regenerate_golden runs it on tests/golden of the source tree).

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "default_run/fourier_steps.h"
#include "default_run/map_stage.h"
#include "default_run/reference_sum.h"
#include "default_run/run.h"
#include "default_run/time_transforms.h"
#include "fft/complex_fft.h"
#include "fft/complex_fft_2d.h"
#include "model/lattice_model.h"
#include "support/golden.h"
#include "support/plain_fft.h"

namespace lattice_bubble::testing {
namespace {

const char* const regenerate_note =
    "# Regenerate only together with a deliberate change of the defined order of\n"
    "# operations, never to make a failing test pass:\n"
    "#   cmake --build --preset default --target regenerate_golden\n";

bool same(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (bits_of(a[i]) != bits_of(b[i])) {
            return false;
        }
    }
    return true;
}

std::string hex_list(const std::vector<double>& values) {
    std::string text;
    for (const double v : values) {
        text += ' ';
        text += hex_bits(v);
    }
    return text;
}

// ------------------------------------------------------------------ engine

// Writes one case's records, after checking it against the plain transcription.
bool record_case(std::ostringstream& out, const std::string& key, const EngineOutput& ours,
                 const EngineOutput& plain, bool every_value) {
    out << "hash " << key << " " << std::hex << hash_bits(ours.data.data(), ours.data.size()) << std::dec
        << "\n";
    out << "table " << key << " " << std::hex << hash_bits(ours.twiddle.data(), ours.twiddle.size())
        << std::dec << "\n";
    if (every_value) {
        out << "values " << key << hex_list(ours.data) << "\n";
    }
    if (!same(ours.data, plain.data)) {
        std::fprintf(stderr, "%s differs from the plain transcription\n", key.c_str());
        return false;
    }
    return true;
}

bool engine_files(std::ostringstream& one, std::ostringstream& two) {
    bool agreed = true;
    for (int points = 1; points <= golden_largest_1d; points <<= 1) {
        for (const int sign : {1, -1}) {
            for (int input = 0; input < golden_inputs_1d(points); ++input) {
                agreed = record_case(one, case_key_1d(points, sign, input),
                                     run_1d(&lattice_bubble::complex_fft, points, sign, input),
                                     run_1d(&plain::complex_fft, points, sign, input),
                                     points <= golden_full_values_up_to) &&
                         agreed;
            }
        }
    }
    for (int n1 = 1; n1 <= golden_largest_side; n1 <<= 1) {
        for (int columns = 1; columns <= golden_largest_side; columns <<= 1) {
            for (const int sign : {1, -1}) {
                agreed = record_case(two, case_key_2d(n1, columns, sign),
                                     run_2d(&lattice_bubble::complex_fft_2d, n1, columns, sign),
                                     run_2d(&plain::complex_fft_2d, n1, columns, sign),
                                     n1 * columns <= golden_full_values_up_to) &&
                         agreed;
            }
        }
    }
    return agreed;
}

// ------------------------------------------------ plain one-site transforms

struct Pair {
    double re;
    double im;
};

// The 64-point wrapper: interleave, a fresh table, the plain FFT, 1/64 when asked.
void plain_time_fft(std::array<Pair, 64>& b, int sign, bool divide) {
    std::vector<double> work(8193, 0.0);
    std::vector<int> index_work(66, 0);
    std::vector<double> twiddle(10240, 0.0);
    for (int i = 0; i < 64; ++i) {
        work[2 * i] = b[i].re;
        work[2 * i + 1] = b[i].im;
    }
    plain::complex_fft(128, sign, work.data(), index_work.data(), twiddle.data());
    for (int i = 0; i < 64; ++i) {
        b[i] = divide ? Pair{work[2 * i] * 0.015625, work[2 * i + 1] * 0.015625}
                      : Pair{work[2 * i], work[2 * i + 1]};
    }
}

// The way to time: the unscaled FFT of sign −1, the first 32 slots over β.
std::vector<Pair> to_time(std::array<Pair, 64>& b) {
    plain_time_fft(b, -1, false);
    std::vector<Pair> time(32);
    for (int l = 0; l < 32; ++l) {
        time[l] = Pair{b[l].re / beta, b[l].im / beta};
    }
    return time;
}

std::vector<Pair> plain_fermion_freq_to_time(const std::vector<Pair>& freq) {
    std::array<Pair, 64> b{};
    for (int n = 0; n < 16; ++n) {
        b[2 * n + 1] = freq[n];
        b[63 - 2 * n] = Pair{freq[n].re, -freq[n].im};
    }
    return to_time(b);
}

std::vector<Pair> plain_fermion_time_to_freq(const std::vector<Pair>& time) {
    std::array<Pair, 64> b{};
    for (int l = 0; l < 32; ++l) {
        b[l] = time[l];
        b[l + 32] = Pair{-time[l].re, -time[l].im};
    }
    plain_time_fft(b, 1, true);
    std::vector<Pair> freq(16);
    for (int n = 0; n < 16; ++n) {
        freq[n] = Pair{b[2 * n + 1].re * beta, b[2 * n + 1].im * beta};
    }
    return freq;
}

std::vector<Pair> plain_boson_time_to_freq(const std::vector<Pair>& time) {
    std::array<Pair, 64> b{};
    for (int l = 0; l < 32; ++l) {
        b[l] = time[l];
        b[l + 32] = time[l];
    }
    plain_time_fft(b, 1, true);
    std::vector<Pair> freq(17);
    for (int m = 0; m < 17; ++m) {
        freq[m] = Pair{b[2 * m].re * beta, b[2 * m].im * beta};
    }
    return freq;
}

std::vector<Pair> plain_boson_freq_to_time(const std::vector<Pair>& freq) {
    std::array<Pair, 64> b{};
    for (int m = 0; m < 16; ++m) {
        b[2 * m] = freq[m];
    }
    for (int i = 16; i < 32; ++i) {
        b[2 * i] = Pair{freq[32 - i].re, -freq[32 - i].im};
    }
    b[32] = Pair{b[32].re, 0.0};
    b[0] = Pair{b[0].re, 0.0};
    return to_time(b);
}

std::vector<Pair> pairs(const std::vector<double>& parts) {
    std::vector<Pair> out(parts.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = Pair{parts[2 * i], parts[2 * i + 1]};
    }
    return out;
}

template <std::size_t N>
std::vector<Pair> pairs(const std::array<Complex, N>& values) {
    std::vector<Pair> out;
    for (const Complex& v : values) {
        out.push_back(Pair{v.re, v.im});
    }
    return out;
}

template <std::size_t N>
std::array<Complex, N> complexes(const std::vector<Pair>& values) {
    std::array<Complex, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = Complex{values[i].re, values[i].im};
    }
    return out;
}

bool same_pairs(const std::vector<Pair>& a, const std::vector<Pair>& b) {
    bool equal = a.size() == b.size();
    for (std::size_t i = 0; equal && i < a.size(); ++i) {
        equal = bits_of(a[i].re) == bits_of(b[i].re) && bits_of(a[i].im) == bits_of(b[i].im);
    }
    return equal;
}

void write_pairs(std::ostringstream& out, const std::string& key, const std::vector<Pair>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        out << key << " " << i << " " << hex_bits(values[i].re) << " " << hex_bits(values[i].im) << "\n";
    }
}

// A one-site transform of the program on the golden input of N values.
template <std::size_t N, typename Out, typename Transform>
std::vector<Pair> ours_on(Transform transform, std::uint64_t seed) {
    Out out{};
    transform(complexes<N>(pairs(golden_input(2 * N, seed))), out);
    return pairs(out);
}

// Each one-site transform on the golden input of its own length (seeds 1 … 4).
bool one_site_file(std::ostringstream& out) {
    bool agreed = true;
    const auto check = [&](const char* name, const std::vector<Pair>& ours, const std::vector<Pair>& plain) {
        if (!same_pairs(ours, plain)) {
            std::fprintf(stderr, "%s differs from the plain transcription\n", name);
            agreed = false;
        }
        write_pairs(out, name, ours);
    };
    check("fermion_freq_to_time", ours_on<16, TimeSeries>(fermion_freq_to_time, 1),
          plain_fermion_freq_to_time(pairs(golden_input(2 * 16, 1))));
    check("fermion_time_to_freq", ours_on<32, FermionSeries>(fermion_time_to_freq, 2),
          plain_fermion_time_to_freq(pairs(golden_input(2 * 32, 2))));
    check("boson_time_to_freq", ours_on<32, BosonSeries>(boson_time_to_freq, 3),
          plain_boson_time_to_freq(pairs(golden_input(2 * 32, 3))));
    check("boson_freq_to_time", ours_on<17, TimeSeries>(boson_freq_to_time, 4),
          plain_boson_freq_to_time(pairs(golden_input(2 * 17, 4))));
    return agreed;
}

// --------------------------------------------------------------- the route

// The 8 × 8 lattice transform of one slice: rows of 16 doubles, a fresh table.
void plain_lattice_fft(std::vector<Pair>& field, int sign) {
    std::vector<std::vector<double>> storage(8, std::vector<double>(16));
    std::vector<double*> rows;
    for (auto& row : storage) {
        rows.push_back(row.data());
    }
    std::vector<int> index_work(10, 0);
    std::vector<double> twiddle(20, 0.0);
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            rows[x][2 * y] = field[x * 8 + y].re;
            rows[x][2 * y + 1] = field[x * 8 + y].im;
        }
    }
    plain::complex_fft_2d(8, 16, sign, rows.data(), index_work.data(), twiddle.data());
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            field[x * 8 + y] = Pair{rows[x][2 * y], rows[x][2 * y + 1]};
        }
    }
}

// A grid as [x·8 + y][third index].
using PlainGrid = std::vector<std::vector<Pair>>;

void plain_space_transform(PlainGrid& grid, int flag) {
    const std::size_t third = grid[0].size();
    for (std::size_t k = 0; k < third; ++k) {
        std::vector<Pair> field(64);
        for (int site = 0; site < 64; ++site) {
            field[site] = grid[site][k];
        }
        plain_lattice_fft(field, -flag);
        for (int site = 0; site < 64; ++site) {
            grid[site][k] =
                flag == -1 ? Pair{field[site].re * (1.0 / 64.0), field[site].im * (1.0 / 64.0)} : field[site];
        }
    }
}

Pair times(Pair a, Pair b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

template <std::size_t N>
PlainGrid plain_grid(const Grid<N>& grid) {
    PlainGrid out;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            out.push_back(pairs(grid[x][y]));
        }
    }
    return out;
}

template <std::size_t N>
bool check_grid(std::ostringstream& out, const char* name, const Grid<N>& ours, const PlainGrid& plain) {
    bool agreed = true;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            const auto values = pairs(ours[x][y]);
            if (!plain.empty() && !same_pairs(values, plain[x * 8 + y])) {
                std::fprintf(stderr, "%s at site (%d, %d) differs from the plain transcription\n", name, x,
                             y);
                agreed = false;
            }
            for (std::size_t k = 0; k < N; ++k) {
                out << name << " " << x << " " << y << " " << k << " " << hex_bits(values[k].re) << " "
                    << hex_bits(values[k].im) << "\n";
            }
        }
    }
    return agreed;
}

// The direct sum at q and z, written out again from its definition: a band,
// a Fermi function and a Smith division of its own, in the defined order
// (unreduced k + q, the 0/0 terms left out, the sum divided by 64 at the end).
Pair plain_reference(double qx, double qy, Pair z) {
    const double step = (2.0 * 3.141592653589793) / (8.0 * 1.0);
    const auto band = [](double kx, double ky) {
        const double s = std::cos(1.0 * kx) + std::cos(1.0 * ky);
        return ((2.0 * 2.0) * s + 5.0) - 1.0;
    };
    const auto fermi = [](double e) { return 1.0 / (std::exp(1.0 * e) + 1.0); };
    Pair sum{0.0, 0.0};
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            const double kx = i * step;
            const double ky = j * step;
            const double e_kq = band(kx + qx, ky + qy);
            const double e_k = band(kx, ky);
            const double d = e_kq - e_k;
            const Pair b{z.re - d, z.im};
            if (b.re == 0.0 && b.im == 0.0) {
                continue;
            }
            const double a = fermi(e_kq) - fermi(e_k);  // the numerator (a, 0)
            Pair term{};
            if (std::fabs(b.re) >= std::fabs(b.im)) {
                const double r = b.im / b.re;
                const double den = b.re + b.im * r;
                term = Pair{(a + 0.0 * r) / den, (0.0 - a * r) / den};
            } else {
                const double r = b.re / b.im;
                const double den = b.re * r + b.im;
                term = Pair{(a * r + 0.0) / den, (0.0 * r - a) / den};
            }
            sum = Pair{sum.re + term.re, sum.im + term.im};
        }
    }
    return Pair{sum.re / 64.0, sum.im / 64.0};
}

bool route_file(std::ostringstream& out, std::ostringstream& reports, std::ostringstream& map) {
    const auto grids = std::make_unique<RunGrids>();
    run_transform_pipeline(grids->green_freq, grids->green_time, grids->chi_time, grids->chi_freq, reports);
    run_reference_stage(grids->chi_reference, reports);
    write_map(map, grids->chi_freq);

    FermionGrid filled{};
    fill_free_green(filled);
    PlainGrid g = plain_grid(filled);
    plain_space_transform(g, -1);
    PlainGrid green_time;
    for (const auto& site : g) {
        green_time.push_back(plain_fermion_freq_to_time(site));
    }
    PlainGrid chi;
    for (const auto& t : green_time) {
        std::vector<Pair> c(32);
        c[0] = times(Pair{-t[0].re, -t[0].im}, t[0]);
        for (int l = 1; l < 32; ++l) {
            c[l] = times(t[l], t[32 - l]);
        }
        chi.push_back(c);
    }
    chi[0][0] = Pair{chi[0][0].re + 0.125, chi[0][0].im + 0.0};
    PlainGrid chi_freq;
    for (const auto& site : chi) {
        chi_freq.push_back(plain_boson_time_to_freq(site));
    }
    plain_space_transform(chi_freq, 1);

    // The product on a grid with full complex values (seed 5), at two sites:
    // the route's own G(r, τ) is real, which would hide half its operations.
    const auto input = golden_input(2 * 2048, 5);
    auto green = std::make_unique<TimeGrid>();
    for (int site = 0; site < 64; ++site) {
        for (int l = 0; l < 32; ++l) {
            const std::size_t at = 2 * (32 * static_cast<std::size_t>(site) + l);
            (*green)[site / 8][site % 8][l] = Complex{input[at], input[at + 1]};
        }
    }
    auto product = std::make_unique<TimeGrid>();
    multiply_green_functions(*green, *product);
    bool agreed = true;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{5, 3}}) {
        const auto factors = pairs((*green)[x][y]);
        std::vector<Pair> plain(32);
        plain[0] = times(Pair{-factors[0].re, -factors[0].im}, factors[0]);
        for (int l = 1; l < 32; ++l) {
            plain[l] = times(factors[l], factors[32 - l]);
        }
        const auto ours = pairs((*product)[x][y]);
        if (!same_pairs(ours, plain)) {
            std::fprintf(stderr, "the product at site (%d, %d) differs from the plain transcription\n", x, y);
            agreed = false;
        }
        for (int l = 0; l < 32; ++l) {
            out << "product " << x << " " << y << " " << l << " " << hex_bits(ours[l].re) << " "
                << hex_bits(ours[l].im) << "\n";
        }
    }

    agreed = check_grid(out, "green_time", grids->green_time, green_time) && agreed;
    agreed = check_grid(out, "chi_freq", grids->chi_freq, chi_freq) && agreed;
    PlainGrid reference;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            std::vector<Pair> sums;
            for (int m = 0; m < 17; ++m) {
                const double step = (2.0 * 3.141592653589793) / (8.0 * 1.0);
                sums.push_back(
                    plain_reference(x * step, y * step, Pair{0.0, (3.141592653589793 * (m * 2.0)) / 1.0}));
            }
            reference.push_back(sums);
        }
    }
    agreed = check_grid(out, "chi_reference", grids->chi_reference, reference) && agreed;
    return agreed;
}

bool write_file(const std::filesystem::path& file, const std::string& header, const std::string& body) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << header << regenerate_note << body;
    out.close();
    if (!out) {
        std::fprintf(stderr, "lattice_bubble_make_golden: cannot write %s\n", file.string().c_str());
    }
    return static_cast<bool>(out);
}

}  // namespace
}  // namespace lattice_bubble::testing

int main(int argc, char** argv) {
    using namespace lattice_bubble::testing;
    if (argc != 2) {
        std::fprintf(stderr, "usage: lattice_bubble_make_golden <directory>\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::ostringstream one;
    std::ostringstream two;
    std::ostringstream one_site;
    std::ostringstream route;
    std::ostringstream reports;
    std::ostringstream map;
    bool agreed = engine_files(one, two);
    agreed = one_site_file(one_site) && agreed;
    agreed = route_file(route, reports, map) && agreed;
    if (!agreed) {
        std::fprintf(stderr, "lattice_bubble_make_golden: the two computations differ; nothing written\n");
        return 1;
    }
    const std::string checked =
        "# Made by the program's own build and, before writing, checked bit for bit\n"
        "# against a plain transcription of the written order of operations\n"
        "# (tests/support/plain_fft.cpp, tests/support/make_golden.cpp).\n";
    const std::string input =
        "# Inputs: golden_input of tests/support/golden.h (53-bit integers times powers of two, exact).\n"
        "# Doubles are written as the 16 hex digits of their bit patterns.\n";
    bool written =
        write_file(dir / "fft_1d.golden",
                   "# Golden bits of complex_fft: N = 1, 2, 4, ..., 16384 points, both signs, a\n"
                   "# table built in the call; input k is golden_input(2N, seed 65536 k + N), with\n"
                   "# k = 0 ... 15 for N <= 16 and k = 0 above.\n"
                   "#   hash <N> <sign> <k> <FNV-1a hash of the bit patterns of the 2N output doubles>\n"
                   "#   values <N> <sign> <k> <the 2N output doubles>          (N <= 16)\n"
                   "#   table <N> <sign> <k> <FNV-1a hash of the twiddle table the call built>\n" +
                       input + checked,
                   one.str());
    written = write_file(dir / "fft_2d.golden",
                         "# Golden bits of complex_fft_2d: n1 rows of N2 complex values, n1 and N2 in\n"
                         "# {1, 2, 4, ..., 64}, both signs, a table built in the call, input\n"
                         "# golden_input(2 n1 N2, seed 65536 n1 + N2) row by row.\n"
                         "#   hash <n1>x<N2> <sign> <FNV-1a hash of the output bit patterns, row by row>\n"
                         "#   values <n1>x<N2> <sign> <the output doubles>       (n1 N2 <= 16)\n"
                         "#   table <n1>x<N2> <sign> <FNV-1a hash of the twiddle table the call built>\n" +
                             input + checked,
                         two.str()) &&
              written;
    written = write_file(dir / "one_site.golden",
                         "# Golden bits of the one-site transforms, each on golden_input of its input's\n"
                         "# length (seed 1: fermion_freq_to_time, 2: fermion_time_to_freq,\n"
                         "# 3: boson_time_to_freq, 4: boson_freq_to_time).\n"
                         "#   <transform> <index> <re> <im>\n" +
                             input + checked,
                         one_site.str()) &&
              written;
    written =
        write_file(dir / "route.golden",
                   "# Golden bits of the run's grids: green_time (G(r, tau_l)), chi_freq (chi(q, i nu_m),\n"
                   "# the Fourier route) and chi_reference (the direct sum), as a complete run leaves them.\n"
                   "# product: multiply_green_functions on golden_input(4096, seed 5) as a time grid\n"
                   "# (element (x, y, l) at doubles 2 (256 x + 32 y + l) and the next), at two sites.\n"
                   "#   <grid> <x> <y> <third index> <re> <im>\n"
                   "# Doubles are written as the 16 hex digits of their bit patterns.\n"
                   "# green_time and chi_freq were checked bit for bit against a plain transcription\n"
                   "# of the route (tests/support/make_golden.cpp); chi_reference pins the direct sum.\n",
                   route.str()) &&
        written;
    // The run's own text, as a complete run writes it on a platform whose line
    // end is a line feed; the tests skip the comment lines at the top.
    written = write_file(dir / "reports.golden",
                         "# The standard output of a complete run: the Fourier route's report, then the\n"
                         "# direct sum's, printed from the grids of route.golden.\n",
                         reports.str()) &&
              written;
    written =
        write_file(dir / "chiw.golden",
                   "# chiw.dat as a complete run writes it, from chi_freq of route.golden.\n", map.str()) &&
        written;
    return written ? 0 : 1;
}
