// The Python module lattice_bubble: the studies of the program as functions
// that return numpy arrays, from the same core and with the same bits as the
// program's table. Each call's keywords become the program's options and go
// through its option table, so that names, ranges and refusals are the
// program's; the routes' grids are handed to numpy without a copy. The
// computation runs with the GIL released, on a thread of its own, while the
// calling thread checks for signals every 0.1 s: Ctrl-C raises the routes'
// stop flag. The module installs no handler and writes nothing.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <complex>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/failure.h"
#include "entry/command_line.h"
#include "entry/options.h"
#include "entry/study.h"
#include "fft/kernel_choice.h"
#include "platform/system_resources.h"

namespace py = pybind11;

namespace lattice_bubble {
namespace {

// ------------------------------------------------------------ the keywords

std::string type_name(py::handle value) {
    return py::str(value.get_type().attr("__name__")).cast<std::string>();
}

// An int (numpy's too, not bool) or a real as an option's text, or a
// TypeError: a float's repr reads back to the same double.
std::string number_text(py::handle value, const char* keyword, bool integer, bool pair = false) {
    if (py::isinstance<py::bool_>(value) || (!integer && !PyNumber_Check(value.ptr())) ||
        (integer && !PyIndex_Check(value.ptr())) || py::isinstance<py::str>(value)) {
        throw py::type_error(std::string(keyword) + " must be " + (integer ? "an int" : "a number") +
                             (pair ? " or a pair of them" : "") + ", not " + type_name(value));
    }
    return integer ? py::str(py::int_(py::reinterpret_borrow<py::object>(value))).cast<std::string>()
                   : py::repr(py::float_(py::reinterpret_borrow<py::object>(value))).cast<std::string>();
}

// The keyword of an option: its name, but for --routes (route) and --real-axis (omega).
std::string keyword_of(const std::string& option) {
    return option == "routes" ? "route" : option == "real-axis" ? "omega" : option;
}

// A line of the program with every "--option" as its keyword.
std::string without_dashes(std::string line) {
    for (std::size_t at = line.find("--"); at != std::string::npos; at = line.find("--", at + 1)) {
        std::size_t end = at + 2;
        while (end < line.size() &&
               (std::isalnum(static_cast<unsigned char>(line[end])) != 0 || line[end] == '-')) {
            ++end;
        }
        const std::string option = line.substr(at + 2, end - at - 2);
        if (has_option(option)) {
            line.replace(at, end - at, keyword_of(option));
        }
    }
    return line;
}

// The options of one call: the program's command line, and for each option
// the keyword and the repr of its value, to name them in a refusal.
class CommandLine {
public:
    // A number, or where `pair` allows it a sequence of two ("A,B").
    void number(const char* option, const char* keyword, py::handle value, bool integer, bool pair = false) {
        if (value.is_none()) {
            return;
        }
        if (pair && py::isinstance<py::sequence>(value) && !py::isinstance<py::str>(value)) {
            const auto items = py::reinterpret_borrow<py::sequence>(value);
            if (items.size() != 2) {
                throw py::value_error(std::string("invalid value for ") + keyword + "=" + repr(value) +
                                      ": not a number or a pair of numbers");
            }
            add(option, keyword, value,
                number_text(items[0], keyword, integer, pair) + "," +
                    number_text(items[1], keyword, integer, pair));
            return;
        }
        add(option, keyword, value, number_text(value, keyword, integer, pair));
    }
    void word(const char* option, const char* keyword, py::handle value, const std::string& text) {
        add(option, keyword, value, text);
    }

    // The study the program's parser makes of them, or its refusal as a ValueError.
    StudyRequest parse() const {
        std::vector<const char*> argv{"lattice_bubble"};
        for (const std::string& argument : arguments_) {
            argv.push_back(argument.c_str());
        }
        const Command command = parse_command_line(static_cast<int>(argv.size()), argv.data(),
                                                   std::getenv("OMP_NUM_THREADS"), usable_processors());
        if (command.kind == CommandKind::refused) {
            throw py::value_error(in_keywords(command.refusal));
        }
        if (!command.warning.empty() &&
            PyErr_WarnEx(PyExc_RuntimeWarning, in_keywords(command.warning).c_str(), 1) != 0) {
            throw py::error_already_set();
        }
        return command.study;
    }

private:
    static std::string repr(py::handle value) { return py::repr(value).cast<std::string>(); }

