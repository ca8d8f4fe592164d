#include "request/study_request.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "platform/system_resources.h"
#include "request/number_reading.h"

namespace lattice_bubble {
namespace {

// The real axis's frequencies and their count: the range of each.
constexpr double largest_frequency = 1e6;
constexpr double largest_count = 1e6;

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
        {"frequencies", "N", K::integer, false, 1, 65536,
         "positive fermionic Matsubara frequencies; the run has 2N imaginary times and N + 1 bosonic "
         "frequencies "
         "nu_m = 2 pi m/beta, m = 0 ... N",
         value(model.frequencies)},
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
         "the dlr route's tolerance: its representation holds every imaginary-time function of the band's "
         "spectrum to EPS",
         value(model.tolerance), &StudyRequest::tolerance},
        {"q", "IX,IY", K::text, false, 0, 0,
         "a wave vector of the table by its grid indices; repeat it for more (each counts once, in the order "
         "given); all: every wave vector, ix major, iy minor; path: the grid points on Gamma -> X -> M -> "
         "Gamma",
         "LX/2,LY/2 rounded down, (pi, pi) on even sides"},
        {"routes", "LIST", K::text, false, 0, 0, "the routes of the table",
         route_names(",", [](const Route& r) { return r.by_default; }) + "; with --real-axis " +
             route_names(",", [](const Route& r) { return r.by_default && r.real_axis; })},
        {"plot", "", K::flag, false, 0, 0,
         "after the table, draw Re chi(q, i nu_m) against m for every route at the first q with the plotting "
         "program (on the real axis Im chi against omega, or with --q path its map along the path), and wait "
         "for "
         "Enter",
         ""},
        {"threads", "K", K::integer, false, 1, 1024, "threads; the table is the same for every K",
         "OMP_NUM_THREADS (its first entry) when set, else every processor the process may use"},
    };
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
        study.plot = request_.plot;
        study.arrays_returned = request_.arrays_returned;
        if (problems().empty()) {
            memory(study);
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
        for (const Route& route : lattice_bubble::routes()) {  // the table's order, each once
            const bool named = std::find(request_.routes.begin(), request_.routes.end(), route.name) !=
                               request_.routes.end();
            const bool on_axis = route.real_axis || !request_.real_axis;
            if (request_.routes.empty() ? route.by_default && on_axis : named) {
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
        result_.warnings.push_back("warning: OMP_NUM_THREADS='" + std::string(value) +
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
        const auto takes_tolerance = [](const Route* route) { return route->takes_tolerance; };
        if (r.tolerance && std::none_of(study.routes.begin(), study.routes.end(), takes_tolerance)) {
            const std::string names =
                route_names(" or ", [](const Route& route) { return route.takes_tolerance; });
            relation("tolerance",
                     "option {tolerance} needs the " + names + " route ({routes} " + names +
                         ", alone or with others): it is the tolerance of that route's representation");
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
    void route_limits(const Study& study) {
        for (const Route* route : study.routes) {
            if (const std::string why = route->refusal ? route->refusal(study.model) : ""; !why.empty()) {
                relation("routes", "the " + std::string(route->name) + " route " + why);
            }
        }
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
             "the study needs " + describe_bytes(needed) + " of memory, but only " +
                 describe_bytes(*available) + " is available",
             "a smaller {lattice} or {frequencies} needs less" + (alone.empty() ? "" : alone + " alone fits"),
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
    if (f.name == "routes") {
        return "a comma-separated list of " + route_names(", ", [](const Route&) { return true; });
    }
    return std::string(f.kind == FieldKind::real ? "a decimal number" : "an integer") + " from " +
           bound_text(f.lowest) + " to " + bound_text(f.highest) +
           (f.pair ? ", or two such separated by a comma" : "");
}

std::string GivenTexts::of(const Problem& problem) const {
    if (problem.item >= 0 && static_cast<std::size_t>(problem.item) < q.size()) {
        return q[static_cast<std::size_t>(problem.item)];
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
