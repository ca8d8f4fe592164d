#pragma once
// The table of a study on standard output, which gnuplot, numpy and pandas
// read as it stands: the column names on the first line ("# ix iy m nu", or
// "# ix iy j omega" on the real axis, and "re_R im_R" for every route R
// computed, in the route table's order, each followed with a coupling by
// "re_R_spin im_R_spin re_R_charge im_R_charge"), then comment lines with the
// version and every parameter of the run, then per wave vector one row per
// frequency (or imaginary time), single spaces between fields, every real in the shortest decimal
// form that reads back to the same double, and two empty lines between the
// blocks of two wave vectors (gnuplot's `index` selects one). With a
// coupling, comment lines after the last block give each route's U_c.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/complex.h"
#include "routes/route_table.h"

namespace lattice_bubble {

// The first line and the comment lines, each ending in '\n'.
// `off_grid`: the table's wave vectors are off the grid, "qx qy" in units of π.
[[nodiscard]] std::string table_header(const StudyModel& model, std::span<const Route* const> routes,
                                       std::string_view version, bool off_grid = false);

// Appends the block of q: a row per frequency with the values χ0 of each
// route, in the order of the header, and with a coupling U the enhanced
// susceptibilities rpa_spin(χ0, U) and rpa_charge(χ0, U) after each. `first`
// leaves out the two empty lines that separate it from the block before.
void append_table_block(std::string& text, const StudyModel& model, WaveVector q, bool first,
                        std::span<const std::span<const Complex>> values);

// The same for a wave vector q = π·(qx, qy) off the grid, its rows "qx qy j …".
void append_point_block(std::string& text, const StudyModel& model, FreeWaveVector q, bool first,
                        std::span<const std::span<const Complex>> values);

// The static limits of a table with a coupling U: per route the largest
// χ0(q, 0) over the table's wave vectors and where it is, hence U_c; and the
// wave vectors where a channel is past its instability, U·χ0(q, 0) ≥ 1 (spin)
// or ≤ −1 (charge). Without a coupling it keeps nothing and says nothing.
class StaticLimits {
public:
    StaticLimits(const StudyModel& model, std::span<const Route* const> routes);
    // The routes' χ0(q, 0) at q, in the order of the routes.
    void add(WaveVector q, std::span<const double> chi0);
    // The comment lines that end the table: U_c of each route.
    [[nodiscard]] std::string trailer() const;
    // A line for standard error (without the program's name) for each
    // channel past its instability at some wave vector.
    [[nodiscard]] std::vector<std::string> warnings() const;

private:
    struct Largest {
        double chi0;
        WaveVector q;
    };
    struct Crossing {
        std::size_t count = 0;  // wave vectors past it
        WaveVector q;           // the first of them
        double u_chi0 = 0.0;    // and U·χ0 there
        std::size_t route = 0;  // by this route
    };
    std::optional<double> coupling_;
    bool real_axis_;
    std::vector<const Route*> routes_;
    std::vector<Largest> largest_;
    Crossing spin_;
    Crossing charge_;
    std::size_t wave_vectors_ = 0;
};

// The plotting program's commands that draw, for every route at q, Re χ(q, iν_m)
// against m; on the real axis Im χ0(q, ω + iη) against ω, with a coupling
// beside Im χ_spin and Im χ_charge. Each route's data inline after them.
[[nodiscard]] std::string plot_commands(const StudyModel& model, WaveVector q,
                                        std::span<const Route* const> routes,
                                        std::span<const std::span<const Complex>> values);

// The commands that draw a real-axis study along a path of wave vectors as a
// colour map of `image` (per wave vector its COUNT values, Im χ_spin with a
// coupling, else Im χ0) over the path's index and ω, Γ, X and M marked.
[[nodiscard]] std::string path_map_commands(const StudyModel& model, std::span<const WaveVector> path,
                                            std::span<const double> image);

}  // namespace lattice_bubble
