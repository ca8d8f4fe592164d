#pragma once
// A double as text in the shortest decimal form that reads back to the same
// bits (std::to_chars without a format): how the program writes every number
// a reader may parse again, in a study's table and in its header lines.

#include <charconv>
#include <string>

namespace lattice_bubble {

// Appends the shortest form of `value` to `text`, with no string of its own.
inline void append_shortest(std::string& text, double value) {
    char digits[32];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// The shortest form of `value`.
[[nodiscard]] inline std::string shortest(double value) {
    std::string text;
    append_shortest(text, value);
    return text;
}

}  // namespace lattice_bubble
