#include "request/study_request.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <sstream>

#include "platform/system_resources.h"
#include "request/number_reading.h"
#include "routes/tail_grid.h"

namespace lattice_bubble {
namespace {

// The real axis's frequencies and their count: the range of each; the
// Matsubara frequencies of a mesh; the range of an off-grid wave vector (units of π).
constexpr double largest_frequency = 1e6;
constexpr double largest_count = 1e6;
constexpr double largest_frequencies = 65536;
constexpr double largest_q_point = 1e6;

std::string route_names(const char* separator, bool (*chosen)(const Route&)) {
    std::string names;
    for (const Route& route : routes()) {
        if (chosen(route)) {
            names.append(names.empty() ? "" : separator).append(route.name);
        }
    }
    return names;
}

std::vector<Field> make_fields() {
    const StudyModel model;
    const Band& band = model.band;
    const auto value = [](double v) { return bound_text(v); };
    const auto pair = [](double x, double y) {
        return x == y ? bound_text(x) : bound_text(x) + "," + bound_text(y);
    };
    using K = FieldKind;
    return {
        {"lattice", "L|LX,LY", K::integer, true, 1, 4096,
         "the L x L (or LX x LY) lattice, q = 2 pi (ix/LX, iy/LY)", pair(model.lattice_x, model.lattice_y)},
        {"beta", "B", K::real, false, 1e-6, 1e6, "inverse temperature", value(model.beta),
         &StudyRequest::beta},
        {"mu", "M", K::real, false, -1e6, 1e6,
         "chemical potential M, subtracted last from the band (see --offset)", value(band.mu),
         &StudyRequest::mu},
        {"hopping", "T|TX,TY", K::real, true, -1e6, 1e6,
         "nearest-neighbour coefficient T of the band, or TX along x and TY along y (see --offset)",
         pair(band.hopping_x, band.hopping_y)},
        {"hopping2", "T2", K::real, false, -1e6, 1e6,
         "next-nearest-neighbour coefficient T2 of the band (see --offset)", value(band.hopping2),
         &StudyRequest::hopping2},
        {"hopping3", "T3", K::real, false, -1e6, 1e6,
         "third-neighbour coefficient T3 of the band (see --offset)", value(band.hopping3),
         &StudyRequest::hopping3},
        {"offset", "O", K::real, false, -1e6, 1e6,
         "offset O of the band e(k) = 2 TX cos kx + 2 TY cos ky + 4 T2 cos kx cos ky + 2 T3 (cos 2kx + cos "
         "2ky) "
         "+ O - M; the usual hoppings t, t', t'' are -T, -T2, -T3",
         value(band.offset), &StudyRequest::offset},
        {"frequencies", "N", K::integer, false, 1, largest_frequencies,
         "positive fermionic Matsubara frequencies of the fourier and tail routes' mesh: 2N imaginary times "
         "and N + 1 bosonic frequencies nu_m = 2 pi m/beta, m = 0 ... N, as many as the table has unless "
         "--bosons says otherwise",
         "the tail route chooses N for --tolerance, the fourier route takes " + value(model.frequencies),
         nullptr, &StudyRequest::frequencies},
        {"bosons", "M", K::integer, false, 1, largest_frequencies + 1.0,
         "bosonic Matsubara frequencies of the table, nu_m = 2 pi m/beta, m = 0 ... M - 1", "N + 1, 17",
         nullptr, &StudyRequest::bosons},
        {"times", "T", K::integer, false, 2, largest_count,
         "instead of frequencies, chi(q, tau_j) at the imaginary times tau_j = j beta/(T - 1), j = 0 ... T "
         "- 1, by the dlr and direct routes",
         "none, frequencies", nullptr, &StudyRequest::times},
        {"real-axis", "OMIN,OMAX,COUNT", K::text, false, 0, 0,
         "the real frequencies omega_j = OMIN + (OMAX - OMIN) j/(COUNT - 1), j = 0 ... COUNT - 1, instead of "
         "the "
         "Matsubara axis: chi(q, omega_j + i ETA) by the direct route",
         "none, the Matsubara axis"},
        {"broadening", "ETA", K::real, false, 1e-12, 1e6,
         "the broadening eta of the real frequencies omega_j + i eta", "none", &StudyRequest::broadening},
        {"coupling", "U", K::real, false, -1e6, 1e6,
         "the interaction U of the enhanced (RPA) susceptibilities chi0/(1 - U chi0) (spin) and chi0/(1 + U "
         "chi0) "
         "(charge), chi0 per spin, in columns after each route's; the table ends with each route's U_c",
         "none, no interacting columns", &StudyRequest::coupling},
        {"tolerance", "EPS", K::real, false, 1e-14, 1e-2,
         "the accuracy of the routes that choose their own mesh: the dlr route's representation holds "
         "every imaginary-time function of the band's spectrum to EPS, and without --frequencies the tail "
         "route chooses N for it",
         value(model.tolerance), &StudyRequest::tolerance},
        {"k-shift", "S|SX,SY", K::real, true, 0, 1,
         "the momentum mesh k = 2 pi ((x + SX)/LX, (y + SY)/LY) of the direct and dlr routes, off the "
         "points where the Fermi surface may cross the grid; the wave vectors q stay on the grid",
         "0, the grid"},
        {"q-point", "QX,QY", K::text, false, 0, 0,
         "a wave vector anywhere in the zone, q = pi (QX, QY), for the direct route, instead of --q; repeat "
         "it for more",
         "none"},
        {"q", "IX,IY", K::text, false, 0, 0,
         "a wave vector of the table by its grid indices; repeat it for more (each counts once, in the order "
         "given); all: every wave vector, ix major, iy minor; path: the grid points on Gamma -> X -> M -> "
         "Gamma",
         "LX/2,LY/2 rounded down, (pi, pi) on even sides"},
        {"routes", "LIST", K::text, false, 0, 0, "the routes of the table",
         std::string(route_for_numbers().name) +
             ", the route whose accuracy is controlled; with --real-axis or "
             "--q-point " +
             std::string(route_off_the_matsubara_grid().name)},
        {"plot", "", K::flag, false, 0, 0,
         "after the table, draw Re chi(q, i nu_m) against m for every route at the first q with the plotting "
         "program (on the real axis Im chi against omega, or with --q path its map along the path), and wait "
         "for "
         "Enter",
         ""},
        {"threads", "K", K::integer, false, 1, 1024, "threads; the table is the same for every K",
         "OMP_NUM_THREADS (its first entry) when set, else every processor the process may use", nullptr,
         &StudyRequest::threads},
    };
}

// A figure of a message, to three digits: 3.43e-5, 0.0001, 10800.
std::string figure(double value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.3g", value);
    return digits;
}

// Text given by the user, safe inside a text with {field} names.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out.append(c == '{' ? "{{" : std::string(1, c));
    }
    return out;
}

