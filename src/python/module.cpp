// The Python module lattice_bubble: the studies of the program as functions
// that return numpy arrays, from the same core and with the same bits as the
// program's table. The keywords fill the same study request as the command
// line's options, whose check refuses what it refuses, in the keywords' words;
// the routes' grids are handed to numpy without a copy. The computation runs
// with the GIL released, on a thread of its own, while the calling thread
// checks for signals every 0.1 s: Ctrl-C raises the routes' stop flag. The
// module installs no handler and writes nothing.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <complex>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "entry/command_line.h"
#include "fft/kernel_choice.h"
#include "python/keywords.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace lattice_bubble {
namespace {

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
    return py::array_t<std::complex<double>>(shape, reinterpret_cast<std::complex<double>*>(data), capsule);
}

// Runs work(workers) on a thread of its own with the GIL released; every
// 0.1 s the calling thread takes the GIL to check for signals, and a signal
// that raised (KeyboardInterrupt) raises the stop flag and is raised here
// once the work has stopped. What the work threw is rethrown here.
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
        std::rethrow_exception(failure);
    }
}

// χ0 of the study's one route at every q (a grid, LX × LY × values) or at the
// wave vectors given, a row for each, repeated ones too; with a coupling a
// dict of it and χ_spin and χ_charge.
py::object compute(const Keywords& keywords) {
    const Study study = keywords.check();
    const StudyModel& model = study.model;
    const bool every = keywords.every && study.q_points.empty();
    const std::vector<WaveVector> wave_vectors =
        !study.q_points.empty()                         ? std::vector<WaveVector>(study.q_points.size())
        : keywords.points && keywords.request.q.empty() ? std::vector<WaveVector>{}
                                                        : study.wave_vectors();
    const auto count = static_cast<std::size_t>(model.values());
    if (wave_vectors.empty()) {  // q=[]: no row
        const py::array_t<std::complex<double>> none(
            std::vector<py::ssize_t>{0, static_cast<py::ssize_t>(count)});
        return model.coupling ? py::object(py::dict("chi0"_a = none, "spin"_a = none, "charge"_a = none))
                              : py::object(none);
    }
    Values chi0;
    Values spin;
    Values charge;
    run_interruptibly(study.threads, [&](const Workers& workers) {
        if (!study.q_points.empty()) {
            std::unique_ptr<RouteValues> values =
                study.routes.front()->compute_points(model, study.q_points, workers);
            chi0.list = std::make_unique<std::vector<Complex>>(study.q_points.size() * count);
            for (std::size_t i = 0; i < study.q_points.size(); ++i) {
                const std::span<const Complex> from = values->values(i, {});
                std::copy_n(from.begin(), count, chi0.data() + i * count);
            }
            return;
        }
        std::unique_ptr<RouteValues> values = study.routes.front()->compute(model, wave_vectors, workers);
        chi0.grid = every ? values->take_grid() : nullptr;
        if (chi0.grid && static_cast<std::size_t>(chi0.grid->slots()) != count) {
            // A mesh with more bosonic frequencies than asked for: the first of each point's, copied.
            const std::unique_ptr<SeriesGrid> mesh = std::move(chi0.grid);
            chi0.grid = std::make_unique<SeriesGrid>(model.lattice_x, model.lattice_y, model.values(),
                                                     SeriesGrid::unwritten);
            for (int x = 0; x < model.lattice_x; ++x) {
                for (int y = 0; y < model.lattice_y; ++y) {
                    const auto from = mesh->series(x, y).first(count);
                    std::copy(from.begin(), from.end(), chi0.grid->series(x, y).begin());
                }
            }
        }
        if (!chi0.grid) {
            if (every) {
                chi0.grid = std::make_unique<SeriesGrid>(model.lattice_x, model.lattice_y, model.values(),
                                                         SeriesGrid::unwritten);
            } else {
                chi0.list = std::make_unique<std::vector<Complex>>(wave_vectors.size() * count);
            }
            const std::size_t block = block_size(study);
            for (std::size_t first = 0; first < wave_vectors.size(); first += block) {
                const auto block_q =
                    std::span(wave_vectors).subspan(first, std::min(block, wave_vectors.size() - first));
                values->prepare(block_q, workers);
                for (std::size_t i = 0; i < block_q.size(); ++i) {
                    const std::span<const Complex> from = values->values(i, block_q[i]);
                    std::copy_n(from.begin(), count, chi0.data() + (first + i) * count);
                }
            }
        }
        if (const std::optional<double> u = model.coupling) {
            const std::size_t total = wave_vectors.size() * count;
            spin.list = std::make_unique<std::vector<Complex>>(total);
            charge.list = std::make_unique<std::vector<Complex>>(total);
            for (std::size_t i = 0; i < total; ++i) {
                (*spin.list)[i] = rpa_spin(chi0.data()[i], *u);
                (*charge.list)[i] = rpa_charge(chi0.data()[i], *u);
            }
        }
    });
    const auto n = static_cast<py::ssize_t>(count);
    const std::vector<py::ssize_t> shape =
        every ? std::vector<py::ssize_t>{model.lattice_x, model.lattice_y, n}
              : std::vector<py::ssize_t>{static_cast<py::ssize_t>(wave_vectors.size()), n};
    // The rows of a list given: each entry's in the table's order of first appearance.
    const std::vector<WaveVectorEntry>& given =
        keywords.points ? keywords.request.q : std::vector<WaveVectorEntry>{};
    py::array_t<py::ssize_t> rows(static_cast<py::ssize_t>(given.size()));
    for (std::size_t i = 0; i < given.size(); ++i) {
        const WaveVector q(static_cast<int>(given[i].ix), static_cast<int>(given[i].iy));
        rows.mutable_at(i) = std::find(wave_vectors.begin(), wave_vectors.end(), q) - wave_vectors.begin();
    }
    const bool as_given = keywords.points && given.size() != wave_vectors.size() && study.q_points.empty();
    const auto rows_of = [&](Values values) -> py::object {
        py::object array = to_numpy(std::move(values), shape);
        return as_given ? py::object(array[rows]) : array;
    };
    if (!model.coupling) {
        return rows_of(std::move(chi0));
    }
    py::dict channels;
    channels["chi0"] = rows_of(std::move(chi0));
    channels["spin"] = rows_of(std::move(spin));
    channels["charge"] = rows_of(std::move(charge));
    return channels;
}

