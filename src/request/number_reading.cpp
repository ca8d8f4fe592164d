#include "request/number_reading.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/number_text.h"

namespace lattice_bubble {

NumberReading read_number(std::string_view text, bool integer) {
    const std::string_view unsigned_text =
        text.substr(text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1);
    const bool digits = !unsigned_text.empty() && unsigned_text.find_first_not_of("0123456789") == text.npos;
    if (!digits && (text.empty() || text.find_first_not_of("0123456789+-.eE") != text.npos)) {
        const std::string_view rest = text.substr(std::min(text.find_first_not_of("+-"), text.size()));
        if (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
            return {std::nullopt, "hexadecimal numbers are not accepted"};
        }
        if (!rest.empty() && std::string_view("iInN").find(rest[0]) != std::string_view::npos) {
            return {std::nullopt, "infinity and NaN are not accepted"};
        }
        return {std::nullopt, "not a decimal number"};
    }
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) {
        return {std::nullopt, "not a decimal number"};
    }
    if (std::isinf(value)) {  // beyond the doubles: beyond every range
        return {std::nullopt, "out of range"};
    }
    if (integer && !digits) {
        return {std::nullopt, "not an integer"};
    }
    return {value, {}};
}

long long saturated_integer(double value) {
    constexpr double largest = 4611686018427387904.0;  // 2^62
    return static_cast<long long>(value > largest ? largest : value < -largest ? -largest : value);
}

std::string bound_text(double value) {
    std::string text = shortest(value);
    if (const auto e = text.find('e'); e != std::string::npos) {
        const bool negative = text[e + 1] == '-';
        text =
            text.substr(0, e + 1) + (negative ? "-" : "") + text.substr(text.find_first_not_of("+-0", e + 1));
    }
    return text;
}

}  // namespace lattice_bubble
