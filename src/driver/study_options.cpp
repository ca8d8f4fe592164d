#include "driver/study_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "driver/command_line.h"

namespace lattice_bubble {
namespace {

// What a value must be, as the messages and --help say it.
constexpr std::string_view lattice_accepted = "a power of two from 2 to 4096";
constexpr std::string_view frequencies_accepted = "a power of two from 2 to 65536";
constexpr std::string_view beta_accepted = "a decimal number from 1e-6 to 1e6";
constexpr std::string_view band_accepted = "a decimal number from -1e6 to 1e6";
constexpr std::string_view q_accepted = "IX,IY with integers from 0 to L - 1, or all";
constexpr std::string_view threads_accepted = "an integer from 1 to 1024";
constexpr std::string_view routes_accepted = "a comma-separated list of fourier, tail, direct";

// A number read from an argument, or why it is not one.
template <typename T>
struct Reading {
    std::optional<T> value;
    std::string_view problem;
};

bool is_decimal_text(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789+-.eE") == std::string_view::npos;
}

// A real as strtod reads it, the whole text consumed, but no hexadecimal,
// infinity or NaN, which strtod would also take.
Reading<double> read_real(std::string_view text) {
    if (!is_decimal_text(text)) {
        const std::string_view digits = text.substr(text.find_first_not_of("+-") == std::string_view::npos
                                                        ? text.size()
                                                        : text.find_first_not_of("+-"));
        if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            return {std::nullopt, "hexadecimal numbers are not accepted"};
        }
        if (!digits.empty() &&
            (digits[0] == 'i' || digits[0] == 'I' || digits[0] == 'n' || digits[0] == 'N')) {
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
    return {value, {}};
}

// A decimal integer, an optional sign and digits; an int or out of range.
Reading<long long> read_integer(std::string_view text) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        const Reading<double> real = read_real(text);
        return {std::nullopt, real.value ? "not an integer" : real.problem};
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return {std::nullopt, "out of range"};  // more digits than any accepted value has
    }
    return {negative ? -value : value, {}};
}

bool is_power_of_two(long long value) { return value > 0 && (value & (value - 1)) == 0; }

struct OptionSpec {
    std::string_view name;
    bool takes_value;
};
constexpr OptionSpec options[] = {{"lattice", true}, {"beta", true},   {"mu", true},
                                  {"hopping", true}, {"offset", true}, {"frequencies", true},
                                  {"q", true},       {"routes", true}, {"plot", false},
                                  {"threads", true}, {"help", false},  {"version", false}};

class Parser {
public:
    Command parse(int argc, const char* const* argv, const char* omp_num_threads, int usable_processors) {
        bool options_ended = false;
        for (int i = 1; i < argc; ++i) {
            const std::string_view argument = argv[i];
            if (options_ended || argument.size() < 2 || argument[0] != '-') {
                refuse("unexpected argument '" + std::string(argument) + "'; nothing was computed (see " +
                       std::string(program_name) + " --help)");
                continue;
            }
            if (argument == "--") {
                options_ended = true;
                continue;
            }
            if (argument == "-h") {
                request(CommandKind::help);
                continue;
            }
            if (argument[1] != '-') {
                refuse_unknown(argument);
                continue;
            }
            const std::size_t equals = argument.find('=');
            const std::string_view name =
                argument.substr(2, equals == std::string_view::npos ? argument.npos : equals - 2);
            const auto known = std::find_if(std::begin(options), std::end(options),
                                            [&](const OptionSpec& option) { return option.name == name; });
            if (known == std::end(options)) {
                refuse_unknown(argument.substr(0, equals));
                continue;
            }
            if (!known->takes_value) {
                if (equals != std::string_view::npos) {
                    refuse("option --" + std::string(name) + " takes no value ('" + std::string(argument) +
                           "'); nothing was computed");
                } else if (name == "help") {
                    request(CommandKind::help);
                } else if (name == "version") {
                    request(CommandKind::version);
                } else {
                    command_.study.plot = true;
                }
                continue;
            }
            std::string_view value;
            if (equals != std::string_view::npos) {
                value = argument.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                refuse("option --" + std::string(name) + " needs a value (" + std::string(accepted(name)) +
                       "); nothing was computed");
                continue;
            }
            take(name, value);
        }
        if (request_ != CommandKind::study) {
            command_.kind = request_;
            return command_;
        }
        if (refusal_.empty()) {
            check_wave_vectors();
        }
        if (refusal_.empty() && !threads_given_) {
            command_.study.threads = usable_processors;
            if (omp_num_threads != nullptr) {
                take_environment_threads(omp_num_threads, usable_processors);
            }
        }
        if (!refusal_.empty()) {
            command_.kind = CommandKind::refused;
            command_.refusal = refusal_;
        }
        return command_;
    }

private:
    static std::string_view accepted(std::string_view name) {
        if (name == "lattice") return lattice_accepted;
        if (name == "frequencies") return frequencies_accepted;
        if (name == "beta") return beta_accepted;
        if (name == "q") return q_accepted;
        if (name == "routes") return routes_accepted;
        if (name == "threads") return threads_accepted;
        return band_accepted;
    }

