#include "model/tight_binding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/failure.h"
#include "model/lattice_model.h"

namespace lattice_bubble {
namespace {

using cplx = std::complex<double>;

TightBindingModel example(const std::string& name) {
    return read_hr_file(std::string(LATTICE_BUBBLE_EXAMPLES_DIR) + "/" + name);
}

// Two orbitals on a chain, R = 0 and ±1 of degeneracy 2, Hermitian.
const std::vector<std::string> chain = {"chain",
                                        "2",
                                        "3",
                                        "1 2 2",
                                        "0 0 0 1 1 0.5 0",
                                        "0 0 0 2 1 0.25 0.125",
                                        "0 0 0 1 2 0.25 -0.125",
                                        "0 0 0 2 2 -0.5 0",
                                        "1 0 0 1 1 -2.00 0",
                                        "1 0 0 2 1 0 0.3",
                                        "1 0 0 1 2 0 0",
                                        "1 0 0 2 2 -2 0",
                                        "-1 0 0 1 1 -2.00 0",
                                        "-1 0 0 2 1 0 0",
                                        "-1 0 0 1 2 0 -0.3",
                                        "-1 0 0 2 2 -2.000D+00 0"};

TEST(TightBindingFile, ReadsOrRefusesNamingTheLine) {
    struct Case {
        int index;  // the line replaced (0-based); the size appends; -1 keeps all; -2 moves R = -1 to 2
        std::string text;  // "" with an index below the size drops the line
        int line;          // the line named, 0 when the file is read
        std::string says;
    };
    const std::vector<Case> cases = {
        {-1, "", 0, ""},
        {6, "0 0 0 1 2 0.25 -0.12", 0, ""},  // within half a unit of the printed digits
        {16, "   ", 0, ""},
        {1, "two", 2, "the number of orbitals 'two' is not an integer"},
        {1, "0", 2, "0 orbitals, outside 1 ... 64"},
        {1, "65", 2, "65 orbitals, outside 1 ... 64"},
        {2, "0", 3, "0 lattice vectors"},
        {2, "3 3", 3, "2 numbers where the number of lattice vectors goes"},
        {3, "1 2", 4, "2 numbers where a line of degeneracies goes, 3 numbers"},
        {3, "1 0 2", 4, "degeneracy 0 of lattice vector 2 is not positive"},
        {9, "1 0 0 2 1 0", 10, "6 numbers where a hopping line"},
        {9, "1 0 0 3 1 0 0.3", 10, "orbital index 3 outside 1 ... 2"},
        {9, "1 0 0 2 0 0 0.3", 10, "orbital index 0 outside 1 ... 2"},
        {9, "1 0 0 2 1 nan 0.3", 10, "re 'nan' is not a finite number"},
        {9, "1 0 0 2 1 0 -inf", 10, "im '-inf' is not a finite number"},
        {9, "1 0 0 2 1 0 1e999", 10, "im '1e999' is not a finite number"},
        {10, "1 0 0 2 1 0 0.3", 11, "R = (1, 0, 0), a = 2, b = 1 again: first on line 10"},
        {10, "1 1 0 1 2 0 0", 11, "lattice vector (1, 1, 0) inside the block of (1, 0, 0)"},
        {12, "1 0 0 1 1 -2 0", 13, "lattice vector (1, 0, 0) again: its block began on line 9"},
        {6, "0 0 0 1 2 0.25 -0.119", 7,
         "H_12(0, 0, 0) = (0.25, -0.119) is not conj(H_21(0, 0, 0)) = (0.25, -0.125) of line 6 to the "
         "printed "
         "precision (0.01, 0.001)"},
        {8, "1 0 0 1 1 -2.1 0", 9, "H_11(1, 0, 0) = (-1.05, 0)"},
        {-2, "", 9, "lattice vector (1, 0, 0) has no partner (-1, 0, 0)"},
        {15, "", 16, "the file ends after 11 of the 12 hopping lines"},
        {16, "0 0 0 1 1 0 0", 17, "more than the 16 lines"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = chain;
        if (c.index >= static_cast<int>(lines.size())) {
            lines.push_back(c.text);
        } else if (c.index >= 0 && c.text.empty()) {
            lines.erase(lines.begin() + c.index);
        } else if (c.index >= 0) {
            lines[static_cast<std::size_t>(c.index)] = c.text;
        } else if (c.index == -2) {
            for (auto& line : lines) {
                line = line.starts_with("-1 0 0") ? "2" + line.substr(2) : line;
            }
        }
        std::string text;
        for (const auto& line : lines) {
            text += line + "\r\n";
        }
        std::istringstream in(text);
        SCOPED_TRACE(c.text);
        if (c.line == 0) {
            const TightBindingModel model = read_hr(in, "chain_hr.dat");
            EXPECT_EQ(model.orbitals, 2);
            EXPECT_EQ(model.dimension, 1);
            ASSERT_EQ(model.hoppings.size(), 3U);
            EXPECT_EQ(model.hoppings[1].matrix, (std::vector<cplx>{-1.0, 0.0, {0.0, 0.15}, -1.0}));
            EXPECT_EQ(model.hoppings[2].r, (std::array<int, 3>{-1, 0, 0}));
            continue;
        }
        try {
            (void)read_hr(in, "chain_hr.dat");
            ADD_FAILURE() << "read";
        } catch (const ModelFileError& error) {
            EXPECT_EQ(error.line(), c.line);
            EXPECT_NE(std::string(error.what())
                          .find("chain_hr.dat: line " + std::to_string(c.line) + ": " + c.says),
                      std::string::npos)
                << error.what();
        }
    }
    std::istringstream empty("");
    EXPECT_THROW((void)read_hr(empty, "empty_hr.dat"), ModelFileError);
    EXPECT_THROW((void)example("missing_hr.dat"), ModelFileError);
}

TEST(TightBindingExamples, HamiltoniansAreTheirFormulas) {
    const TightBindingModel square = example("square_hr.dat");
    const std::array<double, 3> shift{0.25, 0.5, 0.0};
    const double step = momentum_step(12);
    const TightBindingModel graphene = example("graphene_hr.dat");
    const TightBindingModel pnictide = example("pnictide_hr.dat");
    EXPECT_EQ(square.dimension, 2);
    EXPECT_EQ(example("cubic_hr.dat").dimension, 3);
    for (int x = 0; x < 12; ++x) {
        for (int y = 0; y < 12; ++y) {
            const auto h = hamiltonian_at(square, {12, 12, 1}, shift, {x, y, 0}, 0.3);
            EXPECT_NEAR(h[0].real(), band_energy(Band(-1.0, 0.0, 0.3), (x + 0.25) * step, (y + 0.5) * step),
                        8e-15);
            EXPECT_EQ(h[0].imag(), 0.0);
            const double kx = x * step;
            const double ky = y * step;
            const auto g = hamiltonian_at(graphene, {12, 12, 1}, {}, {x, y, 0}, 0.0);
            EXPECT_LE(std::abs(g[1] + (1.0 + std::exp(cplx(0.0, -kx)) + std::exp(cplx(0.0, -ky)))), 1e-14);
            EXPECT_LE(std::abs(g[2] - std::conj(g[1])), 1e-15);
            const auto p = hamiltonian_at(pnictide, {12, 12, 1}, {}, {x, y, 0}, 0.0);
            const double t1 = -1.0, t2 = 1.3, t3 = -0.85, t4 = -0.85;
            const double both = -4.0 * t3 * std::cos(kx) * std::cos(ky);
            EXPECT_NEAR(p[0].real(), -2.0 * t1 * std::cos(kx) - 2.0 * t2 * std::cos(ky) + both, 1e-14);
            EXPECT_NEAR(p[3].real(), -2.0 * t2 * std::cos(kx) - 2.0 * t1 * std::cos(ky) + both, 1e-14);
            EXPECT_NEAR(p[1].real(), -4.0 * t4 * std::sin(kx) * std::sin(ky), 1e-14);
            EXPECT_EQ(p[1], p[2]);
            EXPECT_LE(std::abs(p[0].imag()) + std::abs(p[1].imag()), 1e-14);
        }
    }
    EXPECT_LE(std::abs(hamiltonian_at(graphene, {12, 12, 1}, {}, {4, 8, 0}, 0.0)[1]), 1e-15);
}

TEST(TightBindingBands, EigenpairsRebuildTheHamiltonianOnAnyThreadCount) {
    for (const char* name : {"pnictide_hr.dat", "graphene_hr.dat", "bilayer_hr.dat"}) {
        const TightBindingModel model = example(name);
        const std::array<int, 3> mesh{6, 10, 1};
        const std::array<double, 3> shift{0.5, 0.25, 0.0};
        const MeshBands one = bands_on_mesh(model, mesh, shift, 0.7, 1);
        const MeshBands two = bands_on_mesh(model, mesh, shift, 0.7, 2);
        EXPECT_EQ(one.energy, two.energy);
        EXPECT_EQ(one.vectors, two.vectors);
        for (int k = 0; k < 60; ++k) {
            const auto h = hamiltonian_at(model, mesh, shift, {k / 10, k % 10, 0}, 0.7);
            EXPECT_LE(one.energy[2 * k], one.energy[2 * k + 1]);
            for (int a = 0; a < 2; ++a) {
                for (int b = 0; b < 2; ++b) {
                    cplx rebuilt = 0.0;
                    for (int s = 0; s < 2; ++s) {
                        rebuilt += one.vectors[(k * 2 + a) * 2 + s] * one.energy[k * 2 + s] *
                                   std::conj(one.vectors[(k * 2 + b) * 2 + s]);
                    }
                    EXPECT_LE(std::abs(rebuilt - h[a * 2 + b]), 1e-14) << name << " k " << k;
                }
            }
        }
    }
    const TightBindingModel cubic = example("cubic_hr.dat");
    const MeshBands bands = bands_on_mesh(cubic, {3, 4, 5}, {}, 0.0, 3);
    const double corner = -2.0 * (std::cos(2 * pi / 3) + std::cos(2 * pi * 3 / 4) + std::cos(2 * pi * 2 / 5));
    EXPECT_NEAR(bands.energy[(1 * 4 + 3) * 5 + 2], corner, 1e-14);
    const TightBindingModel square = example("square_hr.dat");
    EXPECT_THROW((void)bands_on_mesh(square, {4, 4, 2}, {}, 0.0, 1), ModelError);
    EXPECT_THROW((void)bands_on_mesh(square, {4, 0, 1}, {}, 0.0, 1), ModelError);
    EXPECT_THROW((void)bands_on_mesh(square, {4, 4, 1}, {1.0, 0.0, 0.0}, 0.0, 1), ModelError);
    EXPECT_THROW((void)bands_on_mesh(square, {4, 4, 1}, {}, 0.0, 0), ModelError);
}

TEST(TightBindingBands, DensityAndChemicalPotentialRoundTrip) {
    const TightBindingModel square = example("square_hr.dat");
    EXPECT_NEAR(density(bands_on_mesh(square, {12, 12, 1}, {}, 0.0, 2), 2.0), 0.5, 1e-15);
    EXPECT_NEAR(mu_for_density(square, {12, 12, 1}, {}, 2.0, 0.5), 0.0, 1e-11);
    const TightBindingModel pnictide = example("pnictide_hr.dat");
    for (const double target : {1e-6, 0.3, 1.3, 2.0 - 1e-6}) {
        for (const double beta_value : {0.5, 40.0}) {
            const double mu = mu_for_density(pnictide, {10, 10, 1}, {0.5, 0.5, 0.0}, beta_value, target, 2);
            const MeshBands bands = bands_on_mesh(pnictide, {10, 10, 1}, {0.5, 0.5, 0.0}, mu, 1);
            EXPECT_NEAR(density(bands, beta_value), target, 2e-12) << target << " " << beta_value;
        }
    }
    for (const double target : {0.0, 2.0, -0.1, std::nan("")}) {
        EXPECT_THROW((void)mu_for_density(pnictide, {4, 4, 1}, {}, 1.0, target), ModelError);
    }
}

}  // namespace
}  // namespace lattice_bubble