    void add(const char* option, const char* keyword, py::handle value, const std::string& text) {
        arguments_.push_back(std::string("--") + option);
        arguments_.push_back(text);
        given_.push_back({option, keyword, text, repr(value)});
    }

    // The program's line with each option as its keyword: "invalid value '0'
    // for --lattice" as "invalid value for lattice=0", "--beta" as "beta".
    std::string in_keywords(std::string line) const {
        const std::string program = "lattice_bubble: ";
        if (line.starts_with(program)) {
            line.erase(0, program.size());
        }
        for (const Given& given : given_) {
            const std::string value = "invalid value '" + given.text + "' for --" + given.option;
            if (const std::size_t at = line.find(value); at != std::string::npos) {
                line.replace(at, value.size(), "invalid value for " + given.keyword + "=" + given.value_repr);
            }
        }
        return without_dashes(line);
    }

    struct Given {
        std::string option, keyword, text, value_repr;
    };
    std::vector<std::string> arguments_;
    std::vector<Given> given_;
};

// The band's and the lattice's keywords, as the options of the same names.
void add_model(CommandLine& line, py::handle lattice, py::handle beta, py::handle mu, py::handle hopping,
               py::handle hopping2, py::handle hopping3, py::handle offset) {
    line.number("lattice", "lattice", lattice, true, true);
    line.number("beta", "beta", beta, false);
    line.number("mu", "mu", mu, false);
    line.number("hopping", "hopping", hopping, false, true);
    line.number("hopping2", "hopping2", hopping2, false);
    line.number("hopping3", "hopping3", hopping3, false);
    line.number("offset", "offset", offset, false);
}

// q: None for every wave vector, "path", or a sequence of (ix, iy).
void add_wave_vectors(CommandLine& line, py::handle q) {
    if (q.is_none()) {
        line.word("q", "q", q, "all");
        return;
    }
    if (py::isinstance<py::str>(q)) {
        line.word("q", "q", q, q.cast<std::string>());
        return;
    }
    if (!py::isinstance<py::sequence>(q)) {
        throw py::type_error("q must be None, \"path\" or a sequence of (ix, iy), not " + type_name(q));
    }
    for (const py::handle pair : py::reinterpret_borrow<py::sequence>(q)) {
        if (!py::isinstance<py::sequence>(pair) || py::isinstance<py::str>(pair) || py::len(pair) != 2) {
            throw py::type_error("q must hold pairs (ix, iy), not " + py::repr(pair).cast<std::string>());
        }
        const auto items = py::reinterpret_borrow<py::sequence>(pair);
        for (const py::handle index : items) {
            if (py::isinstance<py::bool_>(index) || !PyIndex_Check(index.ptr())) {
                throw py::type_error("q must hold pairs of ints, not " + py::repr(pair).cast<std::string>());
            }
        }
        line.word("q", "q", pair,
                  py::str(py::int_(items[0])).cast<std::string>() + "," +
                      py::str(py::int_(items[1])).cast<std::string>());
    }
}

// ------------------------------------------------------------ the computation

// Memory of Complex values that numpy gets without a copy: a route's grid, or
// values gathered wave vector by wave vector.
struct Values {
    std::unique_ptr<SeriesGrid> grid;
    std::unique_ptr<std::vector<Complex>> list;
    Complex* data() { return grid ? grid->series(0, 0).data() : list->data(); }
};

// The array over `values`, which it owns from now on.
py::array_t<std::complex<double>> to_numpy(Values values, std::vector<py::ssize_t> shape) {
    Complex* data = values.data();
    auto* owner = new Values(std::move(values));
    py::capsule capsule(owner, [](void* held) { delete static_cast<Values*>(held); });
    std::vector<py::ssize_t> strides(shape.size(), static_cast<py::ssize_t>(sizeof(Complex)));
    for (std::size_t i = shape.size() - 1; i > 0; --i) {
        strides[i - 1] = strides[i] * shape[i];
    }
    return py::array_t<std::complex<double>>(shape, strides, reinterpret_cast<std::complex<double>*>(data),
                                             capsule);
}

// Runs work(workers) on a thread of its own with the GIL released; every
// 0.1 s the calling thread takes the GIL to check for signals, and a signal
// that raised (KeyboardInterrupt) raises the stop flag and is raised here
// once the work has stopped. What the work threw is raised as its Python kind.
template <typename Work>
void run_interruptibly(int threads, Work work) {
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool interrupted = false;
    {
        py::gil_scoped_release released;
        std::thread worker([&] {
            try {
                work(Workers{threads, nullptr, &stop});
            } catch (...) {
                failure = std::current_exception();
            }
            const std::lock_guard<std::mutex> guard(lock);
            done = true;
            finished.notify_one();
        });
        std::unique_lock<std::mutex> waiting(lock);
        while (!finished.wait_for(waiting, std::chrono::milliseconds(100), [&] { return done; })) {
            waiting.unlock();
            if (!interrupted) {
                const py::gil_scoped_acquire held;
                if (PyErr_CheckSignals() != 0) {  // the exception stays set for this thread
                    interrupted = true;
                    stop.store(true);
                }
            }
            waiting.lock();
        }
        waiting.unlock();
        worker.join();
    }
    if (interrupted) {
        throw py::error_already_set();
    }
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            PyErr_SetString(PyExc_MemoryError, "out of memory: the call was abandoned, nothing was returned");
            throw py::error_already_set();
        } catch (const Failure& error) {
            throw std::runtime_error(error.what());
        }
    }
}

