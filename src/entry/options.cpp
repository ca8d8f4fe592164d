#include "entry/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>
#include <ostream>

#include "common/program.h"

namespace lattice_bubble {
namespace {

// "--name" for a field, as every message of the command line names it.
std::string option_name(std::string_view field) { return "--" + std::string(field); }

// Splits "A,B,…" at its commas.
std::vector<std::string_view> split(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == text.npos) {
            return parts;
        }
        start = comma + 1;
    }
}

// A value that is not of its option's form, and why.
struct Unreadable {
    std::string_view problem;
};

// One number of the value, or Unreadable.
double number(std::string_view text, bool integer) {
    const NumberReading reading = read_number(text, integer);
    if (!reading.value) {
        throw Unreadable{reading.problem};
    }
    return *reading.value;
}

// The values of the options, read into a request: numbers by the project's
// reader, pairs and lists split at their commas. The first value that is not
// of its option's form is the refusal; the request's check does the rest.
class Reader {
public:
    StudyRequest request;
    std::string refusal;
    GivenTexts given;  // each option's last value and every --q, as written

    void read(const Field& f, const std::string& text) {
        given.fields[std::string(f.name)] = text;
        try {
            (f.kind == FieldKind::text ? read_text(f, text) : read_numbers(f, text));
        } catch (const Unreadable& unreadable) {
            if (refusal.empty()) {
                const Problem problem{std::string(f.name), text, -1, std::string(unreadable.problem),
                                      accepted_text(f)};
                refusal = refusal_text(problem, option_name, "'" + text + "' for --" + problem.field);
            }
        }
    }

private:
    void read_numbers(const Field& f, std::string_view text) {
        const std::vector<std::string_view> parts = split(text);
        if (parts.size() > (f.pair ? 2U : 1U)) {
            throw Unreadable{f.pair ? "more than two values" : "not a decimal number"};
        }
        const bool integer = f.kind == FieldKind::integer;
        const double x = number(parts.front(), integer);
        const double y = number(parts.back(), integer);
        if (f.name == "lattice") {
            request.lattice = {saturated_integer(x), saturated_integer(y)};
        } else if (f.name == "hopping") {
            request.hopping = {x, y};
        } else if (f.name == "k-shift") {
            request.k_shift = {x, y};
        } else if (f.integer != nullptr) {
            request.*f.integer = saturated_integer(x);
        } else {
            request.*f.real = x;
        }
    }

    void read_text(const Field& f, std::string_view text) {
        const std::vector<std::string_view> parts = split(text);
        if (f.name == "routes") {
            request.routes.assign(parts.begin(), parts.end());
        } else if (f.name == "q") {
            given.q.emplace_back(text);
            using Kind = WaveVectorEntry::Kind;
            if (text == "all" || text == "path") {
                request.q.push_back({text == "all" ? Kind::all : Kind::path});
                return;
            }
            if (parts.size() != 2) {
                throw Unreadable{"not a pair IX,IY"};
            }
            const double ix = number(parts[0], true);
            request.q.push_back(
                {Kind::point, saturated_integer(ix), saturated_integer(number(parts[1], true))});
        } else if (f.name == "q-point") {
            given.q_points.emplace_back(text);
            if (parts.size() < 2 || parts.size() > 3) {
                throw Unreadable{"not two values QX,QY"};
            }
            std::vector<double> point;
            for (const std::string_view part : parts) {
                point.push_back(number(part, false));
            }
            request.q_points.push_back(std::move(point));
        } else {
            if (parts.size() != 3) {
                throw Unreadable{"not three values OMIN,OMAX,COUNT"};
            }
            const double low = number(parts[0], false);
            const double high = number(parts[1], false);
            request.real_axis = {low, high, saturated_integer(number(parts[2], true))};
        }
    }
};

}  // namespace

