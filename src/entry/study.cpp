#include "entry/study.h"

#include <cerrno>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/program.h"
#include "default_run/map_stage.h"
#include "default_run/work_arrays.h"
#include "entry/command_line.h"
#include "output/study_table.h"
#include "platform/plot_pipe.h"
#include "platform/process.h"
#include "platform/progress_line.h"
#include "platform/system_resources.h"

namespace lattice_bubble {
namespace {

std::string reason(int error) { return error != 0 ? std::strerror(error) : "unknown reason"; }

// Computes every route and writes the table, block of wave vectors by block;
// `lost` says at each moment what a failed write of standard output loses.
void compute_and_write(const Study& study, const std::vector<WaveVector>& wave_vectors,
                       ProgressLine& progress, std::string& lost);

// The plotting program draws the commands' picture, with the data inline.
// Its own output goes to standard error, so that a text terminal's drawing
// does not mix into the table.
void plot(const std::string& commands) {
    const PlotProgram program = find_plot_program(plot_program);
    if (!program.found) {
        write_message("warning: no plotting program found (neither " + std::string(plot_program) + " nor " +
                      std::string(posix_plot_program) +
                      " is on the search path); the table is complete without the plot");
        return;
    }
    std::FILE* pipe = open_plot_pipe(program.command + " 1>&2");
    if (pipe == nullptr) {
        write_message("warning: cannot start the plotting program (" + reason(errno) +
                      "); the table is complete without the plot");
        return;
    }
    draw_and_wait(pipe, program, commands, study_plot_prompt, std::cin, std::cerr);
}

}  // namespace

int run_study(const Study& study) {
    const StandardStreams streams = prepare_standard_streams();
    ignore_broken_pipes();
    install_allocation_failure_handler();
    if (streams.output_was_closed) {
        write_message("error: standard output is closed, so the table would be lost; nothing was computed");
        return exit_output_lost;
    }

    const StudyModel& model = study.model;
    const std::vector<WaveVector> wave_vectors = study.wave_vectors();
    const std::size_t count = study.q_points.empty() ? wave_vectors.size() : study.q_points.size();
    for (const Route* route : study.routes) {
        if (const std::string note = route->cost_note ? route->cost_note(model, count) : ""; !note.empty()) {
            write_message("note: " + note);
        }
    }

    ProgressLine progress(standard_error_is_terminal());
    std::string lost = "the table is lost";
    try {
        compute_and_write(study, wave_vectors, progress, lost);
        return exit_complete;
    } catch (const OutputLost& failure) {
        write_message("error: standard output could not be written (" + std::string(failure.what()) + "); " +
                      lost);
        return exit_output_lost;
    } catch (const Failure& failure) {
        progress.clear();
        write_message("error: " + std::string(failure.what()) + "; the table is incomplete");
        return exit_output_lost;
    }
}

namespace {

// The table of wave vectors off the grid: every value at once, then the rows.
void compute_and_write_points(const Study& study, ProgressLine& progress) {
    const StudyModel& model = study.model;
    const Workers workers{study.threads, &progress, nullptr};
    std::vector<std::unique_ptr<RouteValues>> computed;
    for (const Route* route : study.routes) {
        progress.set_task(std::string(route->name) + " route");
        computed.push_back(route->compute_points(model, study.q_points, workers));
    }
    progress.clear();
    std::string text = table_header(model, study.routes, program_version(), true);
    for (const auto& route : computed) {
        text += route->header_lines();
    }
    std::vector<std::span<const Complex>> values(computed.size());
    for (std::size_t i = 0; i < study.q_points.size(); ++i) {
        for (std::size_t r = 0; r < computed.size(); ++r) {
            values[r] = computed[r]->values(i, {});
        }
        append_point_block(text, model, study.q_points[i], i == 0, values);
    }
    write_standard_output(text);
}

void compute_and_write(const Study& study, const std::vector<WaveVector>& wave_vectors,
                       ProgressLine& progress, std::string& lost) {
    if (!study.q_points.empty()) {
        compute_and_write_points(study, progress);
        return;
    }
    const StudyModel& model = study.model;
    const Workers workers{study.threads, &progress, nullptr};
    std::vector<std::unique_ptr<RouteValues>> computed;
    for (const Route* route : study.routes) {
        progress.set_task(std::string(route->name) + " route");
        computed.push_back(route->compute(model, wave_vectors, workers));
    }

    progress.clear();
    std::string text = table_header(model, study.routes, program_version());
    for (const auto& route : computed) {
        text += route->header_lines();
    }
    write_standard_output(text);
    const std::size_t block = block_size(study);
    // What --plot draws: every route at the first q, or the map along the path.
    const bool map = study.plot && study.path && !study.all_q && model.real_axis;
    std::vector<std::vector<Complex>> plotted;
    std::vector<double> image;
    StaticLimits limits(model, study.routes);
    std::vector<double> static_values(computed.size());
    std::vector<std::span<const Complex>> values(computed.size());
    for (std::size_t first = 0; first < wave_vectors.size(); first += block) {
        const auto block_q =
            std::span(wave_vectors).subspan(first, std::min(block, wave_vectors.size() - first));
        for (const auto& route : computed) {
            route->prepare(block_q, workers);
        }
        progress.clear();
        text.clear();
        for (std::size_t i = 0; i < block_q.size(); ++i) {
            for (std::size_t r = 0; r < computed.size(); ++r) {
                values[r] = computed[r]->values(i, block_q[i]);
                static_values[r] = model.coupling ? computed[r]->static_value(i, block_q[i]) : 0.0;
            }
            append_table_block(text, model, block_q[i], first + i == 0, values);
            limits.add(block_q[i], static_values);
            if (first + i == 0 && study.plot && !map) {
                for (const auto& route_values : values) {
                    plotted.emplace_back(route_values.begin(), route_values.end());
                }
            }
            for (const Complex chi0 : map ? values.front() : std::span<const Complex>{}) {
                image.push_back(model.coupling ? rpa_spin(chi0, *model.coupling).im : chi0.im);
            }
            // A long table goes out in pieces, so that a failed write stops the study soon.
            if (text.size() >= 1 << 20 || i + 1 == block_q.size()) {
                lost = "the table is lost from q = (" + std::to_string(block_q[i].first) + "," +
                       std::to_string(block_q[i].second) + ") on, or before";
                write_standard_output(text);
                text.clear();
            }
        }
    }
    lost = "the table's last lines, with U_c, are lost";
    write_standard_output(limits.trailer());
    for (const std::string& warning : limits.warnings()) {
        write_message(warning);
    }
    if (map) {
        plot(path_map_commands(model, wave_vectors, image));
    } else if (study.plot) {
        const std::vector<std::span<const Complex>> spans(plotted.begin(), plotted.end());
        plot(plot_commands(model, wave_vectors.front(), study.routes, spans));
    }
}

}  // namespace

}  // namespace lattice_bubble
