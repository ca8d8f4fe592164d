#include "entry/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <ostream>

#include "common/program.h"

namespace lattice_bubble {
namespace {

// Joins its parts into one string.
template <typename... Parts>
std::string join(const Parts&... parts) {
    std::string text;
    (text.append(parts), ...);
    return text;
}

// A number read from a whole argument, or why it is not one: an integer is
// decimal digits with an optional sign; a real is what strtod reads, but no
// hexadecimal, infinity or NaN, which strtod would also take.
struct Reading {
    std::optional<double> value;
    std::string_view problem;
};

Reading read_number(std::string_view text, bool integer) {
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
    if (integer && !digits) {
        return {std::nullopt, "not an integer"};
    }
    return {value, {}};
}

// A bound as a person writes it: 4096, 1e-6, 1e6.
std::string bound_text(double value) {
    char digits[32];
    std::string text(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    if (const auto e = text.find('e'); e != std::string::npos) {
        const bool negative = text[e + 1] == '-';
        text = join(text.substr(0, e + 1), negative ? "-" : "",
                    text.substr(text.find_first_not_of("+-0", e + 1)));
    }
    return text;
}

// ------------------------------------------------------------------ the table

struct ParseState {
    StudyRequest& study;
    std::vector<std::string> q_given;     // pairs and "path" as given, resolved once the lattice is known
    std::vector<std::string> q_outside;   // outside every lattice
    std::vector<std::string_view> given;  // the options given
};

enum class Kind { flag, integer, real, text };

// A number's two values: one given for both, or a pair "A,B".
using Values = std::pair<double, double>;

struct Option {
    std::string_view name;
    std::string_view metavar;  // the value in --help
    Kind kind;
    std::string_view help;
    double lowest = 0.0;  // numbers: the range of each value
    double highest = 0.0;
    bool pair = false;                                             // numbers: "A" for both, or "A,B"
    void (*set)(StudyRequest&, Values) = nullptr;                  // numbers: where the value goes
    Values (*get)(const StudyRequest&) = nullptr;                  // and its default, for --help
    std::string (*take)(ParseState&, std::string_view) = nullptr;  // text and flags: the problem, or empty
    std::string (*accepted_text)() = nullptr;                      // text: the form it takes
    std::string_view default_text = {};  // where the default is not a value of the request
    std::string_view needs = {};         // an option that must be given with it
    std::string_view excludes = {};      // an option that must not
    std::string_view reason = {};        // why, for the refusals
};

constexpr Option number(std::string_view name, std::string_view metavar, Kind kind, double lowest,
                        double highest, bool pair, void (*set)(StudyRequest&, Values),
                        Values (*get)(const StudyRequest&), std::string_view help,
                        std::string_view default_text = {}, std::string_view needs = {},
                        std::string_view reason = {}) {
    return {name, metavar, kind,    help,         lowest, highest, pair,  set,
            get,  nullptr, nullptr, default_text, needs,  {},      reason};
}

// Where one real value of the model or of its band goes, and its default.
template <double StudyModel::*Field>
void set_model(StudyRequest& s, Values v) {
    s.model.*Field = v.first;
}
template <double StudyModel::*Field>
Values model_value(const StudyRequest& s) {
    return {s.model.*Field, s.model.*Field};
}
template <double Band::*Field>
void set_band(StudyRequest& s, Values v) {
    s.model.band.*Field = v.first;
}
template <double Band::*Field>
Values band_value(const StudyRequest& s) {
    return {s.model.band.*Field, s.model.band.*Field};
}

std::string take_wave_vector(ParseState& state, std::string_view value);
std::string take_routes(ParseState& state, std::string_view value);
std::string take_real_axis(ParseState& state, std::string_view value);
// The real axis's frequencies and broadening, each range of its values.
constexpr double largest_frequency = 1e6;
constexpr double largest_count = 1e6;
RealAxis& real_axis(StudyRequest& s) {
    return s.model.real_axis ? *s.model.real_axis : s.model.real_axis.emplace();
}
std::string route_names(bool real_axis_only = false) {
    std::string names;
    for (const Route& route : routes()) {
        if (route.real_axis || !real_axis_only) {
            names.append(names.empty() ? "" : ", ").append(route.name);
        }
    }
    return names;
}
std::string real_axis_route_names() { return route_names(true); }

const Option options[] = {
    number(
        "lattice", "L|LX,LY", Kind::integer, 1, 4096, true,
        [](StudyRequest& s, Values v) {
            s.model.lattice_x = static_cast<int>(v.first);
            s.model.lattice_y = static_cast<int>(v.second);
        },
        [](const StudyRequest& s) { return Values(s.model.lattice_x, s.model.lattice_y); },
        "the L x L (or LX x LY) lattice, q = 2 pi (ix/LX, iy/LY)"),
    number("beta", "B", Kind::real, 1e-6, 1e6, false, set_model<&StudyModel::beta>,
           model_value<&StudyModel::beta>, "inverse temperature"),
    number("mu", "M", Kind::real, -1e6, 1e6, false, set_band<&Band::mu>, band_value<&Band::mu>,
           "chemical potential M, subtracted last from the band (see --offset)"),
    number(
        "hopping", "T|TX,TY", Kind::real, -1e6, 1e6, true,
        [](StudyRequest& s, Values v) {
            s.model.band.hopping_x = v.first;
            s.model.band.hopping_y = v.second;
        },
        [](const StudyRequest& s) { return Values(s.model.band.hopping_x, s.model.band.hopping_y); },
        "nearest-neighbour coefficient T of the band, or TX along x and TY along y (see --offset)"),
    number("hopping2", "T2", Kind::real, -1e6, 1e6, false, set_band<&Band::hopping2>,
           band_value<&Band::hopping2>, "next-nearest-neighbour coefficient T2 of the band (see --offset)"),
    number("hopping3", "T3", Kind::real, -1e6, 1e6, false, set_band<&Band::hopping3>,
           band_value<&Band::hopping3>, "third-neighbour coefficient T3 of the band (see --offset)"),
    number("offset", "O", Kind::real, -1e6, 1e6, false, set_band<&Band::offset>, band_value<&Band::offset>,
           "offset O of the band e(k) = 2 TX cos kx + 2 TY cos ky + 4 T2 cos kx cos ky + 2 T3 (cos 2kx + cos "
           "2ky) "
           "+ O - M; the usual hoppings t, t', t'' are -T, -T2, -T3"),
    number(
        "frequencies", "N", Kind::integer, 1, 65536, false,
        [](StudyRequest& s, Values v) { s.model.frequencies = static_cast<int>(v.first); },
        [](const StudyRequest& s) { return Values(s.model.frequencies, s.model.frequencies); },
        "positive fermionic Matsubara frequencies; the run has 2N imaginary times and N + 1 bosonic "
        "frequencies "
        "nu_m = 2 pi m/beta, m = 0 ... N"),
    {"real-axis", "OMIN,OMAX,COUNT", Kind::text,
     "the real frequencies omega_j = OMIN + (OMAX - OMIN) j/(COUNT - 1), j = 0 ... COUNT - 1, instead of the "
     "Matsubara axis: chi(q, omega_j + i ETA) by the direct route",
     0, 0, false, nullptr, nullptr, take_real_axis,
     [] {
         return join("decimal numbers OMIN <= OMAX from -", bound_text(largest_frequency), " to ",
                     bound_text(largest_frequency), " and an integer COUNT from 1 to ",
                     bound_text(largest_count));
     },
     "none, the Matsubara axis", "broadening", "frequencies",
     "on the real axis the frequencies are omega_j + i eta, not Matsubara frequencies"},
    number(
        "broadening", "ETA", Kind::real, 1e-12, 1e6, false,
        [](StudyRequest& s, Values v) { real_axis(s).broadening = v.first; }, nullptr,
        "the broadening eta of the real frequencies omega_j + i eta", "none", "real-axis",
        "eta broadens the real frequencies omega_j + i eta"),
    number(
        "coupling", "U", Kind::real, -1e6, 1e6, false,
        [](StudyRequest& s, Values v) { s.model.coupling = v.first; }, nullptr,
        "the interaction U of the enhanced (RPA) susceptibilities chi0/(1 - U chi0) (spin) and chi0/(1 + U "
        "chi0) "
        "(charge), chi0 per spin, in columns after each route's; the table ends with each route's U_c",
        "none, no interacting columns"),
    number(
        "tolerance", "EPS", Kind::real, 1e-14, 1e-2, false,
        [](StudyRequest& s, Values v) { s.model.tolerance = v.first; },
        [](const StudyRequest& s) { return Values(s.model.tolerance, s.model.tolerance); },
        "the dlr route's tolerance: its representation holds every imaginary-time function of the band's "
        "spectrum to EPS"),
    {"q", "IX,IY", Kind::text,
     "a wave vector of the table by its grid indices; repeat it for more (each counts once, in the order "
     "given); all: every wave vector, ix major, iy minor; path: the grid points on Gamma -> X -> M -> Gamma",
     0, 0, false, nullptr, nullptr, take_wave_vector,
     [] { return std::string("IX,IY with integers from 0 to LX - 1 and from 0 to LY - 1, all or path"); },
     "LX/2,LY/2 rounded down, (pi, pi) on even sides"},
    {"routes", "LIST", Kind::text, "the routes of the table", 0, 0, false, nullptr, nullptr, take_routes,
     [] { return join("a comma-separated list of ", route_names()); },
     "fourier,tail,direct; with --real-axis direct"},
    {"plot", "", Kind::flag,
     "after the table, draw Re chi(q, i nu_m) against m for every route at the first q with the plotting "
     "program (on the real axis Im chi against omega, or with --q path its map along the path), and wait for "
     "Enter",
     0, 0, false, nullptr, nullptr,
     [](ParseState& state, std::string_view) {
         state.study.plot = true;
         return std::string();
     }},
    number(
        "threads", "K", Kind::integer, 1, 1024, false,
        [](StudyRequest& s, Values v) { s.threads = static_cast<int>(v.first); },
        [](const StudyRequest& s) { return Values(s.threads, s.threads); },
        "threads; the table is the same for every K",
        "OMP_NUM_THREADS (its first entry) when set, else every processor the process may use"),
};

const Option& option(std::string_view name) {
    return *std::find_if(std::begin(options), std::end(options),
                         [&](const Option& o) { return o.name == name; });
}

// What a value must be, as the refusals and --help say it.
std::string accepted(const Option& o) {
    if (o.kind == Kind::text) {
        return o.accepted_text();
    }
    return join(o.kind == Kind::real ? "a decimal number" : "an integer", " from ", bound_text(o.lowest),
                " to ", bound_text(o.highest), o.pair ? ", or two such separated by a comma" : "");
}

// One number of the option's kind within its range, or the problem.
Reading read_value(const Option& o, std::string_view text) {
    const Reading reading = read_number(text, o.kind == Kind::integer);
    if (reading.value && !(*reading.value >= o.lowest && *reading.value <= o.highest)) {
        return {std::nullopt, "out of range"};
    }
    return reading;
}

// The option's value: one number for both, or, where it takes a pair, "A,B".
std::optional<Values> read_values(const Option& o, std::string_view text, std::string_view& problem) {
    const std::size_t comma = o.pair ? text.find(',') : std::string_view::npos;
    if (comma != std::string_view::npos && text.find(',', comma + 1) != std::string_view::npos) {
        problem = "more than two values";
        return std::nullopt;
    }
    const Reading first = read_value(o, text.substr(0, comma));
    const Reading second = comma == std::string_view::npos ? first : read_value(o, text.substr(comma + 1));
    problem = !first.value ? first.problem : second.problem;
    if (!first.value || !second.value) {
        return std::nullopt;
    }
    return Values(*first.value, *second.value);
}

std::string take_wave_vector(ParseState& state, std::string_view value) {
    if (value == "all") {
        state.study.all_q = true;
        return {};
    }
    if (value == "path") {
        state.q_given.emplace_back(value);
        return {};
    }
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos) {
        return "not a pair IX,IY";
    }
    const Reading ix = read_number(value.substr(0, comma), true);
    const Reading iy = read_number(value.substr(comma + 1), true);
    if (!ix.value || !iy.value) {
        return std::string(!ix.value ? ix.problem : iy.problem);
    }
    const double largest = option("lattice").highest;
    if (*ix.value < 0 || *iy.value < 0 || *ix.value >= largest || *iy.value >= largest) {
        state.q_outside.emplace_back(value);  // named with the lattice's own range once it is known
        return {};
    }
    state.q_given.emplace_back(value);
    return {};
}

std::string take_real_axis(ParseState& state, std::string_view value) {
    const std::size_t first = value.find(',');
    const std::size_t second = first == value.npos ? value.npos : value.find(',', first + 1);
    if (second == value.npos || value.find(',', second + 1) != value.npos) {
        return "not three values OMIN,OMAX,COUNT";
    }
    const Reading low = read_number(value.substr(0, first), false);
    const Reading high = read_number(value.substr(first + 1, second - first - 1), false);
    const Reading count = read_number(value.substr(second + 1), true);
    for (const Reading& reading : {low, high, count}) {
        if (!reading.value) {
            return std::string(reading.problem);
        }
    }
    if (std::fabs(*low.value) > largest_frequency || std::fabs(*high.value) > largest_frequency) {
        return "OMIN or OMAX out of range";
    }
    if (*count.value < 1 || *count.value > largest_count) {
        return "COUNT out of range";
    }
    if (*high.value < *low.value) {
        return "OMAX is below OMIN";
    }
    RealAxis& axis = real_axis(state.study);
    axis.omega_min = *low.value;
    axis.omega_max = *high.value;
    axis.count = static_cast<int>(*count.value);
    return {};
}

std::string take_routes(ParseState& state, std::string_view value) {
    std::vector<const Route*> chosen;
    for (std::string_view rest = value;;) {
        const std::string_view name = rest.substr(0, rest.find(','));
        if (const Route* route = find_route(name)) {
            chosen.push_back(route);
        } else {
            return name.empty() ? "an empty route" : join("unknown route '", name, "'");
        }
        if (name.size() == rest.size()) {
            break;
        }
        rest.remove_prefix(name.size() + 1);
    }
    state.study.routes.clear();
    for (const Route& route : routes()) {  // the table's order, each once
        if (std::find(chosen.begin(), chosen.end(), &route) != chosen.end()) {
            state.study.routes.push_back(&route);
        }
    }
    return {};
}

// ------------------------------------------------------------------ parsing

class Parser {
public:
    Command parse(int argc, const char* const* argv, const char* omp_num_threads, int usable_processors) {
        for (int i = 1; i < argc; ++i) {
            const std::string_view argument = argv[i];
            if (options_ended_ || argument.size() < 2 || argument[0] != '-') {
                refuse("unexpected argument '", argument, "'; nothing was computed (see ", program_name,
                       " --help)");
                continue;
            }
            const std::size_t equals = argument.find('=');
            const std::string_view name =
                argument.substr(2, equals == argument.npos ? argument.npos : equals - 2);
            const auto known = std::find_if(std::begin(options), std::end(options), [&](const Option& o) {
                return o.name == name && argument[1] == '-';
            });
            if (argument == "--") {
                options_ended_ = true;
            } else if (argument == "-h" || argument == "--help" || argument == "--version") {
                request_ = request_ != CommandKind::study ? request_  // the first request is answered
                           : argument == "--version"      ? CommandKind::version
                                                          : CommandKind::help;
            } else if (known == std::end(options) &&
                       (argument[1] != '-' || (name != "help" && name != "version"))) {
                refuse("unknown option '", argument.substr(0, equals), "'; nothing was computed (see ",
                       program_name, " --help)");
            } else if (known == std::end(options) || (known->kind == Kind::flag && equals != argument.npos)) {
                refuse("option --", name, " takes no value ('", argument, "'); nothing was computed");
            } else if (known->kind == Kind::flag) {
                state_.given.push_back(known->name);
                known->take(state_, {});
            } else if (equals != argument.npos || i + 1 < argc) {
                take(*known,
                     equals != argument.npos ? argument.substr(equals + 1) : std::string_view(argv[++i]));
            } else {
                refuse("option --", name, " needs a value (", accepted(*known), "); nothing was computed");
            }
        }
        if (request_ != CommandKind::study) {
            return Command{request_, {}, {}, {}};
        }
        StudyRequest& study = command_.study;
        const StudyModel& model = study.model;
        check_relations();
        for (const Route& route : study.routes.empty() ? routes() : std::span<const Route>{}) {
            if (route.by_default && (route.real_axis || !model.real_axis)) {
                study.routes.push_back(&route);
            }
        }
        check_routes();
        for (const Route* route : model.real_axis ? study.routes : std::vector<const Route*>{}) {
            if (!route->real_axis) {
                refuse("route '", route->name,
                       "' cannot be computed with --real-axis: it works on the Matsubara "
                       "axis only (on the real axis: ",
                       real_axis_route_names(), "); nothing was computed");
            }
        }
        resolve_wave_vectors();
        if (!state_.q_outside.empty()) {
            refuse("invalid value '", state_.q_outside.front(),
                   "' for --q: outside the grid (accepted: IX,IY with ",
                   model.lattice_x == model.lattice_y
                       ? join("integers from 0 to ", std::to_string(model.lattice_x - 1))
                       : join("IX from 0 to ", std::to_string(model.lattice_x - 1), " and IY from 0 to ",
                              std::to_string(model.lattice_y - 1)),
                   ", all or path); nothing was computed");
        }
        if (!given("threads")) {
            study.threads = usable_processors;
            if (omp_num_threads != nullptr) {
                take_environment_threads(omp_num_threads, usable_processors);
            }
        }
        if (!refusal_.empty()) {
            return Command{CommandKind::refused, {}, refusal_, {}};
        }
        return command_;
    }

private:
    template <typename... Parts>
    void refuse(const Parts&... parts) {
        if (refusal_.empty()) {
            refusal_ = join(program_name, ": ", parts...);
        }
    }

