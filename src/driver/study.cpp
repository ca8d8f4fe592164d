#include "driver/study.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "alloc/work_arrays.h"
#include "driver/command_line.h"
#include "driver/map_stage.h"
#include "driver/plot_pipe.h"
#include "driver/progress_line.h"
#include "driver/run.h"
#include "driver/study_table.h"
#include "driver/system_resources.h"
#include "routes/direct_route.h"
#include "routes/fourier_route.h"

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

// Writes the whole text to standard output and flushes it; false with errno set when any of it is lost.
bool write_out(const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return std::fflush(stdout) == 0 && written && std::ferror(stdout) == 0;
}

std::string reason(int error) { return error != 0 ? std::strerror(error) : "unknown reason"; }

// The plotting program draws Re χ(q, iν_m) against m for every route
// computed, with the data inline. Its own output goes to standard error, so
// that a text terminal's drawing does not mix into the table.
void plot_first_wave_vector(const StudyRequest& study, std::pair<int, int> q,
                            const std::vector<Complex>& fourier, const std::vector<Complex>& tail,
                            const std::vector<Complex>& direct) {
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
    std::string commands = "set title 'Re chi(q, i nu_m) at q = 2 pi (" + std::to_string(q.first) + ", " +
                           std::to_string(q.second) + ")/" + std::to_string(study.model.lattice) +
                           "'\nset xlabel 'm'\nset ylabel 'Re chi'\nset grid\nplot ";
    std::string data;
    const auto add_route = [&](const std::vector<Complex>& values, std::string_view name) {
        if (values.empty()) {
            return;
        }
        commands += data.empty() ? "" : ", ";
        commands += "'-' using 1:2 with linespoints title '";
        commands += name;
        commands += "'";
        for (std::size_t m = 0; m < values.size(); ++m) {
            data += std::to_string(m) + ' ';
            append_shortest(data, values[m].re);
            data += '\n';
        }
        data += "e\n";
    };
    add_route(fourier, "fourier");
    add_route(tail, "tail");
    add_route(direct, "direct");
    draw_and_wait(pipe, program, commands + "\n" + data, study_plot_prompt, std::cin, std::cerr);
}

}  // namespace

