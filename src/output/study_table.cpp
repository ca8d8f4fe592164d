#include "output/study_table.h"

#include <algorithm>
#include <limits>
#include <tuple>

#include "common/number_text.h"

namespace lattice_bubble {

namespace {

// The suffixes of the enhanced susceptibilities' columns, in their order.
constexpr std::string_view channels[] = {"_spin", "_charge"};

// The frequency or time of a table's row j: ν_j, ω_j or τ_j.
double frequency(const StudyModel& model, int j) {
    if (model.time_count) {
        return model.time(j);
    }
    return model.real_axis ? model.real_axis->omega(j) : boson_frequency(j, model.beta).im;
}

// The rows of a block, each "<point> j <frequency or time>" and the values
// of each route, with a coupling the enhanced susceptibilities after each.
void append_rows(std::string& text, const StudyModel& model, const std::string& point,
                 std::span<const std::span<const Complex>> values) {
    const auto append_complex = [&](Complex value) {
        text += ' ';
        append_shortest(text, value.re);
        text += ' ';
        append_shortest(text, value.im);
    };
    for (int j = 0; j < model.values(); ++j) {
        text += point;
        text += std::to_string(j);
        text += ' ';
        append_shortest(text, frequency(model, j));
        for (const std::span<const Complex> route : values) {
            const Complex chi0 = route[static_cast<std::size_t>(j)];
            append_complex(chi0);
            if (model.coupling) {
                append_complex(rpa_spin(chi0, *model.coupling));
                append_complex(rpa_charge(chi0, *model.coupling));
            }
        }
        text += '\n';
    }
}

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
                         std::string_view version, bool off_grid) {
    std::string text = off_grid ? "# qx qy" : "# ix iy";
    text += model.real_axis ? " j omega" : model.time_count ? " j tau" : " m nu";
    std::string names;
    for (const Route* route : routes) {
        text.append(" re_").append(route->name).append(" im_").append(route->name);
        for (const std::string_view channel :
             model.coupling ? channels : std::span<const std::string_view>{}) {
            text.append(" re_").append(route->name).append(channel);
            text.append(" im_").append(route->name).append(channel);
        }
        names.append(names.empty() ? "" : ",").append(route->name);
    }
    text += "\n# lattice_bubble ";
    text += version;
    text += model.real_axis    ? ": bare particle-hole susceptibility chi(q, omega + i eta)"
            : model.time_count ? ": bare particle-hole susceptibility chi(q, tau)"
                               : ": bare particle-hole susceptibility chi(q, i nu_m)";
    text += " of free electrons on the L x L square lattice\n";
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
    if (const std::optional<RealAxis>& axis = model.real_axis) {
        text += "# real_axis = ";
        append_shortest(text, axis->omega_min);
        text += ',';
        append_shortest(text, axis->omega_max);
        text += ',' + std::to_string(axis->count) +
                " (OMIN,OMAX,COUNT; omega_j = OMIN + (OMAX - OMIN)*j/(COUNT - 1), j = 0 ... COUNT - 1)\n";
        append_parameter(text, "broadening", axis->broadening, " (eta; z = omega_j + i*eta)");
    } else {
        // The Fourier routes' mesh where it was named or a route computes on it as it stands.
        const bool on_fixed_mesh =
            std::any_of(routes.begin(), routes.end(), [](const Route* route) { return route->fixed_mesh; });
        if (model.frequencies_given || on_fixed_mesh) {
            append_parameter(text, "fermionic_frequencies", model.frequencies,
                             " (N; omega_n = (2n + 1)*pi/beta, n = 0 ... N - 1)");
            append_parameter(text, "times", model.times(), " (tau_l = l*beta/(2N))");
        }
        if (model.time_count) {
            append_parameter(text, "imaginary_times", *model.time_count,
                             " (T; the rows' tau_j = j*beta/(T - 1), j = 0 ... T - 1)");
        } else if (model.frequencies_given && !model.boson_count) {
            append_parameter(text, "bosonic_frequencies", model.bosons(),
                             " (nu_m = 2*pi*m/beta, m = 0 ... N)");
        } else {
            append_parameter(text, "bosonic_frequencies", model.bosons(),
                             " (M; nu_m = 2*pi*m/beta, m = 0 ... M - 1)");
        }
    }
    if (model.shifted()) {
        append_pair(text, "k_shift", model.k_shift[0], model.k_shift[1],
                    " (S; the mesh k = 2*pi*(x + S, y + S)/L, q on the grid)",
                    " (SX,SY; the mesh k = 2*pi*((x + SX)/LX, (y + SY)/LY), q on the grid)");
    }
    if (off_grid) {
        text += "# q = pi*(qx, qy), off the grid\n";
    }
    if (model.coupling) {
        append_parameter(text, "coupling", *model.coupling,
                         " (U; chi_spin = chi0/(1 - U*chi0), chi_charge = chi0/(1 + U*chi0), chi0 per spin)");
    }
    text += "# routes = " + names + '\n';
    return text;
}

void append_table_block(std::string& text, const StudyModel& model, WaveVector q, bool first,
                        std::span<const std::span<const Complex>> values) {
    if (!first) {
        text += "\n\n";
    }
    append_rows(text, model, std::to_string(q.first) + ' ' + std::to_string(q.second) + ' ', values);
}

void append_point_block(std::string& text, const StudyModel& model, FreeWaveVector q, bool first,
                        std::span<const std::span<const Complex>> values) {
    if (!first) {
        text += "\n\n";
    }
    std::string point;
    append_shortest(point, q[0]);
    point += ' ';
    append_shortest(point, q[1]);
    append_rows(text, model, point + ' ', values);
}

StaticLimits::StaticLimits(const StudyModel& model, std::span<const Route* const> routes)
    : coupling_(model.coupling),
      real_axis_(model.real_axis.has_value()),
      routes_(routes.begin(), routes.end()) {}

void StaticLimits::add(WaveVector q, std::span<const double> chi0) {
    if (!coupling_) {
        return;
    }
    if (largest_.empty()) {
        largest_.assign(routes_.size(), Largest{-std::numeric_limits<double>::infinity(), q});
    }
    // A wave vector counts once per channel, whichever routes find it past.
    const auto count = [&](Crossing& crossing, double u_chi0, std::size_t route) {
        if (crossing.count == 0) {
            crossing = {0, q, u_chi0, route};
        }
        ++crossing.count;
    };
    bool spin = false;
    bool charge = false;
    for (std::size_t r = 0; r < chi0.size(); ++r) {
        if (chi0[r] > largest_[r].chi0) {
            largest_[r] = {chi0[r], q};
        }
        const double u_chi0 = *coupling_ * chi0[r];
        if (u_chi0 >= 1.0 && !spin) {
            spin = true;
            count(spin_, u_chi0, r);
        }
        if (u_chi0 <= -1.0 && !charge) {
            charge = true;
            count(charge_, u_chi0, r);
        }
    }
    ++wave_vectors_;
}

std::string StaticLimits::trailer() const {
    std::string text;
    for (std::size_t r = 0; r < largest_.size(); ++r) {
        const Largest& largest = largest_[r];
        const std::string where =
            " at ix,iy = " + std::to_string(largest.q.first) + ',' + std::to_string(largest.q.second);
        const std::string_view what = real_axis_ ? "the largest static chi0(q, 0) over the table's q"
                                                 : "the largest Re chi0(q, i nu_0) over the table's q";
        text.append("# U_c_").append(routes_[r]->name).append(" = ");
        if (largest.chi0 > 0.0) {
            append_shortest(text, 1.0 / largest.chi0);
            text += " (1/";
            append_shortest(text, largest.chi0);
            text.append(", ").append(what).append(where).append(
                "; the spin channel is unstable for U >= U_c, the charge channel for U <= -U_c)\n");
        } else {
            text += "none (";
            append_shortest(text, largest.chi0);
            text.append(", ").append(what).append(where).append(", is not positive)\n");
        }
    }
    return text;
}

std::vector<std::string> StaticLimits::warnings() const {
    std::vector<std::string> lines;
    for (const auto& [crossing, channel, test, denominator] :
         {std::tuple{&spin_, "spin", ">= 1", "1 - U*chi0"},
          std::tuple{&charge_, "charge", "<= -1", "1 + U*chi0"}}) {
        if (crossing->count == 0) {
            continue;
        }
        std::string u_chi0;
        append_shortest(u_chi0, crossing->u_chi0);
        lines.push_back("warning: U*chi0(q, 0) " + std::string(test) + " at " +
                        std::to_string(crossing->count) + " of the table's " + std::to_string(wave_vectors_) +
                        " wave vectors (first at ix,iy = " + std::to_string(crossing->q.first) + ',' +
                        std::to_string(crossing->q.second) + ", U*chi0 = " + u_chi0 + " by the " +
                        std::string(routes_[crossing->route]->name) + " route): the " + channel +
                        " channel is past its instability there (" + denominator +
                        " has crossed zero), and its columns there are not a susceptibility");
    }
    return lines;
}

std::string plot_commands(const StudyModel& model, WaveVector q, std::span<const Route* const> routes,
                          std::span<const std::span<const Complex>> values) {
    const std::string ix = std::to_string(q.first);
    const std::string iy = std::to_string(q.second);
    const std::string lx = std::to_string(model.lattice_x);
    const std::string ly = std::to_string(model.lattice_y);
    const bool real = model.real_axis.has_value();
    std::string commands = real ? "set title 'Im chi(q, omega + i eta) at q = 2 pi "
                                : "set title 'Re chi(q, i nu_m) at q = 2 pi ";
    commands.append(lx == ly ? "(" + ix + ", " + iy + ")/" + lx
                             : "(" + ix + "/" + lx + ", " + iy + "/" + ly + ")");
    if (real) {
        commands += ", eta = ";
        append_shortest(commands, model.real_axis->broadening);
    }
    commands.append(real ? "'\nset xlabel 'omega'\nset ylabel 'Im chi'\nset grid\nplot "
                         : "'\nset xlabel 'm'\nset ylabel 'Re chi'\nset grid\nplot ");
    // A curve of each route: Re χ(iν_m) against m, or Im χ0 (with a coupling
    // Im χ_spin and Im χ_charge beside it) against ω.
    std::string data;
    const auto curve = [&](const std::string& title, const auto& value, std::span<const Complex> chi) {
        commands += data.empty() ? "" : ", ";
        commands += "'-' using 1:2 with linespoints title '" + title + "'";
        for (std::size_t j = 0; j < chi.size(); ++j) {
            if (real) {
                append_shortest(data, model.real_axis->omega(static_cast<int>(j)));
            } else {
                data += std::to_string(j);
            }
            data += ' ';
            append_shortest(data, value(chi[j]));
            data += '\n';
        }
        data += "e\n";
    };
    for (std::size_t r = 0; r < routes.size(); ++r) {
        const std::string name(routes[r]->name);
        if (!real) {
            curve(
                name, [](Complex chi) { return chi.re; }, values[r]);
            continue;
        }
        curve(
            name, [](Complex chi) { return chi.im; }, values[r]);
        if (const std::optional<double> u = model.coupling) {
            curve(
                name + " spin", [u](Complex chi) { return rpa_spin(chi, *u).im; }, values[r]);
            curve(
                name + " charge", [u](Complex chi) { return rpa_charge(chi, *u).im; }, values[r]);
        }
    }
    return commands + "\n" + data;
}

std::string path_map_commands(const StudyModel& model, std::span<const WaveVector> path,
                              std::span<const double> image) {
    const RealAxis& axis = *model.real_axis;
    std::string commands = model.coupling ? "set title 'Im chi_spin(q, omega + i eta), U = "
                                          : "set title 'Im chi0(q, omega + i eta";
    if (model.coupling) {
        append_shortest(commands, *model.coupling);
    }
    commands += model.coupling ? ", eta = " : "), eta = ";
    append_shortest(commands, axis.broadening);
    commands += "' noenhanced\nset xlabel 'q'\nset ylabel 'omega'\nset autoscale fix\nset xtics (";
    // Γ, X and M where the path passes them.
    const WaveVector corners[] = {
        {0, 0}, {model.lattice_x / 2, 0}, {model.lattice_x / 2, model.lattice_y / 2}};
    const char* const names[] = {"Gamma", "X", "M"};
    bool first = true;
    for (int c = 0; c < 3; ++c) {
        for (std::size_t i = 0; i < path.size(); ++i) {
            if (path[i] == corners[c] && (c == 0 || corners[c] != corners[c - 1])) {
                commands += (first ? "'" : ", '") + std::string(names[c]) + "' " + std::to_string(i);
                first = false;
                break;
            }
        }
    }
    commands += ")\nset grid front\nset palette rgb 21,22,23\n";
    commands += axis.count > 1 ? "plot '-' using 1:2:3 with image notitle\n"
                               : "plot '-' using 1:3 with linespoints notitle\n";
    for (std::size_t i = 0; i < path.size(); ++i) {
        for (int j = 0; j < axis.count; ++j) {
            commands += std::to_string(i) + ' ';
            append_shortest(commands, axis.omega(j));
            commands += ' ';
            append_shortest(commands,
                            image[i * static_cast<std::size_t>(axis.count) + static_cast<std::size_t>(j)]);
            commands += '\n';
        }
    }
    return commands + "e\n";
}

}  // namespace lattice_bubble