    void request(CommandKind kind) {
        if (request_ == CommandKind::study) {
            request_ = kind;  // the first request for help or the version is answered
        }
    }

    void refuse(std::string line) {
        if (refusal_.empty()) {
            refusal_ = std::string(program_name) + ": " + std::move(line);
        }
    }
    void refuse_unknown(std::string_view option) {
        refuse("unknown option '" + std::string(option) + "'; nothing was computed (see " +
               std::string(program_name) + " --help)");
    }
    void refuse_value(std::string_view name, std::string_view value, std::string_view problem) {
        refuse("invalid value '" + std::string(value) + "' for --" + std::string(name) + ": " +
               std::string(problem) + " (accepted: " + std::string(accepted(name)) +
               "); nothing was computed");
    }

    void take(std::string_view name, std::string_view value) {
        StudyModel& model = command_.study.model;
        if (name == "lattice" || name == "frequencies") {
            const bool lattice = name == "lattice";
            const long long lowest = lattice ? smallest_lattice : smallest_frequencies;
            const long long highest = lattice ? largest_lattice : largest_frequencies;
            const Reading<long long> reading = read_integer(value);
            if (!reading.value) {
                refuse_value(name, value, reading.problem);
            } else if (*reading.value < lowest || *reading.value > highest) {
                refuse_value(name, value, "out of range");
            } else if (!is_power_of_two(*reading.value)) {
                refuse_value(name, value, "not a power of two");
            } else {
                (lattice ? model.lattice : model.frequencies) = static_cast<int>(*reading.value);
            }
        } else if (name == "q") {
            take_wave_vector(value);
        } else if (name == "routes") {
            take_routes(value);
        } else if (name == "threads") {
            threads_given_ = true;
            take_threads("--threads", value);
        } else {
            const Reading<double> reading = read_real(value);
            const bool is_beta = name == "beta";
            if (!reading.value) {
                refuse_value(name, value, reading.problem);
            } else if (is_beta ? !(*reading.value >= smallest_beta && *reading.value <= largest_beta)
                               : !(std::fabs(*reading.value) <= largest_band_value)) {
                refuse_value(name, value, "out of range");
            } else if (is_beta) {
                model.beta = *reading.value;
            } else {
                (name == "mu"        ? model.band.mu
                 : name == "hopping" ? model.band.hopping
                                     : model.band.offset) = *reading.value;
            }
        }
    }

    // A count of threads from --threads or from the environment (`source`).
    void take_threads(std::string_view source, std::string_view value) {
        const Reading<long long> reading = read_integer(value);
        std::string_view problem = reading.problem;
        if (reading.value && (*reading.value < 1 || *reading.value > largest_threads)) {
            problem = "out of range";
        }
        if (!problem.empty()) {
            refuse("invalid value '" + std::string(value) + "' for " + std::string(source) + ": " +
                   std::string(problem) + " (accepted: " + std::string(threads_accepted) +
                   "); nothing was computed");
            return;
        }
        command_.study.threads = static_cast<int>(*reading.value);
    }