    [[nodiscard]] bool given(std::string_view name) const {
        return std::find(state_.given.begin(), state_.given.end(), name) != state_.given.end();
    }

    // Options given without the one they need, or with one they exclude.
    void check_relations() {
        for (const Option& o : options) {
            if (!given(o.name)) {
                continue;
            }
            if (!o.needs.empty() && !given(o.needs)) {
                refuse("option --", o.name, " needs --", o.needs, " ", option(o.needs).metavar, ": ",
                       o.reason, "; nothing was computed");
            }
            if (!o.excludes.empty() && given(o.excludes)) {
                refuse("option --", o.excludes, " cannot be given with --", o.name, ": ", o.reason,
                       "; nothing was computed");
            }
        }
    }

    // --tolerance needs a route that takes it, and every route must take the model.
    void check_routes() {
        const StudyRequest& study = command_.study;
        const bool takes_tolerance = std::any_of(study.routes.begin(), study.routes.end(),
                                                 [](const Route* route) { return route->takes_tolerance; });
        if (given("tolerance") && !takes_tolerance) {
            std::string names;
            for (const Route& route : routes()) {
                if (route.takes_tolerance) {
                    names.append(names.empty() ? "" : " or ").append(route.name);
                }
            }
            refuse("option --tolerance needs the ", names, " route (--routes ", names,
                   ", alone or with others): it is the tolerance of that route's representation; nothing was "
                   "computed");
        }
        for (const Route* route : study.routes) {
            if (const std::string why = route->refusal ? route->refusal(study.model) : ""; !why.empty()) {
                refuse("the ", route->name, " route ", why, "; nothing was computed");
            }
        }
    }