std::string describe_bytes(double bytes) {
    std::ostringstream text;
    constexpr double mib = 1024.0 * 1024.0;
    text << std::fixed << std::setprecision(1);
    if (bytes >= 1024.0 * mib) {
        text << bytes / (1024.0 * mib) << " GiB";
    } else {
        text << bytes / mib << " MiB";
    }
    return text.str();
}

// The checks of one request, in the order of the fields.
class Check {
public:
    Check(const StudyRequest& request, const Environment& environment)
        : request_(request), environment_(environment) {}

    CheckedRequest run() {
        Study& study = result_.study.emplace();
        StudyModel& model = study.model;
        model_fields(model);
        if (request_.real_axis) {
            real_axis(model);
        }
        number("broadening", request_.broadening);
        number("coupling", request_.coupling);
        number("tolerance", request_.tolerance);
        model.coupling = request_.coupling;
        model.tolerance = request_.tolerance.value_or(model.tolerance);
        if (request_.model_only) {
            return finish();
        }
        routes(study);
        threads(study);
        relations(study);
        if (problems().empty()) {
            route_limits(study);
        }
        wave_vectors(study);
        free_wave_vectors(study);
        study.plot = request_.plot;
        study.arrays_returned = request_.arrays_returned;
        if (problems().empty()) {
            memory(study);
        }
        if (problems().empty()) {
            filling_warnings(study);
        }
        return finish();
    }

private:
    std::vector<Problem>& problems() { return result_.problems; }