double study_memory_bytes(const StudyRequest& study) {
    const StudyModel& model = study.model;
    const double wave_vectors = study.all_q ? static_cast<double>(model.lattice) * model.lattice
                                            : static_cast<double>(study.q.size() + 1);
    // Table text goes out once it passes 1 MiB; a row is below 200 characters.
    const double block_text = 1024.0 * 1024.0 + 200.0 * model.bosons();
    const double direct_block = 4.0 * study.threads * model.bosons() * sizeof(Complex);
    return (study.routes.fourier ? fourier_route_bytes(model, false, study.threads) : 0.0) +
           (study.routes.tail ? fourier_route_bytes(model, true, study.threads) : 0.0) +
           (study.routes.direct ? DirectSum::bytes(model, study.threads) + direct_block : 0.0) +
           wave_vectors * 8.0 + block_text + 4.0 * model.bosons() * sizeof(Complex);
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
    const double needed = study_memory_bytes(study);
    if (const std::optional<double> available = available_memory_bytes(); available && needed > *available) {
        // Which of the routes asked for would fit on its own.
        std::string alone;
        const std::pair<bool, const char*> routes[] = {
            {study.routes.fourier, "fourier"}, {study.routes.tail, "tail"}, {study.routes.direct, "direct"}};
        const int asked = study.routes.fourier + study.routes.tail + study.routes.direct;
        for (const auto& [computed, name] : routes) {
            StudyRequest one = study;
            one.routes =
                RouteSet{name == routes[0].second, name == routes[1].second, name == routes[2].second};
            if (computed && asked > 1 && study_memory_bytes(one) <= *available) {
                alone += alone.empty() ? std::string(" --routes ") + name : std::string(" or ") + name;
            }
        }
        std::cerr << program_name << ": the study needs " << describe_bytes(needed) << " of memory, but only "
                  << describe_bytes(*available) << " is available; nothing was computed (a smaller --lattice "
                  << "or --frequencies needs less" << (alone.empty() ? "" : ";" + alone + " alone fits")
                  << ")" << std::endl;
        return exit_usage_error;
    }

    const StudyModel& model = study.model;
    const std::vector<std::pair<int, int>> wave_vectors = study.wave_vectors();
    if (study.routes.direct) {
        const long long momenta = static_cast<long long>(model.lattice) * model.lattice;
        const double terms =
            static_cast<double>(wave_vectors.size()) * model.bosons() * static_cast<double>(momenta);
        if (terms > direct_terms_worth_a_note) {
            std::cerr << program_name << ": note: the direct route sums " << std::setprecision(2) << terms
                      << " terms (" << wave_vectors.size() << " wave vectors x " << model.bosons()
                      << " frequencies x " << momenta << " momenta) and may take long; --routes fourier "
                      << "leaves it out" << std::endl;
        }
    }

    ProgressLine progress(standard_error_is_terminal());
    const Workers workers{study.threads, &progress};
    std::optional<SeriesGrid> chi_qw;       // χ(q, iν_m) by the Fourier route
    std::optional<SeriesGrid> chi_qw_tail;  // and by the tail route
    if (study.routes.fourier) {
        progress.set_task("fourier route");
        chi_qw.emplace(fourier_route(model, workers));
    }
    if (study.routes.tail) {
        progress.set_task("tail route");
        chi_qw_tail.emplace(tail_route(model, workers));
    }
    std::optional<DirectSum> direct;
    if (study.routes.direct) {
        direct.emplace(model);
        progress.set_task("direct route");
        progress.start_stage("sums over k", static_cast<long long>(wave_vectors.size()));
    }

    progress.clear();
    std::string text = table_header(study, program_version());
    if (!write_out(text)) {
        std::cerr << program_name << ": error: standard output could not be written (" << reason(errno)
                  << "); the table is lost" << std::endl;
        return exit_output_lost;
    }
    // The direct sums a block of wave vectors at a time, over every thread,
    // each block written before the next is summed.
    const std::size_t bosons = static_cast<std::size_t>(model.bosons());
    const std::size_t block = direct ? 4 * static_cast<std::size_t>(study.threads) : wave_vectors.size();
    std::vector<Complex> direct_values(direct ? block * bosons : 0);
    std::vector<Complex> plotted_fourier;
    std::vector<Complex> plotted_tail;
    std::vector<Complex> plotted_direct;
    for (std::size_t first = 0; first < wave_vectors.size(); first += block) {
        const std::size_t count = std::min(block, wave_vectors.size() - first);
        if (direct) {
            direct->evaluate(std::span(wave_vectors).subspan(first, count), direct_values, workers);
            progress.clear();
        }
        text.clear();
        for (std::size_t i = first; i < first + count; ++i) {
            const auto [ix, iy] = wave_vectors[i];
            std::span<const Complex> fourier_values;
            std::span<const Complex> tail_values;
            std::span<const Complex> direct_sums;
            if (chi_qw) {
                fourier_values = chi_qw->series(ix, iy);
            }
            if (chi_qw_tail) {
                tail_values = chi_qw_tail->series(ix, iy);
            }
            if (direct) {
                direct_sums = std::span<const Complex>(direct_values).subspan((i - first) * bosons, bosons);
            }
            append_table_block(text, model, ix, iy, i == 0, fourier_values, tail_values, direct_sums);
            if (i == 0 && study.plot) {
                plotted_fourier.assign(fourier_values.begin(), fourier_values.end());
                plotted_tail.assign(tail_values.begin(), tail_values.end());
                plotted_direct.assign(direct_sums.begin(), direct_sums.end());
            }
            // A long table goes out in pieces, so that a failed write stops the study soon.
            if (text.size() >= 1 << 20 || i + 1 == first + count) {
                if (!write_out(text)) {
                    std::cerr << program_name << ": error: standard output could not be written ("
                              << reason(errno) << "); the table is lost from q = (" << ix << "," << iy
                              << ") on, or before" << std::endl;
                    return exit_output_lost;
                }
                text.clear();
            }
        }
    }
    if (study.plot) {
        plot_first_wave_vector(study, wave_vectors.front(), plotted_fourier, plotted_tail, plotted_direct);
    }
    return exit_complete;
}

}  // namespace lattice_bubble
