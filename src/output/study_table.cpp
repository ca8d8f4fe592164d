#include "output/study_table.h"

#include <charconv>

namespace lattice_bubble {

void append_shortest(std::string& text, double value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

namespace {

void append_parameter(std::string& text, std::string_view name, double value, std::string_view note = {}) {
    text += "# ";
    text += name;
    text += " = ";
    append_shortest(text, value);
    text += note;
    text += '\n';
}

}  // namespace

std::string table_header(const StudyModel& model, std::span<const Route* const> routes, std::string_view version) {
    std::string text = "# ix iy m nu";
    std::string names;
    for (const Route* route : routes) {
        text.append(" re_").append(route->name).append(" im_").append(route->name);
        names.append(names.empty() ? "" : ",").append(route->name);
    }
    text += "\n# lattice_bubble ";
    text += version;
    text += ": bare particle-hole susceptibility chi(q, i nu_m) of free electrons on the L x L square lattice\n";
    append_parameter(text, "lattice", model.lattice, " (L; q = 2*pi*(ix, iy)/L)");
    append_parameter(text, "beta", model.beta);
    append_parameter(text, "mu", model.band.mu);
    append_parameter(text, "hopping", model.band.hopping);
    append_parameter(text, "offset", model.band.offset, " (band e(k) = 2*hopping*(cos kx + cos ky) + offset - mu)");
    append_parameter(text, "fermionic_frequencies", model.frequencies,
                     " (N; omega_n = (2n + 1)*pi/beta, n = 0 ... N - 1)");
    append_parameter(text, "times", model.times(), " (tau_l = l*beta/(2N))");
    append_parameter(text, "bosonic_frequencies", model.bosons(), " (nu_m = 2*pi*m/beta, m = 0 ... N)");
    text += "# routes = " + names + '\n';
    return text;
}

void append_table_block(std::string& text, const StudyModel& model, WaveVector q, bool first,
                        std::span<const std::span<const Complex>> values) {
    if (!first) {
        text += "\n\n";
    }
    const std::string point = std::to_string(q.first) + ' ' + std::to_string(q.second) + ' ';
    for (int m = 0; m < model.bosons(); ++m) {
        text += point;
        text += std::to_string(m);
        text += ' ';
        append_shortest(text, boson_frequency(m, model.beta).im);
        for (const std::span<const Complex> route : values) {
            text += ' ';
            append_shortest(text, route[static_cast<std::size_t>(m)].re);
            text += ' ';
            append_shortest(text, route[static_cast<std::size_t>(m)].im);
        }
        text += '\n';
    }
}

std::string plot_commands(const StudyModel& model, WaveVector q, std::span<const Route* const> routes,
                          std::span<const std::span<const Complex>> values) {
    std::string commands = "set title 'Re chi(q, i nu_m) at q = 2 pi (" + std::to_string(q.first) + ", " +
                           std::to_string(q.second) + ")/" + std::to_string(model.lattice) +
                           "'\nset xlabel 'm'\nset ylabel 'Re chi'\nset grid\nplot ";
    std::string data;
    for (std::size_t r = 0; r < routes.size(); ++r) {
        commands += r == 0 ? "" : ", ";
        commands += "'-' using 1:2 with linespoints title '" + std::string(routes[r]->name) + "'";
        for (std::size_t m = 0; m < values[r].size(); ++m) {
            data += std::to_string(m) + ' ';
            append_shortest(data, values[r][m].re);
            data += '\n';
        }
        data += "e\n";
    }
    return commands + "\n" + data;
}

}  // namespace lattice_bubble
