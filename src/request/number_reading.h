#pragma once
// Numbers as the user writes them: what the command line and OMP_NUM_THREADS
// accept, and bounds as the messages write them.

#include <optional>
#include <string>
#include <string_view>

namespace lattice_bubble {

// A number read from a whole text, or why it is not one: an integer is
// decimal digits with an optional sign; a real is what strtod reads, but no
// hexadecimal, infinity or NaN, which strtod would also take; a real beyond
// the doubles is out of every range.
struct NumberReading {
    std::optional<double> value;
    std::string_view problem;
};
[[nodiscard]] NumberReading read_number(std::string_view text, bool integer);

// An integer read as a double, held to ±2^62 so that any range refuses what lies beyond.
[[nodiscard]] long long saturated_integer(double value);

// A number as a person writes a bound: 4096, 1e-6, 1e6.
[[nodiscard]] std::string bound_text(double value);

}  // namespace lattice_bubble
