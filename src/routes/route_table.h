#pragma once
// The routes of a study, one row each, in the order of the table's columns.
// This is the one place that names them: --routes, the table's columns, the
// memory check, --plot and --help read the rows. A new route is a new row.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "common/complex.h"
#include "common/series_grid.h"
#include "common/workers.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// What a route computed, read wave vector by wave vector in the table's
// order. The wave vectors come in blocks; each block is prepared before its
// values are read, so that a route may compute them only then.
class RouteValues {
public:
    virtual ~RouteValues() = default;
    virtual void prepare(std::span<const WaveVector> block, const Workers& workers) = 0;
    // χ0(q, z) at the model's frequencies (iν_m, m = 0 … N, or ω_j + iη) at
    // the i-th wave vector q of the block last prepared.
    [[nodiscard]] virtual std::span<const Complex> values(std::size_t i, WaveVector q) const = 0;
    // Its χ0(q, 0), from which the instabilities are read: Re χ0(q, iν_0),
    // unless the route says otherwise.
    [[nodiscard]] virtual double static_value(std::size_t i, WaveVector q) const {
        return values(i, q)[0].re;
    }
    // Comment lines for the table's head, each ending in '\n': what the route chose for itself.
    [[nodiscard]] virtual std::string header_lines() const { return {}; }
    // Its grid of every q (Lx × Ly points, N + 1 slots), handed over, where it
    // computed one at once; else null. Its values are not read after.
    [[nodiscard]] virtual std::unique_ptr<SeriesGrid> take_grid() { return nullptr; }
};

struct Route {
    std::string_view name;  // in --routes and in the table's columns re_<name> im_<name>
    std::string_view help;  // what it is, for --help
    bool real_axis;         // whether it computes on the real axis too (the default there)
    bool by_default;        // whether a study on the Matsubara axis without --routes computes it
    bool takes_tolerance;   // whether --tolerance is its representation's ε
    bool chooses_mesh;      // whether, without --frequencies, it chooses its N for --tolerance
    bool fixed_mesh;        // whether it computes on the model's N as it stands (16 unless named)
    bool any_mesh;          // whether it takes a shifted momentum mesh and gives χ(q, τ)
    // The bytes it holds at its peak on `threads` threads, with blocks of
    // `block` wave vectors (or at wave vectors off the grid), for the memory
    // check before anything starts.
    double (*bytes)(const StudyModel& model, int threads, std::size_t block, bool off_grid);
    // Starts it for the wave vectors of the table, which come later in blocks.
    std::unique_ptr<RouteValues> (*compute)(const StudyModel& model, std::span<const WaveVector> wave_vectors,
                                            const Workers& workers);
    // Its values at wave vectors off the grid, all at once (the i-th
    // value's q is points[i]; prepare() is not called); null where it
    // computes the grid's wave vectors only.
    std::unique_ptr<RouteValues> (*compute_points)(const StudyModel& model,
                                                   std::span<const FreeWaveVector> points,
                                                   const Workers& workers);
    // What a user should know of its cost before it starts, or nothing.
    std::string (*cost_note)(const StudyModel& model, std::size_t wave_vectors);
    // Why it cannot take the model, for the refusal before anything starts, or nothing.
    std::string (*refusal)(const StudyModel& model);
};

// Every route, in the order of the table's columns.
[[nodiscard]] std::span<const Route> routes();

// The route of that name, or null.
[[nodiscard]] const Route* find_route(std::string_view name);

// The route for numbers where a caller names none: the one whose accuracy
// is controlled, the dlr route on the Matsubara axis and the direct route on
// the real axis and off the grid.
[[nodiscard]] const Route& route_for_numbers();
[[nodiscard]] const Route& route_off_the_matsubara_grid();

}  // namespace lattice_bubble