    // A study only where nothing is wrong; its warnings only with it.
    CheckedRequest finish() {
        if (!problems().empty()) {
            result_.study.reset();
            result_.warnings.clear();
        }
        return std::move(result_);
    }

    void problem(std::string field, std::optional<std::string> given, std::string reason,
                 std::string accepted, int item = -1) {
        problems().push_back(
            {std::move(field), std::move(given), item, std::move(reason), std::move(accepted)});
    }
    std::string shift_text(double sx, double sy) const {
        return sx == sy ? bound_text(sx) : bound_text(sx) + "," + bound_text(sy);
    }
    void relation(std::string field, std::string reason) {
        problem(std::move(field), std::nullopt, std::move(reason), {});
    }

    // A number of the field within its range; false, with the problem, if not.
    bool in_range(const Field& f, double v, const std::string& given) {
        if (!std::isfinite(v)) {
            problem(std::string(f.name), given, "infinity and NaN are not accepted", accepted_text(f));
        } else if (v < f.lowest || v > f.highest) {
            problem(std::string(f.name), given, "out of range", accepted_text(f));
        } else {
            return true;
        }
        return false;
    }
    template <typename T>
    bool number(std::string_view name, const std::optional<T>& value) {
        return !value ||
               in_range(field(name), static_cast<double>(*value), bound_text(static_cast<double>(*value)));
    }
    template <typename T>
    bool pair(std::string_view name, const std::optional<std::array<T, 2>>& value) {
        if (!value) {
            return true;
        }
        const auto [x, y] = *value;
        const std::string given =
            x == y ? bound_text(static_cast<double>(x))
                   : bound_text(static_cast<double>(x)) + "," + bound_text(static_cast<double>(y));
        const Field& f = field(name);
        return in_range(f, static_cast<double>(x), given) && in_range(f, static_cast<double>(y), given);
    }

    void model_fields(StudyModel& model) {
        const StudyRequest& r = request_;
        if (pair("lattice", r.lattice) && r.lattice) {
            model.lattice_x = static_cast<int>((*r.lattice)[0]);
            model.lattice_y = static_cast<int>((*r.lattice)[1]);
        }
        number("beta", r.beta);
        number("mu", r.mu);
        pair("hopping", r.hopping);
        number("hopping2", r.hopping2);
        number("hopping3", r.hopping3);
        number("offset", r.offset);
        if (number("frequencies", r.frequencies) && r.frequencies) {
            model.frequencies = static_cast<int>(*r.frequencies);
            model.frequencies_given = true;
        }
        if (number("bosons", r.bosons) && r.bosons) {
            model.boson_count = static_cast<int>(*r.bosons);
            // Without a mesh named, the Fourier route's grows to hold them.
            model.frequencies =
                r.frequencies ? model.frequencies : std::max(model.frequencies, *model.boson_count - 1);
        }
        if (number("times", r.times) && r.times) {
            model.time_count = static_cast<int>(*r.times);
        }
        if (pair("k-shift", r.k_shift) && r.k_shift) {
            const auto [sx, sy] = *r.k_shift;
            if (sx >= 1.0 || sy >= 1.0) {
                problem("k-shift", shift_text(sx, sy), "out of range", accepted_text(field("k-shift")));
            } else {
                model.k_shift = *r.k_shift;
            }
        }
        model.beta = r.beta.value_or(model.beta);
        Band& band = model.band;
        band.mu = r.mu.value_or(band.mu);
        if (r.hopping) {
            band.hopping_x = (*r.hopping)[0];
            band.hopping_y = (*r.hopping)[1];
        }
        band.hopping2 = r.hopping2.value_or(band.hopping2);
        band.hopping3 = r.hopping3.value_or(band.hopping3);
        band.offset = r.offset.value_or(band.offset);
    }

