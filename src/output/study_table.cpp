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
    text.append("# ").append(name).append(" = ");
    append_shortest(text, value);
    text.append(note).append("\n");
}

// "a" where both are equal, "a,b" otherwise, with the note of each form.
void append_pair(std::string& text, std::string_view name, double a, double b, std::string_view same_note,
                 std::string_view pair_note) {
    if (a == b) {
        append_parameter(text, name, a, same_note);
        return;
    }
    text.append("# ").append(name).append(" = ");
    append_shortest(text, a);
    text += ',';
    append_shortest(text, b);
    text.append(pair_note).append("\n");
}

}  // namespace

std::string table_header(const StudyModel& model, std::span<const Route* const> routes,
                         std::string_view version) {
    std::string text = "# ix iy m nu";
    std::string names;
    for (const Route* route : routes) {
        text.append(" re_").append(route->name).append(" im_").append(route->name);
        names.append(names.empty() ? "" : ",").append(route->name);
    }
    text += "\n# lattice_bubble ";
    text += version;
    text +=
        ": bare particle-hole susceptibility chi(q, i nu_m) of free electrons on the L x L square lattice\n";
    const Band& band = model.band;
    append_pair(text, "lattice", model.lattice_x, model.lattice_y, " (L; q = 2*pi*(ix, iy)/L)",
                " (LX,LY; q = 2*pi*(ix/LX, iy/LY))");
    append_parameter(text, "beta", model.beta);
    append_parameter(text, "mu", band.mu);
    append_pair(text, "hopping", band.hopping_x, band.hopping_y, "", " (TX,TY)");
    if (band.hopping2 != 0.0) {
        append_parameter(text, "hopping2", band.hopping2, " (T2, next-nearest neighbours)");
    }
    if (band.hopping3 != 0.0) {
        append_parameter(text, "hopping3", band.hopping3, " (T3, third neighbours)");
    }
    const bool nearest_only =
        band.hopping_x == band.hopping_y && band.hopping2 == 0.0 && band.hopping3 == 0.0;
    append_parameter(text, "offset", band.offset,
                     nearest_only
                         ? " (band e(k) = 2*hopping*(cos kx + cos ky) + offset - mu)"
                         : " (band e(k) = 2*TX*cos kx + 2*TY*cos ky + 4*T2*cos kx*cos ky"
                           " + 2*T3*(cos 2kx + cos 2ky) + offset - mu; a coefficient without a line is 0)");
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
    const std::string ix = std::to_string(q.first);
    const std::string iy = std::to_string(q.second);
    const std::string lx = std::to_string(model.lattice_x);
    const std::string ly = std::to_string(model.lattice_y);
    std::string commands = "set title 'Re chi(q, i nu_m) at q = 2 pi ";
    commands.append(lx == ly ? "(" + ix + ", " + iy + ")/" + lx
                             : "(" + ix + "/" + lx + ", " + iy + "/" + ly + ")");
    commands.append("'\nset xlabel 'm'\nset ylabel 'Re chi'\nset grid\nplot ");
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