    // The wave vectors given, now that the lattice is known: each once, in
    // the order given, the path's in its order where it was given.
    void resolve_wave_vectors() {
        StudyRequest& study = command_.study;
        const StudyModel& model = study.model;
        const auto add = [&](WaveVector q) {
            if (std::find(study.q.begin(), study.q.end(), q) == study.q.end()) {
                study.q.push_back(q);
            }
        };
        for (const std::string& text : state_.q_given) {
            if (text == "path") {
                study.path = true;
                if (model.sites() == 1) {
                    refuse(
                        "invalid value 'path' for --q: the 1 x 1 lattice has no path through the zone "
                        "(accepted: a larger --lattice); nothing was computed");
                }
                for (const WaveVector& q : zone_path(model.lattice_x, model.lattice_y)) {
                    add(q);
                }
                continue;
            }
            const std::size_t comma = text.find(',');
            const WaveVector q{std::atoi(text.substr(0, comma).c_str()),
                               std::atoi(text.substr(comma + 1).c_str())};
            if (q.first >= model.lattice_x || q.second >= model.lattice_y) {
                state_.q_outside.push_back(text);
            }
            add(q);
        }
    }

    void take(const Option& o, std::string_view value) {
        state_.given.push_back(o.name);
        std::string_view problem;
        std::string text_problem;
        if (o.kind == Kind::text) {
            text_problem = o.take(state_, value);
            problem = text_problem;
        } else if (const std::optional<Values> values = read_values(o, value, problem)) {
            o.set(command_.study, *values);
        }
        if (!problem.empty()) {
            refuse("invalid value '", value, "' for --", o.name, ": ", problem, " (accepted: ", accepted(o),
                   "); nothing was computed");
        }
    }

