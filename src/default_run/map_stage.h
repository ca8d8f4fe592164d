#pragma once
// The map stage: the susceptibility at ν_2 as an 8 × 8 surface in "chiw.dat",
// drawn by the plotting program while the run waits for a key.

#include <cstdio>
#include <iosfwd>
#include <string_view>

#include "default_run/grids.h"
#include "platform/plot_pipe.h"

namespace lattice_bubble {

inline constexpr std::string_view map_file_name = "chiw.dat";
inline constexpr std::string_view plot_program = "pgnuplot.exe";
inline constexpr std::string_view plot_command = "splot 'chiw.dat' with lines \n";
inline constexpr int map_frequency = 2;  // the map shows ν_2 = 4π/β

// Said on standard error before the key wait, when standard input is a terminal.
inline constexpr std::string_view key_prompt = "Press Enter to close the plot and continue.";
inline constexpr std::string_view key_prompt_without_plot = "Press Enter to continue.";

// Writes the map in the plotting program's grid format: for x = 0 … 7 a block
// of eight lines "x·dk y·dk Re chi_freq[x][y][2]" (y = 0 … 7) in the stream's
// default double format, each line flushed, and an empty line after each
// block: 72 lines.
void write_map(std::ostream& out, const BosonGrid& chi_freq);

struct MapStageOutcome {
    bool pipe_opened = false;  // false: the run must end at once
    int pipe_error = 0;        // errno of the failed pipe
    bool map_saved = false;    // false: chiw.dat could not be created or written
};

// Sends `commands` through the open pipe to `program`, waits for one
// character of `in` (end of input returns at once; on a terminal `err` first
// says `prompt`), closes the pipe, and warns on `err` when a program that was
// found failed.
void draw_and_wait(std::FILE* pipe, const PlotProgram& program, std::string_view commands,
                   std::string_view prompt, std::istream& in, std::ostream& err);

// Opens `map_file` (owned by the caller, left open) on chiw.dat in the current
// directory, writes the map, opens the pipe to the plotting program, sends it
// the plot command and waits for the key (draw_and_wait). Without a pipe the
// map file is closed and nothing is sent or awaited. A map file that cannot
// be created or written is reported on `err`, naming the file and the reason;
// the stage then goes on as usual. A plotting program that is missing, or
// ends with a failure, is reported on `err` as a warning; the map stays on
// disk and the outcome is unchanged.
MapStageOutcome run_map_stage(const BosonGrid& chi_freq, std::ofstream& map_file, std::istream& in,
                              std::ostream& err);

}  // namespace lattice_bubble