// ------------------------------------------------------------ the functions

// The keywords every study on the Matsubara axis takes besides the model's.
struct MatsubaraKeywords {
    Int frequencies, bosons;
    WaveVectors q;
    py::object q_point, k_shift;
    Real coupling, tolerance;
    Int threads;
};

// A route's name, or "" for None: the route whose accuracy is controlled.
std::string route_of(const py::object& route) {
    if (route.is_none()) {
        return {};
    }
    if (!py::isinstance<py::str>(route)) {
        throw py::type_error("route must be a str or None, not " +
                             py::str(route.get_type().attr("__name__")).cast<std::string>());
    }
    return route.cast<std::string>();
}

Keywords matsubara_keywords(const std::string& route, const IntOrPair& lattice, const Real& beta,
                            const Real& mu, const RealOrPair& hopping, const Real& hopping2,
                            const Real& hopping3, const Real& offset, const MatsubaraKeywords& k) {
    Keywords keywords;
    StudyRequest& r = keywords.request;
    if (!route.empty()) {
        keywords.given.fields["routes"] = repr_of(py::str(route));
        if (route.find(',') != std::string::npos) {
            throw Refused{"invalid value for route=" + keywords.given.fields["routes"] +
                          ": one route a call (the program's --routes takes a list)"};
        }
        r.routes = {route};
    }
    keywords.model(lattice, beta, mu, hopping, hopping2, hopping3, offset);
    keywords.integer("frequencies", r.frequencies, k.frequencies);
    keywords.integer("bosons", r.bosons, k.bosons);
    if (k.q_point.is_none() || !k.q.is_none()) {  // q=None is every q only without q_point
        keywords.wave_vectors(k.q);
    }
    keywords.free_wave_vectors(k.q_point);
    keywords.pair("k_shift", r.k_shift, k.k_shift);
    keywords.real("coupling", k.coupling);
    keywords.real("tolerance", k.tolerance);
    keywords.integer("threads", r.threads, k.threads);
    r.arrays_returned = true;
    return keywords;
}