Command read_command_line(int argc, const char* const* argv, const Environment& environment) {
    if (argc <= 1) {
        return {};
    }
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();
    CLI::Option* help = app.add_flag("-h,--help");
    CLI::Option* version = app.add_flag("--version");
    std::map<const CLI::Option*, const Field*> fields_of;
    for (const Field& f : fields()) {
        CLI::Option* option = app.add_option(option_name(f.name));
        option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->expected(f.kind == FieldKind::flag ? 0 : 1);
        fields_of[option] = &f;
    }
    // Where CLI11's reading differs from the program's, the arguments are
    // mended before it reads them (last first, as it wants them): "--name="
    // is the empty value (CLI11 would take the next argument), and a flag with
    // a value is refused (CLI11 takes "--plot=true"). Neither after "--", nor
    // in the value of the option before.
    std::string refusal;
    std::vector<std::string> arguments;
    bool ended = false;
    bool value = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const std::size_t equals = argument.starts_with("--") ? argument.find('=') : argument.npos;
        const std::string_view name = argument.starts_with("--") ? argument.substr(2, equals - 2) : "";
        const Field* named = find_field(name);
        const bool flag =
            name == "help" || name == "version" || (named != nullptr && named->kind == FieldKind::flag);
        if (ended || value || equals == argument.npos) {
            ended = ended || (!value && argument == "--");
            value = !ended && !value && equals == argument.npos && named != nullptr && !flag;
            arguments.emplace_back(argument);
        } else if (flag) {
            refusal = refusal.empty() ? "option --" + std::string(name) + " takes no value ('" +
                                            std::string(argument) + "'); nothing was computed"
                                      : refusal;
        } else if (equals + 1 == argument.size()) {
            arguments.emplace_back(argument.substr(0, equals));
            arguments.emplace_back();
        } else {
            arguments.emplace_back(argument);
        }
    }
    std::reverse(arguments.begin(), arguments.end());
    try {
        app.parse(arguments);
    } catch (const CLI::ArgumentMismatch&) {  // the last option has no value
        const std::string name(std::string_view(argv[argc - 1]).substr(2));
        refusal =
            "option --" + name + " needs a value (" + accepted_text(field(name)) + "); nothing was computed";
    } catch (const CLI::ParseError& error) {
        refusal = std::string(error.what()) + "; nothing was computed";
    }
    // The first of --help and --version is answered, whatever else the line holds.
    for (const CLI::Option* option : app.parse_order()) {
        if (option == help || option == version) {
            return Command{option == help ? CommandKind::help : CommandKind::version, {}, {}, {}};
        }
    }
    // What CLI11 did not take, in the order given: an unknown option, or a
    // bare word (every word after "--").
    const std::string see = "; nothing was computed (see " + std::string(program_name) + " --help)";
    bool after_end = false;
    for (const std::string& word : app.remaining()) {
        if (refusal.empty() && !after_end && word.size() > 1 && word[0] == '-' && word != "--") {
            refusal = "unknown option '" + word.substr(0, word.find('=')) + "'" + see;
        } else if (refusal.empty() && word != "--") {
            refusal = "unexpected argument '" + word + "'" + see;
        }
        after_end = after_end || word == "--";
    }
    // The values, in the order given.
    Reader reader;
    std::map<const CLI::Option*, std::size_t> taken;
    for (const CLI::Option* option : app.parse_order()) {
        const Field& f = *fields_of.at(option);
        const std::string& text = option->results().at(taken[option]++);
        if (f.kind == FieldKind::flag) {
            reader.request.plot = true;
        } else {
            reader.read(f, text);
        }
    }
    if (refusal.empty()) {
        refusal = reader.refusal;
    }
    if (!refusal.empty()) {
        return Command{CommandKind::refused, {}, refusal, {}};
    }
    CheckedRequest checked = check_request(reader.request, environment);
    if (!checked.study) {
        const Problem& problem = checked.problems.front();
        const std::string phrase = "'" + reader.given.of(problem) + "' for --" + problem.field;
        return Command{CommandKind::refused, {}, refusal_text(problem, option_name, phrase), {}};
    }
    for (std::string& warning : checked.warnings) {
        warning = with_field_names(warning, option_name);
    }
    return Command{CommandKind::study, std::move(*checked.study), {}, std::move(checked.warnings)};
}

// Words of `text` on lines of at most 92 characters, every line after the
// first indented by `indent`; the first begins at `column`.
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

void write_option_help(std::ostream& out) {
    constexpr std::size_t indent = 21;
    for (const Field& f : fields()) {
        std::string head =
            "  --" + std::string(f.name) + (f.metavar.empty() ? "" : " ") + std::string(f.metavar);
        head.resize(std::max(head.size() + 1, indent), ' ');
        out << head;
        write_wrapped(out,
                      f.kind == FieldKind::flag
                          ? std::string(f.help)
                          : std::string(f.help) + "; " + accepted_text(f) + "; default " + f.default_text,
                      head.size(), indent);
        for (const Route& route : f.name == "routes" ? routes() : std::span<const Route>{}) {
            std::string line = "    " + std::string(route.name);
            line.resize(indent, ' ');
            out << line;
            write_wrapped(out, route.help, indent, indent);
        }
    }
}

}  // namespace lattice_bubble