    // OMP_NUM_THREADS: the first entry of its list, else a warning and every usable processor.
    void take_environment_threads(std::string_view value, int usable_processors) {
        std::string_view first = value.substr(0, value.find(','));
        first.remove_prefix(std::min(first.find_first_not_of(" \t"), first.size()));
        first = first.substr(0, first.find_last_not_of(" \t") + 1);
        const Reading<long long> reading = read_integer(first);
        if (reading.value && *reading.value >= 1 && *reading.value <= largest_threads) {
            command_.study.threads = static_cast<int>(*reading.value);
            return;
        }
        command_.warning = std::string(program_name) + ": warning: OMP_NUM_THREADS='" + std::string(value) +
                           "' is not a thread count (" + std::string(threads_accepted) +
                           ", or a list that begins with one); using the " +
                           std::to_string(usable_processors) + " processor" +
                           (usable_processors == 1 ? "" : "s") + " this process may use";
    }

    void take_wave_vector(std::string_view value) {
        StudyRequest& study = command_.study;
        if (value == "all") {
            study.all_q = true;
            return;
        }
        const std::size_t comma = value.find(',');
        if (comma == std::string_view::npos) {
            refuse_value("q", value, "not a pair IX,IY");
            return;
        }
        const Reading<long long> ix = read_integer(value.substr(0, comma));
        const Reading<long long> iy = read_integer(value.substr(comma + 1));
        if (!ix.value || !iy.value) {
            refuse_value("q", value, !ix.value ? ix.problem : iy.problem);
            return;
        }
        if (*ix.value < 0 || *iy.value < 0 || *ix.value >= largest_lattice || *iy.value >= largest_lattice) {
            q_outside_.emplace_back(value);  // named with the lattice's own range once it is known
            return;
        }
        const std::pair<int, int> q{static_cast<int>(*ix.value), static_cast<int>(*iy.value)};
        if (std::find(study.q.begin(), study.q.end(), q) == study.q.end()) {
            study.q.push_back(q);
            q_text_.emplace_back(value);
        }
    }

    void take_routes(std::string_view value) {
        RouteSet routes{false, false, false};
        std::string_view rest = value;
        while (true) {
            const std::size_t comma = rest.find(',');
            const std::string_view route = rest.substr(0, comma);
            if (route == "fourier") {
                routes.fourier = true;
            } else if (route == "tail") {
                routes.tail = true;
            } else if (route == "direct") {
                routes.direct = true;
            } else {
                refuse_value("routes", value,
                             route.empty() ? "an empty route" : "unknown route '" + std::string(route) + "'");
                return;
            }
            if (comma == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(comma + 1);
        }
        command_.study.routes = routes;
    }

    // The lattice may come after the wave vectors: they are checked against it at the end.
    void check_wave_vectors() {
        const StudyRequest& study = command_.study;
        std::vector<std::string> outside = q_outside_;
        for (std::size_t i = 0; i < study.q.size(); ++i) {
            if (study.q[i].first >= study.model.lattice || study.q[i].second >= study.model.lattice) {
                outside.push_back(q_text_[i]);
            }
        }
        if (!outside.empty()) {
            refuse("invalid value '" + outside.front() +
                   "' for --q: outside the grid (accepted: IX,IY with integers from 0 to " +
                   std::to_string(study.model.lattice - 1) + ", or all); nothing was computed");
        }
    }

    Command command_{CommandKind::study, {}, {}, {}};
    CommandKind request_ = CommandKind::study;
    std::string refusal_;
    std::vector<std::string> q_text_;
    std::vector<std::string> q_outside_;  // wave vectors outside every lattice, as given
    bool threads_given_ = false;
};

}  // namespace

std::vector<std::pair<int, int>> StudyRequest::wave_vectors() const {
    if (all_q) {
        std::vector<std::pair<int, int>> every;
        every.reserve(static_cast<std::size_t>(model.lattice) * static_cast<std::size_t>(model.lattice));
        for (int x = 0; x < model.lattice; ++x) {
            for (int y = 0; y < model.lattice; ++y) {
                every.emplace_back(x, y);
            }
        }
        return every;
    }
    if (q.empty()) {
        return {{model.lattice / 2, model.lattice / 2}};
    }
    return q;
}

Command parse_command_line(int argc, const char* const* argv, const char* omp_num_threads,
                           int usable_processors) {
    if (argc <= 1) {
        return {};
    }
    return Parser().parse(argc, argv, omp_num_threads, usable_processors);
}

}  // namespace lattice_bubble