// Refuses, as MemoryError, a study that would not fit with `returned` bytes of arrays beside it.
void check_memory(const StudyRequest& study, double returned) {
    if (const std::optional<std::string> refusal = memory_refusal(study, returned)) {
        PyErr_SetString(PyExc_MemoryError, without_dashes(*refusal).c_str());
        throw py::error_already_set();
    }
}

// χ0 of the study's one route at every q of `every` (a grid, Lx × Ly × values)
// or at the study's wave vectors; with a coupling also χ_spin and χ_charge.
py::object compute(const StudyRequest& study, bool every, py::handle q_given) {
    const StudyModel& model = study.model;
    const Route& route = *study.routes.front();
    const std::vector<WaveVector> wave_vectors = study.wave_vectors();
    const auto count = static_cast<std::size_t>(model.values());
    const double arrays = model.coupling ? 3.0 : 1.0;
    check_memory(study, arrays * static_cast<double>(wave_vectors.size()) * static_cast<double>(count) *
                            sizeof(Complex));

    Values chi0;
    Values spin;
    Values charge;
    run_interruptibly(study.threads, [&](const Workers& workers) {
        std::unique_ptr<RouteValues> values = route.compute(model, wave_vectors, workers);
        if (every) {
            chi0.grid = values->take_grid();
        }
        if (!chi0.grid) {
            if (every) {
                chi0.grid = std::make_unique<SeriesGrid>(model.lattice_x, model.lattice_y, model.values(),
                                                         SeriesGrid::unwritten);
            } else {
                chi0.list = std::make_unique<std::vector<Complex>>(wave_vectors.size() * count);
            }
            const std::size_t block = std::max<std::size_t>(64, 4 * static_cast<std::size_t>(study.threads));
            for (std::size_t first = 0; first < wave_vectors.size(); first += block) {
                const auto block_q =
                    std::span(wave_vectors).subspan(first, std::min(block, wave_vectors.size() - first));
                values->prepare(block_q, workers);
                for (std::size_t i = 0; i < block_q.size(); ++i) {
                    const std::span<const Complex> from = values->values(i, block_q[i]);
                    std::copy(from.begin(), from.end(), chi0.data() + (first + i) * count);
                }
            }
        }
        if (const std::optional<double> u = model.coupling) {
            const std::size_t total = wave_vectors.size() * count;
            spin.list = std::make_unique<std::vector<Complex>>(total);
            charge.list = std::make_unique<std::vector<Complex>>(total);
            const Complex* from = chi0.data();
            for (std::size_t i = 0; i < total; ++i) {
                (*spin.list)[i] = rpa_spin(from[i], *u);
                (*charge.list)[i] = rpa_charge(from[i], *u);
            }
        }
    });

    std::vector<py::ssize_t> shape;
    if (every) {
        shape = {model.lattice_x, model.lattice_y, static_cast<py::ssize_t>(count)};
    } else {
        shape = {static_cast<py::ssize_t>(wave_vectors.size()), static_cast<py::ssize_t>(count)};
    }
    // A list of wave vectors gets a row per entry, repeated ones too.
    py::object result = to_numpy(std::move(chi0), shape);
    const auto rows_of_list = [&](py::object array) -> py::object {
        if (every || q_given.is_none() || py::isinstance<py::str>(q_given)) {
            return array;
        }
        std::vector<py::ssize_t> rows;
        for (const py::handle pair : py::reinterpret_borrow<py::sequence>(q_given)) {
            const auto items = py::reinterpret_borrow<py::sequence>(pair);
            const WaveVector q{items[0].cast<int>(), items[1].cast<int>()};
            rows.push_back(std::find(wave_vectors.begin(), wave_vectors.end(), q) - wave_vectors.begin());
        }
        const bool same = std::is_sorted(rows.begin(), rows.end()) && rows.size() == wave_vectors.size();
        if (same) {
            return array;
        }
        py::array_t<py::ssize_t> index(static_cast<py::ssize_t>(rows.size()));
        std::copy(rows.begin(), rows.end(), index.mutable_data());
        return array[index];
    };
    if (!model.coupling) {
        return rows_of_list(result);
    }
    py::dict channels;
    channels["chi0"] = rows_of_list(result);
    channels["spin"] = rows_of_list(to_numpy(std::move(spin), shape));
    channels["charge"] = rows_of_list(to_numpy(std::move(charge), shape));
    return channels;
}

