#pragma once
// The console report shared by both routes: the 17 bosonic values at grid index
// (4, 4), that is q = (π, π), under a heading, then an empty line.

#include <array>
#include <iosfwd>
#include <string_view>

#include "common/grids.h"

namespace lattice_bubble {

inline constexpr int report_index = lattice_size / 2;  // grid index of q = (π, π)

namespace report_detail {
// "k=(i,i)" for i = report_index, spelled out at compile time.
constexpr int digit_count(int value) { return value < 10 ? 1 : 1 + digit_count(value / 10); }
inline constexpr int heading_length = 5 + 2 * digit_count(report_index);
constexpr std::array<char, heading_length> spell_heading() {
    std::array<char, heading_length> text{};
    int at = 0;
    const auto put = [&](char c) { text[at++] = c; };
    const auto put_index = [&] {
        for (int power = digit_count(report_index) - 1; power >= 0; --power) {
            int divisor = 1;
            for (int p = 0; p < power; ++p) {
                divisor *= 10;
            }
            put(static_cast<char>('0' + report_index / divisor % 10));
        }
    };
    put('k');
    put('=');
    put('(');
    put_index();
    put(',');
    put_index();
    put(')');
    return text;
}
inline constexpr std::array<char, heading_length> heading_text = spell_heading();
}  // namespace report_detail

inline constexpr std::string_view report_heading{report_detail::heading_text.data(),
                                                 report_detail::heading_text.size()};
static_assert(lattice_size != 8 || report_heading == "k=(4,4)");

// Writes the heading, grid[4][4][0 … 16] one per line as "(re,im)" in the
// stream's default double format, and an empty line; every line ends with
// std::endl, so the report is on the console as soon as it is written.
void write_report(std::ostream& out, const BosonGrid& grid);

}  // namespace lattice_bubble