py::object bubble(const py::object& route, const IntOrPair& lattice, const Real& beta, const Real& mu,
                  const RealOrPair& hopping, const Real& hopping2, const Real& hopping3, const Real& offset,
                  const Int& frequencies, const Int& bosons, const WaveVectors& q, const py::object& q_point,
                  const py::object& k_shift, const Real& coupling, const Real& tolerance,
                  const Int& threads) {
    return compute(
        matsubara_keywords(route_of(route), lattice, beta, mu, hopping, hopping2, hopping3, offset,
                           {frequencies, bosons, q, q_point, k_shift, coupling, tolerance, threads}));
}

py::object imaginary_time(const Int& times, const py::object& route, const IntOrPair& lattice,
                          const Real& beta, const Real& mu, const RealOrPair& hopping, const Real& hopping2,
                          const Real& hopping3, const Real& offset, const WaveVectors& q,
                          const py::object& q_point, const py::object& k_shift, const Real& tolerance,
                          const Int& threads) {
    Keywords keywords =
        matsubara_keywords(route_of(route), lattice, beta, mu, hopping, hopping2, hopping3, offset,
                           {py::none(), py::none(), q, q_point, k_shift, py::none(), tolerance, threads});
    keywords.integer("times", keywords.request.times, times);
    return compute(keywords);
}

// U_c = 1/max_q Re χ0(q, 0) over the wave vectors asked for, and where.
py::dict instability(const py::object& route, const IntOrPair& lattice, const Real& beta, const Real& mu,
                     const RealOrPair& hopping, const Real& hopping2, const Real& hopping3,
                     const Real& offset, const WaveVectors& q, const py::object& k_shift,
                     const Real& tolerance, const Int& threads) {
    Keywords keywords =
        matsubara_keywords(route_of(route), lattice, beta, mu, hopping, hopping2, hopping3, offset,
                           {py::none(), py::int_(1), q, py::none(), k_shift, py::none(), tolerance, threads});
    const Study study = keywords.check();
    const py::array_t<std::complex<double>> chi0 = compute(keywords);
    const std::vector<WaveVector> wave_vectors = study.wave_vectors();
    // In the table's order, the first of equal values, as its U_c line.
    std::size_t largest = 0;
    const auto at = [&](std::size_t i) {
        const WaveVector w = wave_vectors[i];
        return keywords.every ? chi0.at(w.first, w.second, 0).real() : chi0.at(i, 0).real();
    };
    for (std::size_t i = 1; i < wave_vectors.size(); ++i) {
        largest = at(i) > at(largest) ? i : largest;
    }
    py::dict result;
    const double chi_max = wave_vectors.empty() ? 0.0 : at(largest);
    result["u_c"] = chi_max > 0.0 ? py::object(py::float_(1.0 / chi_max)) : py::none();
    result["chi0"] = chi_max;
    result["q"] = wave_vectors.empty()
                      ? py::object(py::none())
                      : py::object(py::make_tuple(wave_vectors[largest].first, wave_vectors[largest].second));
    result["route"] = std::string(study.routes.front()->name);
    return result;
}

// The path Γ → X → M → Γ: its grid indices (n, 2) and the distance along it
// in units of 1/a, Σ |k_i − k_(i−1)| with k = 2π·(ix/LX, iy/LY).
py::tuple path(const IntOrPair& lattice) {
    Keywords keywords;
    keywords.request.model_only = true;
    keywords.pair("lattice", keywords.request.lattice, lattice);
    const StudyModel model = keywords.check().model;
    const std::vector<WaveVector> points = zone_path(model.lattice_x, model.lattice_y);
    py::array_t<py::ssize_t> q({static_cast<py::ssize_t>(points.size()), py::ssize_t{2}});
    py::array_t<double> distance(static_cast<py::ssize_t>(points.size()));
    double along = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0) {
            const double dx = momentum_step(model.lattice_x) * (points[i].first - points[i - 1].first);
            const double dy = momentum_step(model.lattice_y) * (points[i].second - points[i - 1].second);
            along += std::sqrt(dx * dx + dy * dy);
        }
        q.mutable_at(i, 0) = points[i].first;
        q.mutable_at(i, 1) = points[i].second;
        distance.mutable_at(i) = along;
    }
    return py::make_tuple(q, distance);
}

