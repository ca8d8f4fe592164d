#pragma once
// The module's keywords read into a study request: each keyword's value held
// as the Python object given, named in help() by the types it takes, and read
// here, so that a wrong type is a TypeError that names its keyword and a
// refusal of the request's check names the keyword and the value's repr.

#include <pybind11/pybind11.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/system_resources.h"
#include "request/study_request.h"

namespace py = pybind11;

#define LATTICE_BUBBLE_KEYWORD(Type, python_name)                             \
    namespace lattice_bubble {                                                \
    struct Type : py::object {                                                \
        PYBIND11_OBJECT_DEFAULT(Type, object, [](PyObject*) { return true; }) \
    };                                                                        \
    }                                                                         \
    template <>                                                               \
    struct pybind11::detail::handle_type_name<lattice_bubble::Type> {         \
        static constexpr auto name = const_name(python_name);                 \
    };
LATTICE_BUBBLE_KEYWORD(Real, "float")
LATTICE_BUBBLE_KEYWORD(Int, "int")
LATTICE_BUBBLE_KEYWORD(IntOrPair, "Union[int, Tuple[int, int]]")
LATTICE_BUBBLE_KEYWORD(RealOrPair, "Union[float, Tuple[float, float]]")
LATTICE_BUBBLE_KEYWORD(WaveVectors, "Union[None, str, Sequence[Tuple[int, int]]]")
LATTICE_BUBBLE_KEYWORD(Omega, "Tuple[float, float, int]")
#undef LATTICE_BUBBLE_KEYWORD

namespace lattice_bubble {

// A request refused, in the keywords' words: ValueError, or MemoryError for a
// study that does not fit.
struct Refused {
    std::string text;
    bool memory = false;
};

inline std::string repr_of(py::handle value) { return py::repr(value).cast<std::string>(); }

// An int (numpy's too, not bool) or a real, or a TypeError naming the keyword.
// An int beyond every range reads as ±2^62, a real beyond the doubles as the
// largest double of its sign: out of every range.
inline double number_of(py::handle value, const std::string& keyword, bool integer, bool pair = false) {
    const auto refuse = [&] {
        return py::type_error(keyword + " must be " + (integer ? "an int" : "a number") +
                              (pair ? " or a pair of them" : "") + ", not " +
                              py::str(value.get_type().attr("__name__")).cast<std::string>());
    };
    if (py::isinstance<py::bool_>(value) || py::isinstance<py::str>(value) ||
        (integer ? PyIndex_Check(value.ptr()) : PyNumber_Check(value.ptr())) == 0) {
        throw refuse();
    }
    int overflow = 0;
    const double number = integer ? static_cast<double>(PyLong_AsLongLongAndOverflow(
                                        py::int_(py::reinterpret_borrow<py::object>(value)).ptr(), &overflow))
                                  : PyFloat_AsDouble(value.ptr());
    if (PyErr_Occurred() != nullptr) {
        if (PyErr_ExceptionMatches(PyExc_OverflowError) == 0) {
            PyErr_Clear();
            throw refuse();
        }
        PyErr_Clear();
        return value.attr("__gt__")(0).cast<bool>() ? DBL_MAX : -DBL_MAX;
    }
    return overflow != 0 ? overflow * DBL_MAX : number;
}

// The keyword of a field: its name with '_' for '-', but route for routes
// and omega for real-axis; and the field of a keyword.
inline std::string keyword_of(std::string_view field) {
    if (field == "routes" || field == "real-axis") {
        return field == "routes" ? "route" : "omega";
    }
    std::string keyword(field);
    std::replace(keyword.begin(), keyword.end(), '-', '_');
    return keyword;
}
inline std::string field_of(std::string_view keyword) {
    std::string name(keyword);
    std::replace(name.begin(), name.end(), '_', '-');
    return name;
}

// The keywords of one call, read into a request.
struct Keywords {
    StudyRequest request;
    GivenTexts given;     // each keyword's repr and each wave vector's, for the refusals
    bool every = false;   // q=None: the values on the grid of every q
    bool points = false;  // q a list of (ix, iy): a row for each, in its order

