#pragma once
// The command line of a study: the user's lattice, temperature, band,
// frequencies, wave vectors and routes, read and checked before anything is
// computed, written or started.

#include <string>
#include <utility>
#include <vector>

#include "model/lattice_model.h"

namespace lattice_bubble {

// The accepted ranges, each stated once; --help prints them from here.
inline constexpr int smallest_lattice = 2;
inline constexpr int largest_lattice = 4096;
inline constexpr int smallest_frequencies = 2;
inline constexpr int largest_frequencies = 65536;
inline constexpr double smallest_beta = 1e-6;
inline constexpr double largest_beta = 1e6;
inline constexpr double largest_band_value = 1e6;  // |mu|, |hopping|, |offset|
inline constexpr int largest_threads = 1024;

// The routes a study can compute, in the order of the table's columns.
struct RouteSet {
    bool fourier = true;
    bool tail = true;
    bool direct = true;
};

struct StudyRequest {
    StudyModel model;
    RouteSet routes;
    bool all_q = false;                  // every wave vector, x major, y minor
    std::vector<std::pair<int, int>> q;  // else these, in the order given, each once
    bool plot = false;                   // draw Re χ at the first q after the table
    int threads = 1;                     // --threads, else OMP_NUM_THREADS, else every usable processor

    // The wave vectors of the table, in its order: all of them, those given,
    // or (L/2, L/2) = (π, π) when none was given.
    [[nodiscard]] std::vector<std::pair<int, int>> wave_vectors() const;
};

enum class CommandKind { default_run, help, version, study, refused };

struct Command {
    CommandKind kind = CommandKind::default_run;
    StudyRequest study;   // for CommandKind::study
    std::string refusal;  // for CommandKind::refused: the one line for standard error, without its end
    std::string warning;  // for CommandKind::study: a line for standard error before it starts, or empty
};

// Reads the command line. No argument: the default run. "-h", "--help" or
// "--version" anywhere among the options: that request, whatever else the
// line holds. Otherwise a study, or the first thing wrong with the line.
// Options take "--name value" and "--name=value"; a value may begin with
// '-'; names are not abbreviated; "--" ends the options, and a bare word is
// refused.
//
// Without --threads the thread count is OMP_NUM_THREADS where that is set,
// read as OpenMP programs read it: its first entry (a list such as "4,2"
// gives 4), blanks around it ignored. An empty or malformed value, or one
// beyond the accepted range, is ignored with a warning, and the count is
// `usable_processors`, as it is where the variable is not set.
[[nodiscard]] Command parse_command_line(int argc, const char* const* argv, const char* omp_num_threads,
                                         int usable_processors);

}  // namespace lattice_bubble