    // OMP_NUM_THREADS: the first entry of its list, else a warning and every usable processor.
    void take_environment_threads(std::string_view value, int usable_processors) {
        const Option& threads = option("threads");
        std::string_view first = value.substr(0, value.find(','));
        first.remove_prefix(std::min(first.find_first_not_of(" \t"), first.size()));
        first = first.substr(0, first.find_last_not_of(" \t") + 1);
        if (const Reading reading = read_value(threads, first); reading.value) {
            command_.study.threads = static_cast<int>(*reading.value);
            return;
        }
        command_.warning =
            join(program_name, ": warning: OMP_NUM_THREADS='", value, "' is not a thread count (",
                 accepted(threads), ", or a list that begins with one); using the ",
                 std::to_string(usable_processors), usable_processors == 1 ? " processor" : " processors",
                 " this process may use");
    }

    Command command_{CommandKind::study, {}, {}, {}};
    ParseState state_{command_.study, {}, {}, {}};
    CommandKind request_ = CommandKind::study;
    std::string refusal_;
    bool options_ended_ = false;
};

// Words of `text` on lines of at most `width` characters, every line after
// the first indented by `indent`; the first begins at `column`.
void write_wrapped(std::ostream& out, std::string_view text, std::size_t column, std::size_t indent) {
    constexpr std::size_t width = 92;
    for (bool first = true; !text.empty(); first = false) {
        const std::string_view word = text.substr(0, text.find(' '));
        if (!first && column + 1 + word.size() > width) {
            out << '\n' << std::string(indent, ' ');
            column = indent;
        } else if (!first) {
            out << ' ';
            ++column;
        }
        out << word;
        column += word.size();
        text.remove_prefix(std::min(word.size() + 1, text.size()));
    }
    out << '\n';
}

}  // namespace

std::vector<WaveVector> StudyRequest::wave_vectors() const {
    if (!all_q) {
        return q.empty() ? std::vector<WaveVector>{{model.lattice_x / 2, model.lattice_y / 2}} : q;
    }
    std::vector<WaveVector> every;
    for (int x = 0; x < model.lattice_x; ++x) {
        for (int y = 0; y < model.lattice_y; ++y) {
            every.emplace_back(x, y);
        }
    }
    return every;
}

Command parse_command_line(int argc, const char* const* argv, const char* omp_num_threads,
                           int usable_processors) {
    return argc <= 1 ? Command{} : Parser().parse(argc, argv, omp_num_threads, usable_processors);
}

bool has_option(std::string_view name) {
    return std::any_of(std::begin(options), std::end(options),
                       [&](const Option& o) { return o.name == name; });
}

void write_option_help(std::ostream& out) {
    constexpr std::size_t indent = 21;
    StudyRequest defaults;
    for (const Option& o : options) {
        std::string head = join("  --", o.name, o.metavar.empty() ? "" : " ", o.metavar);
        head.resize(std::max(head.size() + 1, indent), ' ');
        out << head;
        std::string default_text(o.default_text);
        if (o.get != nullptr && default_text.empty()) {
            const auto [first, second] = o.get(defaults);
            default_text =
                first == second ? bound_text(first) : join(bound_text(first), ",", bound_text(second));
        }
        write_wrapped(out,
                      o.kind == Kind::flag ? std::string(o.help)
                                           : join(o.help, "; ", accepted(o), "; default ", default_text),
                      head.size(), indent);
        for (const Route& route : o.take == take_routes ? routes() : std::span<const Route>{}) {
            std::string line = join("    ", route.name);
            line.resize(indent, ' ');
            out << line;
            write_wrapped(out, route.help, indent, indent);
        }
    }
}

}  // namespace lattice_bubble
