#pragma once
// Tight-binding models of several orbitals in one to three dimensions, read
// from a Wannier90 `seedname_hr.dat` file, and their bands on a momentum mesh
// (docs/models.md). Values are per spin; each orbital is spin-degenerate.

#include <array>
#include <complex>
#include <iosfwd>
#include <string>
#include <vector>

namespace lattice_bubble {

inline constexpr int max_model_orbitals = 64;

// H_ab(R) for the lattice vectors R of a file, in the file's order.
struct TightBindingModel {
    int orbitals = 0;
    // The highest direction a lattice vector uses: 3 when some R3 ≠ 0, else 2
    // when some R2 ≠ 0, else 1 when some R1 ≠ 0, else 0 (R = 0 alone).
    int dimension = 0;
    struct Hopping {
        std::array<int, 3> r{};
        std::vector<std::complex<double>> matrix;  // n·n, H_ab(R) at a·n + b, already divided by deg(R)
    };
    std::vector<Hopping> hoppings;
};

// Reads a `_hr.dat` file; a file that cannot be opened or read, or whose
// content is refused (read_hr), throws ModelFileError naming the path.
[[nodiscard]] TightBindingModel read_hr_file(const std::string& path);

// Reads the content of a `_hr.dat` file from a stream: line 1 a comment;
// line 2 the number of orbitals n (1 … 64); line 3 the number of lattice
// vectors N_R (≥ 1); then the N_R degeneracies (each ≥ 1), 15 to a line; then
// N_R blocks of n² lines `R1 R2 R3 a b re im`, one block per lattice vector
// in the order of the degeneracies, each (a, b) once in a block, a and b in
// 1 … n; H_ab(R) = (re + i·im)/deg(R). Every lattice vector has its partner
// −R, and H_ab(R) = conj(H_ba(−R)) to the precision the file prints
// (docs/models.md). Blank lines after the last block are ignored; a line may
// end in "\r". Anything else throws ModelFileError("name: line L: …").
[[nodiscard]] TightBindingModel read_hr(std::istream& in, const std::string& name);

// H(k) − μ at the mesh point `index` of an L1 × L2 × L3 mesh shifted by s,
// k_j = 2π·(i_j + s_j)/L_j, n·n values at a·n + b. In this order:
//   x_j = fmod((i_j + s_j)·R_j, L_j)/L_j,  θ = 2π·((x_1 + x_2) + x_3),
//   H_ab(k) = Σ_R H_ab(R)·(cos θ + i·sin θ), the products as
//             (re·cos θ − im·sin θ, re·sin θ + im·cos θ), summed from 0 over
//             the lattice vectors in the file's order,
//   then μ subtracted from each diagonal entry.
// Every entry is formed, the upper triangle as well as the lower.
[[nodiscard]] std::vector<std::complex<double>> hamiltonian_at(const TightBindingModel& model,
                                                               std::array<int, 3> mesh,
                                                               std::array<double, 3> shift,
                                                               std::array<int, 3> index, double mu);

// The bands of a model at every point of a mesh, k = (i1·L2 + i2)·L3 + i3.
struct MeshBands {
    int orbitals = 0;
    std::array<int, 3> mesh{1, 1, 1};           // L1, L2, L3 (1 for unused directions)
    std::vector<double> energy;                 // ε_s(k) at k·n + s, ascending in s at each k
    std::vector<std::complex<double>> vectors;  // V_as(k) at (k·n + a)·n + s: column s belongs to ε_s(k)

    [[nodiscard]] long long points() const { return static_cast<long long>(mesh[0]) * mesh[1] * mesh[2]; }
};

// The eigenvalues and eigenvectors of H(k) − μ (hamiltonian_at) at every
// point of the mesh, each from Eigen's self-adjoint solver, which reads the
// lower triangle (a ≥ b). The points go to `threads` threads in contiguous
// ranges, each point computed by one thread: the same bits on any number of
// threads. Refused (ModelError): a side outside 1 … 2^20, a side other than 1
// in a direction the model does not use, a shift outside [0, 1), a μ that is
// not finite, threads < 1, or more than 2^40 values.
[[nodiscard]] MeshBands bands_on_mesh(const TightBindingModel& model, std::array<int, 3> mesh,
                                      std::array<double, 3> shift, double mu, int threads);

// The density per spin summed over the orbitals, (1/N_k)·Σ_k Σ_s f(ε_s(k)),
// f(e) = 1/(exp(β·e) + 1), summed over k and then s in storage order. It lies
// in [0, n].
[[nodiscard]] double density(const MeshBands& bands, double inverse_temperature);

// The μ at which the density of bands_on_mesh(model, mesh, shift, μ, ·) is
// `target`: the bands are computed once at μ = 0 and the density
// (1/N_k)·Σ f(ε − μ) bracketed and bisected until it is within 1e-12 of the
// target (where the density steps by more than that between neighbouring
// doubles, the nearer of the two). Refused (ModelError): a target outside
// (0, n), a β that is not positive and finite, and the mesh bands_on_mesh
// refuses.
[[nodiscard]] double mu_for_density(const TightBindingModel& model, std::array<int, 3> mesh,
                                    std::array<double, 3> shift, double inverse_temperature, double target,
                                    int threads = 1);

}  // namespace lattice_bubble