// ------------------------------------------------------------ the functions

py::object bubble(py::handle route, py::handle lattice, py::handle beta, py::handle mu, py::handle hopping,
                  py::handle hopping2, py::handle hopping3, py::handle offset, py::handle frequencies,
                  py::handle q, py::handle coupling, py::handle tolerance, py::handle threads) {
    if (!py::isinstance<py::str>(route)) {
        throw py::type_error("route must be a str, not " + type_name(route));
    }
    const std::string name = route.cast<std::string>();
    CommandLine line;
    line.word("routes", "route", route, name);
    add_model(line, lattice, beta, mu, hopping, hopping2, hopping3, offset);
    line.number("frequencies", "frequencies", frequencies, true);
    add_wave_vectors(line, q);
    line.number("coupling", "coupling", coupling, false);
    line.number("tolerance", "tolerance", tolerance, false);
    line.number("threads", "threads", threads, true);
    if (name.find(',') != std::string::npos) {
        throw py::value_error("invalid value for route=" + py::repr(route).cast<std::string>() +
                              ": one route a call (the program's --routes takes a list)");
    }
    return compute(line.parse(), q.is_none(), q);
}

py::object real_axis(py::handle omega, py::handle broadening, py::handle lattice, py::handle beta,
                     py::handle mu, py::handle hopping, py::handle hopping2, py::handle hopping3,
                     py::handle offset, py::handle q, py::handle coupling, py::handle threads) {
    CommandLine line;
    if (!py::isinstance<py::sequence>(omega) || py::isinstance<py::str>(omega) || py::len(omega) != 3) {
        throw py::type_error("omega must be a triple (omin, omax, count), not " +
                             py::repr(omega).cast<std::string>());
    }
    const auto items = py::reinterpret_borrow<py::sequence>(omega);
    line.word("real-axis", "omega", omega,
              number_text(items[0], "omega", false) + "," + number_text(items[1], "omega", false) + "," +
                  number_text(items[2], "omega", true));
    line.number("broadening", "broadening", broadening, false);
    // The route of the real axis, from the routes' table.
    const Route& route =
        *std::find_if(routes().begin(), routes().end(), [](const Route& r) { return r.real_axis; });
    const std::string name(route.name);
    line.word("routes", "route", py::str(name), name);
    add_model(line, lattice, beta, mu, hopping, hopping2, hopping3, offset);
    add_wave_vectors(line, q);
    line.number("coupling", "coupling", coupling, false);
    line.number("threads", "threads", threads, true);
    return compute(line.parse(), q.is_none(), q);
}