    // A real scalar into its field's slot, an int into `slot`, unless None.
    void real(const char* keyword, py::handle value) {
        if (!value.is_none()) {
            given.fields[keyword] = repr_of(value);
            request.*field(keyword).real = number_of(value, keyword, false);
        }
    }
    void integer(const char* keyword, std::optional<long long>& slot, py::handle value) {
        if (!value.is_none()) {
            given.fields[keyword] = repr_of(value);
            slot = saturated_integer(number_of(value, keyword, true));
        }
    }
    // One number for both, or a pair.
    template <typename T>
    void pair(const char* keyword, std::optional<std::array<T, 2>>& slot, const py::object& value) {
        constexpr bool integer = std::is_integral_v<T>;
        if (value.is_none()) {
            return;
        }
        given.fields[field_of(keyword)] = repr_of(value);
        const bool two = py::isinstance<py::sequence>(value) && !py::isinstance<py::str>(value);
        if (two && py::len(value) != 2) {
            throw Refused{"invalid value for " + std::string(keyword) + "=" + repr_of(value) +
                          ": not a number or a pair of numbers"};
        }
        const auto read = [&](py::handle one) {
            const double number = number_of(one, keyword, integer, true);
            return static_cast<T>(integer ? static_cast<double>(saturated_integer(number)) : number);
        };
        slot = {read(two ? value[py::int_(0)] : value), read(two ? value[py::int_(1)] : value)};
    }
    void model(const IntOrPair& lattice, const Real& inverse_temperature, const Real& mu,
               const RealOrPair& nearest, const Real& hopping2, const Real& hopping3, const Real& offset) {
        pair("lattice", request.lattice, lattice);
        pair("hopping", request.hopping, nearest);
        real("beta", inverse_temperature), real("mu", mu), real("hopping2", hopping2),
            real("hopping3", hopping3);
        real("offset", offset);
    }
    // None for every wave vector, "path", or a sequence of (ix, iy).
    void wave_vectors(const WaveVectors& q) {
        using Kind = WaveVectorEntry::Kind;
        if (q.is_none() || py::isinstance<py::str>(q)) {
            const std::string text = q.is_none() ? "all" : q.cast<std::string>();
            if (text != "all" && text != "path") {
                throw Refused{"invalid value for q=" + repr_of(q) +
                              ": neither \"all\" nor \"path\" (accepted: " + accepted_text(field("q")) +
                              "); nothing was computed"};
            }
            given.q.push_back(repr_of(q));
            request.q.push_back({text == "all" ? Kind::all : Kind::path});
            every = q.is_none();
            return;
        }
        if (!py::isinstance<py::sequence>(q)) {
            throw py::type_error("q must be None, \"path\" or a sequence of (ix, iy), not " +
                                 py::str(q.get_type().attr("__name__")).cast<std::string>());
        }
        points = true;
        for (const py::handle pair : q) {
            if (!py::isinstance<py::sequence>(pair) || py::isinstance<py::str>(pair) || py::len(pair) != 2 ||
                py::isinstance<py::bool_>(pair[py::int_(0)]) ||
                py::isinstance<py::bool_>(pair[py::int_(1)]) || PyIndex_Check(pair[py::int_(0)].ptr()) == 0 ||
                PyIndex_Check(pair[py::int_(1)].ptr()) == 0) {
                throw py::type_error("q must hold pairs (ix, iy) of ints, not " + repr_of(pair));
            }
            given.q.push_back(repr_of(pair));
            request.q.push_back({Kind::point, saturated_integer(number_of(pair[py::int_(0)], "q", true)),
                                 saturated_integer(number_of(pair[py::int_(1)], "q", true))});
        }
    }

    // None, one (qx, qy) or a sequence of them, in units of π.
    void free_wave_vectors(const py::object& wanted) {
        if (wanted.is_none()) {
            return;
        }
        const auto is_pair = [](py::handle value) {
            return py::isinstance<py::sequence>(value) && !py::isinstance<py::str>(value);
        };
        if (!is_pair(wanted)) {
            throw py::type_error("q_point must be a pair (qx, qy) or a sequence of them, not " +
                                 py::str(wanted.get_type().attr("__name__")).cast<std::string>());
        }
        const bool one = py::len(wanted) > 0 && !is_pair(wanted[py::int_(0)]);
        for (const py::handle point : one ? py::list(py::make_tuple(wanted)) : py::list(wanted)) {
            if (!is_pair(point)) {
                throw py::type_error("q_point must hold pairs (qx, qy) of numbers, not " + repr_of(point));
            }
            given.q_points.push_back(repr_of(point));
            std::vector<double> values;
            for (const py::handle value : point) {
                values.push_back(number_of(value, "q_point", false));
            }
            request.q_points.push_back(std::move(values));
        }
    }

    // The study the request's check makes of them; its first problem is raised.
    Study check() const {
        CheckedRequest checked =
            check_request(request, Environment{std::getenv("OMP_NUM_THREADS"), usable_processors()});
        for (const std::string& warning : checked.warnings) {
            if (PyErr_WarnEx(PyExc_RuntimeWarning, with_field_names(warning, keyword_of).c_str(), 1) != 0) {
                throw py::error_already_set();
            }
        }
        if (checked.study) {
            return std::move(*checked.study);
        }
        const Problem& problem = checked.problems.front();
        const std::string phrase = "for " + keyword_of(problem.field) + "=" + given.of(problem);
        throw Refused{refusal_text(problem, keyword_of, phrase), problem.memory};
    }
};

}  // namespace lattice_bubble