    void real_axis(StudyModel& model) {
        const RealAxisRequest& axis = *request_.real_axis;
        const std::string given = bound_text(axis.omega_min) + "," + bound_text(axis.omega_max) + "," +
                                  bound_text(static_cast<double>(axis.count));
        const Field& f = field("real-axis");
        if (!std::isfinite(axis.omega_min) || !std::isfinite(axis.omega_max)) {
            problem("real-axis", given, "infinity and NaN are not accepted", accepted_text(f));
        } else if (std::fabs(axis.omega_min) > largest_frequency ||
                   std::fabs(axis.omega_max) > largest_frequency) {
            problem("real-axis", given, "OMIN or OMAX out of range", accepted_text(f));
        } else if (axis.count < 1 || static_cast<double>(axis.count) > largest_count) {
            problem("real-axis", given, "COUNT out of range", accepted_text(f));
        } else if (axis.omega_max < axis.omega_min) {
            problem("real-axis", given, "OMAX is below OMIN", accepted_text(f));
        } else {
            model.real_axis = RealAxis{axis.omega_min, axis.omega_max, static_cast<int>(axis.count),
                                       request_.broadening.value_or(0.0)};
        }
    }

    void routes(Study& study) {
        std::string given;
        for (const std::string& name : request_.routes) {
            given.append(given.empty() ? "" : ",").append(name);
        }
        for (const std::string& name : request_.routes) {
            if (find_route(name) == nullptr) {
                problem("routes", given,
                        name.empty() ? "an empty route" : "unknown route '" + escaped(name) + "'",
                        accepted_text(field("routes")));
                return;
            }
        }
        // None named: the route whose accuracy is controlled where the values are asked for.
        const Route& unnamed = request_.real_axis || !request_.q_points.empty()
                                   ? route_off_the_matsubara_grid()
                                   : route_for_numbers();
        for (const Route& route : lattice_bubble::routes()) {  // the table's order, each once
            const bool named = std::find(request_.routes.begin(), request_.routes.end(), route.name) !=
                               request_.routes.end();
            if (request_.routes.empty() ? &route == &unnamed : named) {
                study.routes.push_back(&route);
            }
        }
    }

    // --threads, else OMP_NUM_THREADS's first entry, else every usable processor.
    void threads(Study& study) {
        const Field& f = field("threads");
        study.threads = environment_.usable_processors;
        if (request_.threads) {
            if (number("threads", request_.threads)) {
                study.threads = static_cast<int>(*request_.threads);
            }
            return;
        }
        if (environment_.omp_num_threads == nullptr) {
            return;
        }
        const std::string_view value = environment_.omp_num_threads;
        std::string_view first = value.substr(0, value.find(','));
        first.remove_prefix(std::min(first.find_first_not_of(" \t"), first.size()));
        first = first.substr(0, first.find_last_not_of(" \t") + 1);
        const NumberReading reading = read_number(first, true);
        if (reading.value && *reading.value >= f.lowest && *reading.value <= f.highest) {
            study.threads = static_cast<int>(*reading.value);
            return;
        }
        const int usable = environment_.usable_processors;
        result_.warnings.push_back("warning: OMP_NUM_THREADS='" + escaped(value) +
                                   "' is not a thread count (" + accepted_text(f) +
                                   ", or a list that begins with one); using the " + std::to_string(usable) +
                                   (usable == 1 ? " processor" : " processors") + " this process may use");
    }