py::array_t<double> matsubara(py::handle beta, py::handle n, const std::string& statistics) {
    CommandLine line;
    line.number("beta", "beta", beta, false);
    const double inverse_temperature = line.parse().model.beta;
    if (statistics != "boson" && statistics != "fermion") {
        throw py::value_error(
            "invalid value for statistics=" + py::repr(py::str(statistics)).cast<std::string>() +
            ": neither 'boson' nor 'fermion'");
    }
    if (py::isinstance<py::bool_>(n) || !PyIndex_Check(n.ptr())) {
        throw py::type_error("n must be an int, not " + type_name(n));
    }
    const long long count = py::int_(py::reinterpret_borrow<py::object>(n)).cast<long long>();
    constexpr long long largest = 1 << 20;
    if (count < 1 || count > largest) {
        throw py::value_error("invalid value for n=" + std::to_string(count) +
                              ": out of range (accepted: an integer from 1 to " + std::to_string(largest) +
                              ")");
    }
    py::array_t<double> frequencies(count);
    auto out = frequencies.mutable_unchecked<1>();
    for (long long j = 0; j < count; ++j) {
        const int index = static_cast<int>(j);
        out(j) = statistics == "boson" ? boson_frequency(index, inverse_temperature).im
                                       : fermion_frequency(index, inverse_temperature).im;
    }
    return frequencies;
}

py::array_t<double> band(py::handle lattice, py::handle mu, py::handle hopping, py::handle hopping2,
                         py::handle hopping3, py::handle offset) {
    CommandLine line;
    add_model(line, lattice, py::none(), mu, hopping, hopping2, hopping3, offset);
    const StudyModel model = line.parse().model;
    const std::vector<double> energy = band_on_grid(model);
    py::array_t<double> grid({model.lattice_x, model.lattice_y});
    std::copy(energy.begin(), energy.end(), grid.mutable_data());
    return grid;
}

}  // namespace
}  // namespace lattice_bubble

namespace lattice_bubble {
namespace {

// bubble()'s keywords after `route`.
constexpr const char* bubble_keywords =
    R"(lattice: L or (LX, LY); beta: inverse temperature; mu, hopping (T or (TX, TY)), hopping2, hopping3,
    offset: the band above; frequencies: N, so that nu_m = 2*pi*m/beta, m = 0 ... N.
q: None for every wave vector, "path" for Gamma -> X -> M -> Gamma, or a list of (ix, iy).
coupling: U; then a dict of arrays "chi0", "spin" = chi0/(1 - U*chi0), "charge" = chi0/(1 + U*chi0).
threads: the threads of the computation (the values do not depend on it); None: OMP_NUM_THREADS when
    set, else every processor the process may use.

Returns a complex128 array of shape (LX, LY, N + 1), element [ix, iy, m], for every q, or
(len(q), N + 1) for a list or the path. chi0 is per spin: texts that sum over both spins find it
twice as large. A bad value raises ValueError with the program's reason, a wrong type TypeError, a
study that does not fit in memory MemoryError; Ctrl-C stops the call (KeyboardInterrupt).)";

}  // namespace
}  // namespace lattice_bubble