py::object real_axis(const Omega& omega, const Real& broadening, const IntOrPair& lattice, const Real& beta,
                     const Real& mu, const RealOrPair& hopping, const Real& hopping2, const Real& hopping3,
                     const Real& offset, const WaveVectors& q, const Real& coupling, const Int& threads) {
    if (!py::isinstance<py::sequence>(omega) || py::isinstance<py::str>(omega) || py::len(omega) != 3) {
        throw py::type_error("omega must be a triple (omin, omax, count), not " + repr_of(omega));
    }
    Keywords keywords;
    StudyRequest& r = keywords.request;
    keywords.given.fields["real-axis"] = repr_of(omega);
    r.real_axis = RealAxisRequest{number_of(omega[py::int_(0)], "omega", false),
                                  number_of(omega[py::int_(1)], "omega", false),
                                  static_cast<long long>(number_of(omega[py::int_(2)], "omega", true))};
    keywords.real("broadening", broadening);
    keywords.model(lattice, beta, mu, hopping, hopping2, hopping3, offset);
    keywords.wave_vectors(q);
    keywords.real("coupling", coupling);
    keywords.integer("threads", r.threads, threads);
    r.arrays_returned = true;
    return compute(keywords);
}

py::array_t<double> matsubara(const Real& beta, const Int& n, const std::string& statistics) {
    Keywords keywords;
    keywords.request.model_only = true;
    keywords.real("beta", beta);
    const double inverse_temperature = keywords.check().model.beta;
    if (statistics != "boson" && statistics != "fermion") {
        throw Refused{"invalid value for statistics=" + repr_of(py::str(statistics)) +
                      ": neither 'boson' nor 'fermion'"};
    }
    constexpr long long largest = 1 << 20;
    const auto count = static_cast<long long>(number_of(n, "n", true));
    if (count < 1 || count > largest) {
        throw Refused{"invalid value for n=" + repr_of(n) +
                      ": out of range (accepted: an integer from 1 to " + std::to_string(largest) + ")"};
    }
    py::array_t<double> frequencies(count);
    for (int j = 0; j < count; ++j) {
        frequencies.mutable_at(j) = statistics == "boson" ? boson_frequency(j, inverse_temperature).im
                                                          : fermion_frequency(j, inverse_temperature).im;
    }
    return frequencies;
}

py::array_t<double> band(const IntOrPair& lattice, const Real& mu, const RealOrPair& hopping,
                         const Real& hopping2, const Real& hopping3, const Real& offset) {
    Keywords keywords;
    keywords.request.model_only = true;
    keywords.model(lattice, py::none(), mu, hopping, hopping2, hopping3, offset);
    const StudyModel model = keywords.check().model;
    const std::vector<double> energy = band_on_grid(model);
    py::array_t<double> grid({model.lattice_x, model.lattice_y});
    std::copy(energy.begin(), energy.end(), grid.mutable_data());
    return grid;
}

// bubble()'s keywords after `route`.
constexpr const char* bubble_keywords =
    R"(lattice: L or (LX, LY); beta: inverse temperature; mu, hopping (T or (TX, TY)), hopping2, hopping3,
    offset: the band above.
bosons: M, the frequencies nu_m = 2*pi*m/beta, m = 0 ... M - 1 (None: N + 1, 17 unless frequencies is
    given). frequencies: N of the fourier and tail routes' mesh (None: the tail route chooses N for
    tolerance, the fourier route takes 16).
tolerance: the accuracy of the dlr route and of the tail route's chosen mesh (None: 1e-10).
q: None for every wave vector, "path" for Gamma -> X -> M -> Gamma, or a list of (ix, iy).
q_point: (qx, qy) or a list of them, q = pi*(qx, qy) anywhere in the zone (the direct route).
k_shift: s or (sx, sy), 0 <= s < 1: the mesh k = 2*pi*((x + sx)/LX, (y + sy)/LY) (direct and dlr).
coupling: U; then a dict of arrays "chi0", "spin" = chi0/(1 - U*chi0), "charge" = chi0/(1 + U*chi0).
threads: the threads of the computation (the values do not depend on it); None: OMP_NUM_THREADS when
    set, else every processor the process may use.

Returns a complex128 array of shape (LX, LY, M), element [ix, iy, m], for every q, or (len(q), M)
for a list, the path or q_point. chi0 is per spin: texts that sum over both spins find it twice as
large. What would silently mislead (an empty band, momenta on the Fermi surface at low
temperature, a mesh coarser than the tolerance) is a RuntimeWarning. A bad value raises ValueError
with the program's reason, a wrong type TypeError, a study that does not fit in memory MemoryError;
Ctrl-C stops the call (KeyboardInterrupt).)";

}  // namespace
}  // namespace lattice_bubble

