#pragma once
// The command line: no arguments for the default run, a request for help or
// for the version, or the options of a study, each option a row of one table
// (entry/options.cpp) from which the parsing, the refusals and --help come.

#include <iosfwd>
#include <string>
#include <vector>

#include "model/lattice_model.h"
#include "routes/route_table.h"

namespace lattice_bubble {

struct StudyRequest {
    StudyModel model;
    std::vector<const Route*> routes;  // in the table's order; every route when none is asked for
    bool all_q = false;                // every wave vector, x major, y minor
    std::vector<WaveVector> q;         // else these, in the order given, each once
    bool path = false;                 // q holds the path Γ → X → M → Γ (--q path)
    bool plot = false;                 // draw χ at the first q, or along the path, after the table
    int threads = 1;                   // --threads, else OMP_NUM_THREADS, else every usable processor

    // The wave vectors of the table, in its order: all of them, those given,
    // or (L/2, L/2) = (π, π) when none was given.
    [[nodiscard]] std::vector<WaveVector> wave_vectors() const;
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

// Whether the table has an option of that name (without its dashes).
[[nodiscard]] bool has_option(std::string_view name);

// Every option's line of --help, from the table.
void write_option_help(std::ostream& out);

}  // namespace lattice_bubble