    // Fields given without the one they need, or with one they exclude.
    void relations(const Study& study) {
        const StudyRequest& r = request_;
        const std::string axis_reason =
            "on the real axis the frequencies are omega_j + i eta, not Matsubara frequencies";
        if (r.real_axis && !r.broadening) {
            relation("real-axis", "option {real-axis} needs {broadening} ETA: " + axis_reason);
        }
        if (r.real_axis && r.frequencies) {
            relation("frequencies", "option {frequencies} cannot be given with {real-axis}: " + axis_reason);
        }
        if (r.broadening && !r.real_axis) {
            relation("broadening",
                     "option {broadening} needs {real-axis} OMIN,OMAX,COUNT: eta broadens the real "
                     "frequencies omega_j + i eta");
        }
        const bool mesh_named = r.frequencies.has_value();
        const auto takes_tolerance = [&](const Route* route) {
            return route->takes_tolerance || (route->chooses_mesh && !mesh_named);
        };
        if (r.tolerance && std::none_of(study.routes.begin(), study.routes.end(), takes_tolerance)) {
            const std::string names =
                route_names(" or ", [](const Route& route) { return route.takes_tolerance; });
            relation("tolerance",
                     "option {tolerance} is not used by the routes asked for: it is the accuracy of "
                     "the " +
                         names + " route's representation, and of the " +
                         route_names(" or ", [](const Route& route) { return route.chooses_mesh; }) +
                         " route's mesh without {frequencies}");
        }
        if (r.times && r.real_axis) {
            relation("times",
                     "option {times} cannot be given with {real-axis}: chi(q, tau) is a function of "
                     "imaginary time");
        }
        if (r.times && r.bosons) {
            relation("bosons",
                     "option {bosons} cannot be given with {times}: the rows are imaginary times, not "
                     "frequencies");
        }
        if (r.times && r.coupling) {
            relation("coupling",
                     "option {coupling} cannot be given with {times}: the enhanced "
                     "susceptibilities are formed at each frequency");
        }
        if (r.bosons && r.real_axis) {
            relation("bosons", "option {bosons} cannot be given with {real-axis}: " + axis_reason);
        }
        if (!r.q_points.empty() && !r.q.empty()) {
            relation("q-point",
                     "option {q-point} cannot be given with {q}: the table's wave vectors are either "
                     "on the grid or off it");
        }
        if (!r.q_points.empty() && r.coupling) {
            relation("coupling",
                     "option {coupling} cannot be given with {q-point}: U_c is read from the grid's "
                     "wave vectors ({q} all)");
        }
        if (!r.q_points.empty() && r.plot) {
            relation("plot",
                     "option {plot} cannot be given with {q-point}: it draws wave vectors of the grid");
        }
        for (const Route* route : r.real_axis ? study.routes : std::vector<const Route*>{}) {
            if (!route->real_axis) {
                relation("routes",
                         "route '" + std::string(route->name) +
                             "' cannot be computed with {real-axis}: it works on the Matsubara axis "
                             "only (on the real axis: " +
                             route_names(", ", [](const Route& o) { return o.real_axis; }) + ")");
            }
        }
    }

    // Every route must take the model (once the model itself is sound).
    void route_limits(Study& study) {
        StudyModel& model = study.model;
        for (const Route* route : study.routes) {
            const std::string name = "route '" + std::string(route->name) + "'";
            if (const std::string why = route->refusal ? route->refusal(model) : ""; !why.empty()) {
                relation("routes", "the " + std::string(route->name) + " route " + why);
            } else if (model.shifted() && !route->any_mesh) {
                relation("k-shift",
                         name +
                             " cannot take {k-shift}: it forms chi(r, tau) = G(r, tau) G(r, beta - tau), "
                             "which holds only on a mesh symmetric under k -> -k (the " +
                             route_names(" and ", [](const Route& o) { return o.any_mesh; }) +
                             " routes take it)");
            } else if (model.time_count && !route->any_mesh) {
                relation("times", name + " cannot give {times}: it works on the Matsubara axis only (the " +
                                      route_names(" and ", [](const Route& o) { return o.any_mesh; }) +
                                      " routes give chi(q, tau))");
            } else if (!request_.q_points.empty() && route->compute_points == nullptr) {
                relation(
                    "q-point",
                    name +
                        " cannot take {q-point}: it computes the wave vectors of the grid "
                        "only (the " +
                        route_names(" and ", [](const Route& o) { return o.compute_points != nullptr; }) +
                        " route takes any)");
            } else if (route->chooses_mesh || route->fixed_mesh) {
                fourier_mesh(*route, model);
            }
        }
    }

