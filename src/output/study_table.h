#pragma once
// The table of a study on standard output, which gnuplot, numpy and pandas
// read as it stands: the column names on the first line ("# ix iy m nu" and
// "re_R im_R" for every route R computed, in the route table's order), then
// comment lines with the version and every parameter of the run, then per
// wave vector one row per bosonic frequency, single spaces between fields,
// every real in the shortest decimal form that reads back to the same double,
// and two empty lines between the blocks of two wave vectors (gnuplot's
// `index` selects one).

#include <span>
#include <string>
#include <string_view>

#include "common/complex.h"
#include "routes/route_table.h"

namespace lattice_bubble {

// The first line and the comment lines, each ending in '\n'.
[[nodiscard]] std::string table_header(const StudyModel& model, std::span<const Route* const> routes,
                                       std::string_view version);

// Appends the block of q: rows m = 0 … N with the values of each route, in
// the order of the header. `first` leaves out the two empty lines that
// separate it from the block before.
void append_table_block(std::string& text, const StudyModel& model, WaveVector q, bool first,
                        std::span<const std::span<const Complex>> values);

// The plotting program's commands that draw Re χ(q, iν_m) against m for every
// route at q, each route's data inline after them.
[[nodiscard]] std::string plot_commands(const StudyModel& model, WaveVector q, std::span<const Route* const> routes,
                                        std::span<const std::span<const Complex>> values);

// The shortest decimal form of a double that reads back to the same bits.
void append_shortest(std::string& text, double value);

}  // namespace lattice_bubble
