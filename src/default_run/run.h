#pragma once
// The default run: the five working grids, the three stages in their fixed
// order (the Fourier route and its report, the map and its plot, the
// reference route and its report), the exit status.

#include <iosfwd>
#include <string_view>

#include "common/program.h"
#include "default_run/grids.h"

namespace lattice_bubble {

// The working grids of one run. The entry owns them for the whole run; every
// stage receives them by reference and keeps nothing.
struct RunGrids {
    FermionGrid green_freq{};   // G0(k, iω_n); after the space transform G(r, iω_n)
    TimeGrid green_time{};      // G(r, τ_l)
    TimeGrid chi_time{};        // χ(r, τ_l)
    BosonGrid chi_freq{};       // χ(r, iν_m); after the space transform χ(q, iν_m)
    BosonGrid chi_reference{};  // χ0(q, iν_m) by direct summation
};

// The line that says standard output was lost: "<start> (<reason>); <what> are lost",
// or, when it was closed at the start, "<closed start>; <what> are lost".
inline constexpr std::string_view stdout_failure_start = "error: standard output could not be written";
inline constexpr std::string_view stdout_closed_start = "error: standard output is closed";

// The start of the no-pipe line; the reason and the loss follow.
inline constexpr std::string_view no_pipe_message = "error: cannot start the plotting program";

// What became of standard output: closed when the run started, or the
// reason of its first failed write. note() is called right after each stage
// that writes to it, while errno still holds the reason.
class OutputWatch {
public:
    explicit OutputWatch(bool was_closed) : closed_(was_closed) {}
    void note();
    // `status`, unless standard output was closed or could not be written:
    // then one line on standard error saying that `lost` (such as "the
    // reports") are lost, and for a status that says success exit_output_lost.
    [[nodiscard]] int status(int status, std::string_view lost);

private:
    bool closed_;
    bool failed_ = false;
    int error_ = 0;
};

// Stage 1, the Fourier route: fill G0, momentum → real space, frequency →
// time, product, correction, time → bosonic frequency, real space →
// momentum (fourier_steps.h and this folder's fixed transforms), then the
// console report of chi_freq at q = (π, π).
void run_transform_pipeline(FermionGrid& green_freq, TimeGrid& green_time, TimeGrid& chi_time, BosonGrid& chi_freq,
                            std::ostream& out);

// Stage 3, the reference route: fill_reference, then the console report of chi_reference.
void run_reference_stage(BosonGrid& chi_reference, std::ostream& out);

// Runs the whole program on the process's standard streams and returns its exit status.
int run();

}  // namespace lattice_bubble