    // A Fourier route's mesh must hold the bosonic frequencies asked for; the
    // tail route without a mesh named chooses its N for ε.
    void fourier_mesh(const Route& route, StudyModel& model) {
        if (model.real_axis || model.time_count) {
            return;
        }
        const std::string name = std::string(route.name);
        if (model.frequencies_given && model.bosons() > model.grid_bosons()) {
            relation("bosons", "option {bosons} " + std::to_string(model.bosons()) +
                                   " asks for more than the N + 1 = " + std::to_string(model.grid_bosons()) +
                                   " bosonic frequencies of the " + name + " route's mesh ({frequencies} " +
                                   std::to_string(model.frequencies) + ")");
            return;
        }
        if (!route.chooses_mesh) {
            return;
        }
        // The rule's error bound b(N) is relative to β/4, the largest |χ0| of any band.
        const double energy = tail_energy(model);
        const double scale = model.beta / 4.0;
        const TailGrid grid = tail_grid_for(model.beta, energy, model.tolerance);
        if (model.frequencies_given) {
            if (const double bound = tail_bound(model.frequencies, model.beta, energy);
                bound > model.tolerance) {
                result_.warnings.push_back(
                    "warning: the " + name + " route's mesh of N = " + std::to_string(model.frequencies) +
                    " frequencies is coarser than the accuracy " + bound_text(model.tolerance) +
                    " asks: its values are right to " + figure(bound * scale) + " (" + figure(bound) +
                    " of beta/4); N = " + std::to_string(grid.frequencies) +
                    " would meet it, and without {frequencies} the route chooses it itself");
            }
            return;
        }
        const double needed = std::max<double>(grid.frequencies, model.bosons() - 1);
        const std::string figures =
            " at beta*E = " + figure(model.beta * energy) + " (E = max |e(k)|, the farthest state from mu)";
        if (grid.bound > model.tolerance) {
            result_.warnings.push_back("warning: the " + name + " route cannot be right to " +
                                       bound_text(model.tolerance) + " of beta/4" + figures +
                                       ": its rounding floor is " + figure(grid.bound / 2.0) +
                                       " of it, and its values are right to " + figure(grid.bound * scale) +
                                       " (# tail_bound; the dlr route reaches the tolerance)");
        }
        if (needed > largest_frequencies) {
            relation("routes", "the " + name + " route needs N = " + figure(needed) +
                                   " frequencies to be right to {tolerance} " + bound_text(model.tolerance) +
                                   " of beta/4" + figures + ", more than the " +
                                   bound_text(largest_frequencies) +
                                   " its mesh takes (the dlr route reaches it at any beta; or a larger "
                                   "{tolerance})");
            return;
        }
        model.tail_frequencies = static_cast<int>(needed);
    }

    // The wave vectors given, now that the lattice is known: each once, in
    // the order given, the path's in its order where it was given.
    void wave_vectors(Study& study) {
        const StudyModel& model = study.model;
        const auto add = [&](WaveVector q) {
            if (std::find(study.q.begin(), study.q.end(), q) == study.q.end()) {
                study.q.push_back(q);
            }
        };
        const std::string range = model.lattice_x == model.lattice_y
                                      ? "integers from 0 to " + std::to_string(model.lattice_x - 1)
                                      : "IX from 0 to " + std::to_string(model.lattice_x - 1) +
                                            " and IY from 0 to " + std::to_string(model.lattice_y - 1);
        for (std::size_t i = 0; i < request_.q.size(); ++i) {
            const WaveVectorEntry& entry = request_.q[i];
            const int item = static_cast<int>(i);
            if (entry.kind == WaveVectorEntry::Kind::all) {
                study.all_q = true;
            } else if (entry.kind == WaveVectorEntry::Kind::path) {
                study.path = true;
                if (model.sites() == 1) {
                    problem("q", "path", "the 1 x 1 lattice has no path through the zone",
                            "a larger {lattice}", item);
                }
                for (const WaveVector& q : zone_path(model.lattice_x, model.lattice_y)) {
                    add(q);
                }
            } else if (entry.ix < 0 || entry.iy < 0 || entry.ix >= model.lattice_x ||
                       entry.iy >= model.lattice_y) {
                problem("q", std::to_string(entry.ix) + "," + std::to_string(entry.iy), "outside the grid",
                        "IX,IY with " + range + ", all or path", item);
            } else {
                add({static_cast<int>(entry.ix), static_cast<int>(entry.iy)});
            }
        }
    }

