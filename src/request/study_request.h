#pragma once
// A study as a front end asks for it, and the one check that turns the
// request into a study the core runs. The command line and the Python module
// fill the same StudyRequest from their own syntax; check_request() holds
// every rule (ranges, the fields that need or exclude each other, the routes
// that cannot take the model, the grid's bounds, the memory) and returns the
// problems as data, so that each front end words them in its own idiom: a
// field is named in a problem's texts as {field}, for the front end to
// replace with "--field" or "field".

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "request/number_reading.h"
#include "request/study.h"

namespace lattice_bubble {

// The wave vectors asked for, in the order given: grid indices, or the path.
struct WaveVectorEntry {
    enum class Kind { point, all, path } kind = Kind::point;
    long long ix = 0;
    long long iy = 0;
};

struct RealAxisRequest {
    double omega_min = 0.0;
    double omega_max = 0.0;
    long long count = 0;
};

// Every field is what the user gave, unchecked; an empty optional was not given.
struct StudyRequest {
    std::optional<std::array<long long, 2>> lattice;  // LX, LY
    std::optional<double> beta, mu;
    std::optional<std::array<double, 2>> hopping;  // TX, TY
    std::optional<double> hopping2, hopping3, offset;
    std::optional<long long> frequencies, bosons, times;
    std::optional<RealAxisRequest> real_axis;
    std::optional<double> broadening, coupling, tolerance;
    std::optional<std::array<double, 2>> k_shift;  // SX, SY
    std::vector<WaveVectorEntry> q;                // none: (π, π)
    std::vector<std::vector<double>> q_points;     // QX,QY[,QZ] in units of π, as given
    std::vector<std::string> routes;               // names as given; none: the routes of the axis
    bool plot = false;
    std::optional<long long> threads;  // none: from the environment
    bool arrays_returned = false;      // the caller keeps every value (the module), not a table
    bool model_only = false;           // the model alone (the band, the frequencies): no routes, no memory
};

// What a problem is about, and what it says.
struct Problem {
    std::string field;                 // the field at fault, or the first of two that clash
    std::optional<std::string> given;  // the value at fault as the check read it; none where no one value is
    int item = -1;                     // for a field that holds a list (q), the entry at fault
    std::string reason;                // what is wrong, fields named as {field}
    std::string accepted;              // what would be accepted, fields named as {field}; may be empty
    bool memory = false;               // the study does not fit in the memory available
};

// What the check reads from the process: OMP_NUM_THREADS (null when unset)
// and how many processors the process may use.
struct Environment {
    const char* omp_num_threads = nullptr;
    int usable_processors = 1;
};

struct CheckedRequest {
    std::optional<Study> study;         // when there is no problem
    std::vector<Problem> problems;      // every problem, in the order of the fields
    std::vector<std::string> warnings;  // lines for the user, the study goes on; fields named as {field}
};

[[nodiscard]] CheckedRequest check_request(const StudyRequest& request, const Environment& environment);

// `text` with every {field} as `name_of(field)`; "{{" is a brace of the text.
template <typename NameOf>
[[nodiscard]] std::string with_field_names(std::string_view text, NameOf name_of) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t open = text.find('{', at);
        const std::size_t close = open == text.npos ? text.npos : text.find('}', open);
        if (close == text.npos) {
            out.append(text.substr(at));
            break;
        }
        if (text.substr(open, 2) == "{{") {
            out.append(text.substr(at, open + 1 - at));
            at = open + 2;
            continue;
        }
        out.append(text.substr(at, open - at)).append(name_of(text.substr(open + 1, close - open - 1)));
        at = close + 1;
    }
    return out;
}

// The values as a front end was given them, in its own syntax, for its
// refusals: each field's last value, and each wave vector entry.
struct GivenTexts {
    std::map<std::string, std::string, std::less<>> fields;
    std::vector<std::string> q;
    std::vector<std::string> q_points;

    // The value of the problem: its entry, its field's, else as the check read it.
    [[nodiscard]] std::string of(const Problem& problem) const;
};

// The one line a front end says of a problem, with every {field} named by
// `name_of`: "invalid value <value_phrase>: <reason> (accepted: …); nothing
// was computed" for a value at fault, where the front end's value phrase
// names the field and the value as it was given ("'0' for --lattice",
// "for lattice=0"); else "<reason>; nothing was computed (<accepted>)".
[[nodiscard]] std::string refusal_text(const Problem& problem,
                                       const std::function<std::string(std::string_view)>& name_of,
                                       const std::string& value_phrase);

// ------------------------------------------------------------------ the fields

enum class FieldKind { integer, real, text, flag };

// One row per field: what --help and the module's documentation say of it,
// and the range the check holds its numbers to.
struct Field {
    std::string_view name;     // the option --name; the module's keyword unless it has its own
    std::string_view metavar;  // the value's form in --help
    FieldKind kind;
    bool pair;               // numbers: one value for both, or two
    double lowest, highest;  // numbers: the range of each value
    std::string_view help;
    std::string default_text;                                   // the default, as --help says it
    std::optional<double> StudyRequest::*real = nullptr;        // where a real scalar's value goes
    std::optional<long long> StudyRequest::*integer = nullptr;  // where an integer scalar's value goes
};

[[nodiscard]] std::span<const Field> fields();
[[nodiscard]] const Field* find_field(std::string_view name);  // null for a name it does not have
[[nodiscard]] const Field& field(std::string_view name);       // one it has

// What a value of the field must be, as a refusal and --help say it.
[[nodiscard]] std::string accepted_text(const Field& field);

}  // namespace lattice_bubble