PYBIND11_MODULE(lattice_bubble, module) {
    using namespace lattice_bubble;
    // Once, before any computation: every transform reads it.
    choose_fft_kernels();
    for (const char* option :
         {"lattice", "beta", "mu", "hopping", "hopping2", "hopping3", "offset", "frequencies", "q", "routes",
          "coupling", "tolerance", "threads", "real-axis", "broadening"}) {
        if (!has_option(option)) {
            throw std::logic_error(std::string("lattice_bubble: the module's keyword for --") + option +
                                   " has no option in the program");
        }
    }
    const StudyModel defaults;
    const Band& b = defaults.band;
    module.doc() =
        "The bare particle-hole susceptibility of free electrons on a periodic lattice.\n\n"
        "chi0(q, z) = (1/(Lx*Ly)) * sum_k [f(e(k+q)) - f(e(k))] / [z - (e(k+q) - e(k))], per spin,\n"
        "with the band e(k) = 2*TX*cos kx + 2*TY*cos ky + 4*T2*cos kx*cos ky + 2*T3*(cos 2kx + cos 2ky)\n"
        "+ offset - mu in units of energy (the usual t, t', t'' are -T, -T2, -T3), k = 2*pi*(ix/Lx, iy/Ly).\n"
        "Every value is the program's (lattice_bubble STUDY OPTIONS), bit for bit.";
    module.attr("__version__") = py::str(std::string(program_version()));
    // The routes, each with its line of the program's --help.
    static const std::string bubble_doc = [] {
        std::string routes_text;
        for (const Route& route : routes()) {
            routes_text.append("    ").append(route.name).append(": ").append(route.help).append("\n");
        }
        return "chi0(q, i nu_m) on the Matsubara axis by one route of the program.\n\nroute: one of\n" +
               routes_text + bubble_keywords;
    }();
    module.def("bubble", &bubble, py::arg("route") = std::string(route_for_numbers().name),
               py::arg("lattice") = defaults.lattice_x, py::arg("beta") = defaults.beta, py::arg("mu") = b.mu,
               py::arg("hopping") = b.hopping_x, py::arg("hopping2") = b.hopping2,
               py::arg("hopping3") = b.hopping3, py::arg("offset") = b.offset,
               py::arg("frequencies") = defaults.frequencies, py::arg("q") = py::none(),
               py::arg("coupling") = py::none(), py::arg("tolerance") = py::none(),
               py::arg("threads") = py::none(), bubble_doc.c_str());
    module.def("real_axis", &real_axis, py::arg("omega"), py::arg("broadening"),
               py::arg("lattice") = defaults.lattice_x, py::arg("beta") = defaults.beta, py::arg("mu") = b.mu,
               py::arg("hopping") = b.hopping_x, py::arg("hopping2") = b.hopping2,
               py::arg("hopping3") = b.hopping3, py::arg("offset") = b.offset, py::arg("q") = py::none(),
               py::arg("coupling") = py::none(), py::arg("threads") = py::none(),
               R"(chi0(q, omega_j + i eta) on the real axis by the direct Lindhard sum.

omega: (omin, omax, count), omega_j = omin + (omax - omin)*j/(count - 1), the last exactly omax;
broadening: eta > 0. Im chi0 >= 0 for omega > 0. The other keywords as for bubble().

Returns a complex128 array of shape (LX, LY, count) for every q, or (len(q), count) for a list or
"path"; with coupling a dict of arrays "chi0", "spin", "charge".)");
    module.def("matsubara", &matsubara, py::arg("beta"), py::arg("n"), py::arg("statistics") = "boson",
               R"(The first n Matsubara frequencies at inverse temperature beta, as the table's column:
nu_m = 2*pi*m/beta ("boson") or omega_n = (2n + 1)*pi/beta ("fermion"), n = 0 ... n - 1.)");
    module.def("band", &band, py::arg("lattice") = defaults.lattice_x, py::arg("mu") = b.mu,
               py::arg("hopping") = b.hopping_x, py::arg("hopping2") = b.hopping2,
               py::arg("hopping3") = b.hopping3, py::arg("offset") = b.offset,
               R"(The band e(k) on the grid, a float64 array of shape (LX, LY), element [ix, iy] at
k = 2*pi*(ix/LX, iy/LY), in the program's order of operations.)");
}