    // Off-grid wave vectors: QX,QY (a third, QZ, only 0 on this two-dimensional lattice).
    void free_wave_vectors(Study& study) {
        const Field& f = field("q-point");
        for (std::size_t i = 0; i < request_.q_points.size(); ++i) {
            const std::vector<double>& point = request_.q_points[i];
            std::string given;
            for (const double v : point) {
                given.append(given.empty() ? "" : ",").append(bound_text(v));
            }
            const int item = static_cast<int>(i);
            if (point.size() < 2 || point.size() > 3) {
                problem("q-point", given, "not two values QX,QY", accepted_text(f), item);
            } else if (std::any_of(point.begin(), point.end(), [](double v) { return !std::isfinite(v); })) {
                problem("q-point", given, "infinity and NaN are not accepted", accepted_text(f), item);
            } else if (std::any_of(point.begin(), point.end(),
                                   [](double v) { return std::fabs(v) > largest_q_point; })) {
                problem("q-point", given, "out of range", accepted_text(f), item);
            } else if (point.size() == 3 && point[2] != 0.0) {
                problem("q-point", given, "the lattice is two-dimensional: QZ must be 0", accepted_text(f),
                        item);
            } else {
                study.q_points.push_back({point[0], point[1]});
            }
        }
    }

    // What the band and the mesh would silently make of the values: an
    // empty or full band, and momenta on the Fermi surface at low temperature.
    void filling_warnings(const Study& study) {
        const StudyModel& model = study.model;
        const MeshFilling filling = mesh_filling(model);
        constexpr double least_filling = 1e-6;
        constexpr double cold = 100.0;  // β·W above which a momentum on the Fermi surface dominates χ0(q, 0)
        if (filling.density < least_filling || filling.density > 1.0 - least_filling) {
            const bool empty = filling.density < least_filling;
            result_.warnings.push_back(
                "warning: the band is " + std::string(empty ? "empty" : "full") +
                " at mu = " + bound_text(model.band.mu) + ": " + figure(filling.density) +
                " electrons per site and spin (" + (empty ? "below 1e-6" : "within 1e-6 of 1") +
                "), so chi0 is nearly 0 and U_c enormous; are {offset} " + bound_text(model.band.offset) +
                " and {mu} " + bound_text(model.band.mu) + " meant? (the band, " + bound_text(filling.width) +
                " wide, lies " + (empty ? "above" : "below") +
                " mu; the default offset is the default run's, 5)");
        }
        if (filling.on_fermi_surface > 0 && model.beta * filling.width > cold) {
            const bool shiftable = std::all_of(study.routes.begin(), study.routes.end(),
                                               [](const Route* route) { return route->any_mesh; });
            result_.warnings.push_back(
                "warning: " + std::to_string(filling.on_fermi_surface) + " momenta of the " +
                std::to_string(model.lattice_x) + " x " + std::to_string(model.lattice_y) +
                " mesh lie on the Fermi surface (|e(k)| <= 1e-9 W); at beta*W = " +
                bound_text(model.beta * filling.width) + " each pair of them adds up to beta/(4*LX*LY) = " +
                bound_text(model.beta / (4.0 * model.sites())) +
                " to chi0(q, 0), which grows like beta: right for this finite lattice, not for a large "
                "one; " +
                (shiftable ? "{k-shift} 0.5,0.25 moves the mesh off it"
                           : "{k-shift} 0.5,0.25 with the direct or dlr route moves the mesh off it"));
        }
    }

