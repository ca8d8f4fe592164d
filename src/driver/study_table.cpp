#include "driver/study_table.h"

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

std::string table_header(const StudyRequest& study, std::string_view version) {
    const StudyModel& model = study.model;
    const RouteSet& routes = study.routes;
    std::string text = "# ix iy m nu";
    text += routes.fourier ? " re_fourier im_fourier" : "";
    text += routes.tail ? " re_tail im_tail" : "";
    text += routes.direct ? " re_direct im_direct" : "";
    text += "\n# lattice_bubble ";
    text += version;
    text +=
        ": bare particle-hole susceptibility chi(q, i nu_m) of free electrons on the L x L square lattice\n";
    append_parameter(text, "lattice", model.lattice, " (L; q = 2*pi*(ix, iy)/L)");
    append_parameter(text, "beta", model.beta);
    append_parameter(text, "mu", model.band.mu);
    append_parameter(text, "hopping", model.band.hopping);
    append_parameter(text, "offset", model.band.offset,
                     " (band e(k) = 2*hopping*(cos kx + cos ky) + offset - mu)");
    append_parameter(text, "fermionic_frequencies", model.frequencies,
                     " (N; omega_n = (2n + 1)*pi/beta, n = 0 ... N - 1)");
    append_parameter(text, "times", model.times(), " (tau_l = l*beta/(2N))");
    append_parameter(text, "bosonic_frequencies", model.bosons(), " (nu_m = 2*pi*m/beta, m = 0 ... N)");
    std::string names;
    for (const auto& [computed, name] : {std::pair{routes.fourier, "fourier"}, std::pair{routes.tail, "tail"},
                                         std::pair{routes.direct, "direct"}}) {
        if (computed) {
            names += names.empty() ? "" : ",";
            names += name;
        }
    }
    text += "# routes = " + names + '\n';
    return text;
}

void append_table_block(std::string& text, const StudyModel& model, int ix, int iy, bool first,
                        std::span<const Complex> fourier, std::span<const Complex> tail,
                        std::span<const Complex> direct) {
    if (!first) {
        text += "\n\n";
    }
    const std::string point = std::to_string(ix) + ' ' + std::to_string(iy) + ' ';
    for (int m = 0; m < model.bosons(); ++m) {
        text += point;
        text += std::to_string(m);
        text += ' ';
        append_shortest(text, boson_frequency(m, model.beta).im);
        for (const std::span<const Complex> route : {fourier, tail, direct}) {
            if (!route.empty()) {
                text += ' ';
                append_shortest(text, route[static_cast<std::size_t>(m)].re);
                text += ' ';
                append_shortest(text, route[static_cast<std::size_t>(m)].im);
            }
        }
        text += '\n';
    }
}

}  // namespace lattice_bubble