PYBIND11_MODULE(lattice_bubble, module) {
    using namespace lattice_bubble;
    // Once, before any computation: every transform reads it.
    choose_fft_kernels();
    py::register_exception_translator([](std::exception_ptr raised) {
        try {
            std::rethrow_exception(raised);
        } catch (const Refused& refused) {
            PyErr_SetString(refused.memory ? PyExc_MemoryError : PyExc_ValueError, refused.text.c_str());
        } catch (const std::bad_alloc&) {
            PyErr_SetString(PyExc_MemoryError, "out of memory: the call was abandoned, nothing was returned");
        } catch (const Failure& failure) {
            PyErr_SetString(PyExc_RuntimeError, failure.what());
        }
    });
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
        std::string text =
            "chi0(q, i nu_m) on the Matsubara axis by one route of the program.\n\nroute: None for dlr (the "
            "direct route with q_point), or one of\n";
        for (const Route& route : routes()) {
            text.append("    ").append(route.name).append(": ").append(route.help).append("\n");
        }
        return text + bubble_keywords;
    }();
    module.def("bubble", &bubble, py::arg("route") = py::none(), py::arg("lattice") = defaults.lattice_x,
               py::arg("beta") = defaults.beta, py::arg("mu") = b.mu, py::arg("hopping") = b.hopping_x,
               py::arg("hopping2") = b.hopping2, py::arg("hopping3") = b.hopping3,
               py::arg("offset") = b.offset, py::arg("frequencies") = py::none(),
               py::arg("bosons") = py::none(), py::arg("q") = py::none(), py::arg("q_point") = py::none(),
               py::arg("k_shift") = py::none(), py::arg("coupling") = py::none(),
               py::arg("tolerance") = py::none(), py::arg("threads") = py::none(), bubble_doc.c_str());
    module.def("imaginary_time", &imaginary_time, py::arg("times"), py::arg("route") = py::none(),
               py::arg("lattice") = defaults.lattice_x, py::arg("beta") = defaults.beta, py::arg("mu") = b.mu,
               py::arg("hopping") = b.hopping_x, py::arg("hopping2") = b.hopping2,
               py::arg("hopping3") = b.hopping3, py::arg("offset") = b.offset, py::arg("q") = py::none(),
               py::arg("q_point") = py::none(), py::arg("k_shift") = py::none(),
               py::arg("tolerance") = py::none(), py::arg("threads") = py::none(),
               R"(chi0(q, tau_j) at the imaginary times tau_j = j*beta/(times - 1), j = 0 ... times - 1.

route: "dlr" (None: the default) evaluates its representation at tau_j; "direct" sums the exact
chi0(q, tau) = (1/(Lx*Ly)) * sum_k f(e(k)) * (1 - f(e(k+q))) * exp(-tau*(e(k+q) - e(k))), whose integral
over [0, beta] is chi0(q, i nu_0). The other keywords as for bubble().

Returns a complex128 array of shape (LX, LY, times) for every q, or (len(q), times); the imaginary part
is the route's rounding.)");
    module.def("instability", &instability, py::arg("route") = py::none(),
               py::arg("lattice") = defaults.lattice_x, py::arg("beta") = defaults.beta, py::arg("mu") = b.mu,
               py::arg("hopping") = b.hopping_x, py::arg("hopping2") = b.hopping2,
               py::arg("hopping3") = b.hopping3, py::arg("offset") = b.offset, py::arg("q") = py::none(),
               py::arg("k_shift") = py::none(), py::arg("tolerance") = py::none(),
               py::arg("threads") = py::none(),
               R"(The Stoner criterion of the paramagnet: U_c = 1/max_q Re chi0(q, i nu_0), chi0 per spin.

Returns a dict with the keys "u_c" (None where the largest chi0 is not positive), "chi0" (that
largest static value), "q" (its grid indices (ix, iy), the first of equal values in the order
ix major, iy minor, or of the list given) and "route". The spin channel is unstable for U >= u_c.
The keywords as for bubble().)");
    module.def("path", &path, py::arg("lattice") = defaults.lattice_x,
               R"(The path Gamma -> X -> M -> Gamma through the zone, as q="path" takes it.

Returns (q, distance): the grid indices, an int array of shape (n, 2), and the distance of each
point along the path, sum of |k_i - k_(i-1)| with k = 2*pi*(ix/LX, iy/LY), in units of 1/a.)");
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