    void memory(const Study& study) {
        const std::optional<double> available = available_memory_bytes();
        const double needed = study_memory_bytes(study);
        if (!available || needed <= *available) {
            return;
        }
        std::string alone;  // the routes asked for that would fit on their own
        for (const Route* route : study.routes) {
            Study one = study;
            one.routes = {route};
            if (study.routes.size() > 1 && study_memory_bytes(one) <= *available) {
                alone.append(alone.empty() ? "; {routes} " : " or ").append(route->name);
            }
        }
        problems().push_back(
            {"memory", std::nullopt, -1,
             "the study needs " + describe_bytes(needed) + " of memory" +
                 (study.model.tail_frequencies
                      ? " (the tail route's mesh of N = " + std::to_string(*study.model.tail_frequencies) +
                            " frequencies, chosen for {tolerance} " + bound_text(study.model.tolerance) + ")"
                      : std::string()) +
                 ", but only " + describe_bytes(*available) + " is available",
             std::string(study.model.tail_frequencies ? "a smaller {lattice} or a larger {tolerance}"
                                                      : "a smaller {lattice} or {frequencies}") +
                 " needs less" + (alone.empty() ? "" : alone + " alone fits"),
             true});
    }

    const StudyRequest& request_;
    const Environment& environment_;
    CheckedRequest result_;
};

}  // namespace

std::span<const Field> fields() {
    static const std::vector<Field> rows = make_fields();
    return rows;
}

const Field* find_field(std::string_view name) {
    const auto rows = fields();
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const Field& f) { return f.name == name; });
    return found != rows.end() ? &*found : nullptr;
}

const Field& field(std::string_view name) { return *find_field(name); }

std::string accepted_text(const Field& f) {
    if (f.name == "real-axis") {
        return "decimal numbers OMIN <= OMAX from -" + bound_text(largest_frequency) + " to " +
               bound_text(largest_frequency) + " and an integer COUNT from 1 to " + bound_text(largest_count);
    }
    if (f.name == "q") {
        return "IX,IY with integers from 0 to LX - 1 and from 0 to LY - 1, all or path";
    }
    if (f.name == "k-shift") {
        return "a decimal number from 0 to below 1, or two such separated by a comma";
    }
    if (f.name == "q-point") {
        return "two decimal numbers QX,QY from -" + bound_text(largest_q_point) + " to " +
               bound_text(largest_q_point) + " (a third, QZ, only 0)";
    }
    if (f.name == "routes") {
        return "a comma-separated list of " + route_names(", ", [](const Route&) { return true; });
    }
    return std::string(f.kind == FieldKind::real ? "a decimal number" : "an integer") + " from " +
           bound_text(f.lowest) + " to " + bound_text(f.highest) +
           (f.pair ? ", or two such separated by a comma" : "");
}

std::string GivenTexts::of(const Problem& problem) const {
    const std::vector<std::string>& entries = problem.field == "q-point" ? q_points : q;
    if (problem.item >= 0 && static_cast<std::size_t>(problem.item) < entries.size()) {
        return entries[static_cast<std::size_t>(problem.item)];
    }
    const auto given = fields.find(problem.field);
    return given != fields.end() ? given->second : problem.given.value_or("");
}

std::string refusal_text(const Problem& problem, const std::function<std::string(std::string_view)>& name_of,
                         const std::string& value_phrase) {
    const std::string reason = with_field_names(problem.reason, name_of);
    const std::string accepted = with_field_names(problem.accepted, name_of);
    if (problem.given) {
        return "invalid value " + value_phrase + ": " + reason +
               (accepted.empty() ? "" : " (accepted: " + accepted + ")") + "; nothing was computed";
    }
    return reason + "; nothing was computed" + (accepted.empty() ? "" : " (" + accepted + ")");
}

CheckedRequest check_request(const StudyRequest& request, const Environment& environment) {
    return Check(request, environment).run();
}

}  // namespace lattice_bubble
