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
#include "entry/command_line.h"
#include "default_run/map_stage.h"
#include "default_run/work_arrays.h"
#include "output/study_table.h"
#include "platform/plot_pipe.h"
#include "platform/process.h"
#include "platform/progress_line.h"
#include "platform/system_resources.h"

namespace lattice_bubble {
namespace {

std::string describe_bytes(double bytes) {
    std::ostringstream text;
    constexpr double mib = 1024.0 * 1024.0;
    text << std::fixed << std::setprecision(1);
    if (bytes >= 1024.0 * mib) {
        text << bytes / (1024.0 * mib) << " GiB";
    } else {
        text << bytes / mib << " MiB";
    }
    return text.str();
}

std::string reason(int error) { return error != 0 ? std::strerror(error) : "unknown reason"; }

// Computes every route and writes the table, block of wave vectors by block.
int compute_and_write(const StudyRequest& study, const std::vector<WaveVector>& wave_vectors,
                      ProgressLine& progress);

// Wave vectors a route prepares at once: the direct sums of a block go over
// every thread, and each block is written before the next is summed.
std::size_t block_size(const StudyRequest& study) { return 4 * static_cast<std::size_t>(study.threads); }

// The study with one route alone.
StudyRequest with_route(const StudyRequest& study, const Route* route) {
    StudyRequest one = study;
    one.routes = {route};
    return one;
}

// The plotting program draws the commands' picture, with the data inline.
// Its own output goes to standard error, so that a text terminal's drawing
// does not mix into the table.
void plot(const std::string& commands) {
    const PlotProgram program = find_plot_program(plot_program);
    if (!program.found) {
        std::cerr << program_name << ": warning: no plotting program found (neither " << plot_program
                  << " nor " << posix_plot_program
                  << " is on the search path); the table is complete without the plot" << std::endl;
        return;
    }
    std::FILE* pipe = open_plot_pipe(program.command + " 1>&2");
    if (pipe == nullptr) {
        std::cerr << program_name << ": warning: cannot start the plotting program (" << reason(errno)
                  << "); the table is complete without the plot" << std::endl;
        return;
    }
    draw_and_wait(pipe, program, commands, study_plot_prompt, std::cin, std::cerr);
}

}  // namespace

double study_memory_bytes(const StudyRequest& study) {
    const StudyModel& model = study.model;
    const double wave_vectors =
        study.all_q ? static_cast<double>(model.sites()) : static_cast<double>(study.q.size() + 1);
    // Table text goes out once it passes 1 MiB; a row is below 200 characters.
    // A row is below 200 characters, and 120 more for each route's interacting columns.
    const double block_text = 1024.0 * 1024.0 + 320.0 * model.values();
    double bytes = wave_vectors * 8.0 + block_text + 4.0 * model.values() * sizeof(Complex);
    if (study.plot && study.path && model.real_axis) {
        bytes += wave_vectors * model.values() * sizeof(double);  // the map
    }
    for (const Route* route : study.routes) {
        bytes += route->bytes(model, study.threads, block_size(study));
    }
    return bytes;
}

std::optional<std::string> memory_refusal(const StudyRequest& study, double extra_bytes) {
    const double needed = study_memory_bytes(study) + extra_bytes;
    const std::optional<double> available = available_memory_bytes();
    if (!available || needed <= *available) {
        return std::nullopt;
    }
    std::string alone;  // the routes asked for that would fit on their own
    for (const Route* route : study.routes) {
        if (study.routes.size() > 1 &&
            study_memory_bytes(with_route(study, route)) + extra_bytes <= *available) {
            alone.append(alone.empty() ? " --routes " : " or ").append(route->name);
        }
    }
    return "the study needs " + describe_bytes(needed) + " of memory, but only " +
           describe_bytes(*available) +
           " is available; nothing was computed (a smaller --lattice or --frequencies needs less" +
           (alone.empty() ? "" : ";" + alone + " alone fits") + ")";
}

int run_study(const StudyRequest& study) {
    const StandardStreams streams = prepare_standard_streams();
    ignore_broken_pipes();
    install_allocation_failure_handler();
    if (streams.output_was_closed) {
        std::cerr << program_name
                  << ": error: standard output is closed, so the table would be lost; nothing "
                  << "was computed" << std::endl;
        return exit_output_lost;
    }
    if (const std::optional<std::string> refusal = memory_refusal(study)) {
        std::cerr << program_name << ": " << *refusal << std::endl;
        return exit_usage_error;
    }

    const StudyModel& model = study.model;
    const std::vector<WaveVector> wave_vectors = study.wave_vectors();
    for (const Route* route : study.routes) {
        if (const std::string note = route->cost_note ? route->cost_note(model, wave_vectors.size()) : "";
            !note.empty()) {
            std::cerr << program_name << ": note: " << note << std::endl;
        }
    }

    ProgressLine progress(standard_error_is_terminal());
    try {
        return compute_and_write(study, wave_vectors, progress);
    } catch (const Failure& failure) {
        progress.clear();
        std::cerr << program_name << ": error: " << failure.what() << "; the table is incomplete"
                  << std::endl;
        return exit_output_lost;
    }
}

namespace {

int compute_and_write(const StudyRequest& study, const std::vector<WaveVector>& wave_vectors,
                      ProgressLine& progress) {
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
    if (!write_standard_output(text)) {
        std::cerr << program_name << ": error: standard output could not be written (" << reason(errno)
                  << "); the table is lost" << std::endl;
        return exit_output_lost;
    }
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
                if (!write_standard_output(text)) {
                    std::cerr << program_name << ": error: standard output could not be written ("
                              << reason(errno) << "); the table is lost from q = (" << block_q[i].first << ","
                              << block_q[i].second << ") on, or before" << std::endl;
                    return exit_output_lost;
                }
                text.clear();
            }
        }
    }
    if (const std::string trailer = limits.trailer(); !trailer.empty() && !write_standard_output(trailer)) {
        std::cerr << program_name << ": error: standard output could not be written (" << reason(errno)
                  << "); the table's last lines, with U_c, are lost" << std::endl;
        return exit_output_lost;
    }
    for (const std::string& warning : limits.warnings()) {
        std::cerr << program_name << ": " << warning << std::endl;
    }
    if (map) {
        plot(path_map_commands(model, wave_vectors, image));
    } else if (study.plot) {
        const std::vector<std::span<const Complex>> spans(plotted.begin(), plotted.end());
        plot(plot_commands(model, wave_vectors.front(), study.routes, spans));
    }
    return exit_complete;
}

}  // namespace

}  // namespace lattice_bubble
