// The built program, started as a user starts it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "default_run/map_stage.h"
#include "default_run/report.h"
#include "default_run/run.h"
#include "default_run/work_arrays.h"
#include "entry/command_line.h"
#include "support/golden.h"
#include "support/run_program.h"

namespace lattice_bubble {
namespace {

using testing::ProgramResult;
using testing::ProgramRun;
using testing::run_program;
using testing::split_lines;
using testing::Stream;
using testing::TempDir;

// A report: heading, one line per bosonic frequency, an empty line; a run
// prints two. The map: a block of lattice_size lines and an empty line per x.
constexpr std::size_t report_lines = boson_count + 2;
constexpr std::size_t run_lines = 2 * report_lines;
constexpr std::size_t map_lines = lattice_size * (lattice_size + 1);

struct Value {
    double re;
    double im;
};

// The 17 values of a report whose heading is at lines[first].
std::vector<Value> report_values(const std::vector<std::string>& lines, std::size_t first) {
    static const std::regex value(R"(\(([-0-9.e+]+),([-0-9.e+]+)\))");
    EXPECT_EQ(lines.at(first), report_heading);
    EXPECT_EQ(lines.at(first + report_lines - 1), "");
    std::vector<Value> values;
    for (std::size_t m = 0; m < boson_count; ++m) {
        std::smatch match;
        const std::string& line = lines.at(first + 1 + m);
        EXPECT_TRUE(std::regex_match(line, match, value)) << line;
        values.push_back({std::stod(match[1]), std::stod(match[2])});
    }
    return values;
}

// A run directory with a stand-in plotting program first on the search path.
struct PlotRun {
    TempDir dir;
    TempDir bin;
    ProgramRun run{dir.path()};

    explicit PlotRun(const std::string& plotter_script) {
        const auto plotter = bin.path() / std::string(plot_program);
        if (plotter_script == "stand-in") {
            std::filesystem::copy_file(LATTICE_BUBBLE_PLOT_STAND_IN, plotter);
        } else {
            testing::write_executable(plotter, plotter_script);
        }
        run.env["PATH"] = bin.path().string() + ":/usr/bin:/bin";
    }
    [[nodiscard]] std::vector<std::string> map_lines() const {
        return split_lines(testing::read_file(dir.path() / std::string(map_file_name)));
    }
};

// Records its standard input in the run directory.
const std::string recording_plotter = "#!/bin/sh\ncat > received.txt\n";

double map_value(const std::vector<std::string>& map, int x, int y) {
    std::istringstream line(map.at(9 * x + y));
    double kx = 0;
    double ky = 0;
    double value = 0;
    line >> kx >> ky >> value;
    return value;
}

TEST(Program, CompleteRunWithAPlottingProgram) {
    PlotRun plot(recording_plotter);
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(testing::read_file(plot.dir.path() / "received.txt"), plot_command);
    EXPECT_EQ(result.out, testing::golden_text(testing::golden_dir() / "reports.golden"));
    EXPECT_EQ(testing::read_file(plot.dir.path() / std::string(map_file_name)),
              testing::golden_text(testing::golden_dir() / "chiw.golden"));
    const auto lines = split_lines(result.out);
    ASSERT_EQ(lines.size(), run_lines) << result.out;

    const auto map = plot.map_lines();
    ASSERT_EQ(map.size(), map_lines);
    for (int block = 1; block <= 8; ++block) {
        EXPECT_EQ(map[9 * block - 1], "") << "line " << 9 * block;
    }
    EXPECT_TRUE(map[0].starts_with("0 0 ")) << map[0];
    EXPECT_TRUE(map[1].starts_with("0 0.785398 ")) << map[1];
    EXPECT_TRUE(map[9].starts_with("0.785398 0 ")) << map[9];
    // The map's (π, π) value is the ν2 line of the first report, to the same six digits.
    std::istringstream center(map[9 * 4 + 4]);
    std::string kx;
    std::string ky;
    std::string value;
    center >> kx >> ky >> value;
    EXPECT_EQ(kx, "3.14159");
    EXPECT_TRUE(lines[3].starts_with("(" + value + ",")) << lines[3] << " vs " << value;
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            EXPECT_EQ(map_value(map, x, y), map_value(map, y, x)) << x << "," << y;
            if (x >= 1) {
                EXPECT_EQ(map_value(map, x, y), map_value(map, lattice_size - x, y)) << x << "," << y;
            }
        }
    }
}

TEST(Program, BothReportsWithStandardInputClosed) {
    PlotRun plot(recording_plotter);
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, 0);
    const auto lines = split_lines(result.out);
    ASSERT_EQ(lines.size(), run_lines) << result.out;

    const auto fourier = report_values(lines, 0);
    EXPECT_NEAR(fourier[0].re, 0.0453, 5e-5);
    EXPECT_NEAR(fourier[1].re, 0.0262, 5e-5);
    EXPECT_NEAR(fourier[2].re, 0.0144, 5e-5);
    for (int m = 0; m < boson_count; ++m) {
        EXPECT_EQ(fourier[m].re < 0.0, m >= 8) << "m = " << m;
        EXPECT_LT(std::fabs(fourier[m].im), 1e-15) << "m = " << m;
    }
    EXPECT_NEAR(fourier[16].re, -0.0171, 5e-5);

    const auto reference = report_values(lines, report_lines);
    EXPECT_TRUE(lines[20].starts_with("(0.043")) << lines[20];
    EXPECT_TRUE(lines[20].ends_with(",0)")) << lines[20];
    EXPECT_TRUE(lines[21].starts_with("(0.0256996,")) << lines[21];
    EXPECT_LT(std::fabs(reference[1].im), 1e-16);
    for (int m = 1; m < boson_count; ++m) {
        EXPECT_LT(reference[m].re, reference[m - 1].re) << "m = " << m;
    }
    EXPECT_TRUE(lines[36].starts_with("(0.000403444,")) << lines[36];
}

TEST(Program, RealGnuplotDrawsBetweenTheReports) {
    const bool in_ci = std::getenv("CI") != nullptr;
    if (!in_ci && std::system("command -v gnuplot >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox); CI installs it";
    }
    const TempDir dir;
    ProgramRun run(dir.path());
    run.env["PATH"] = "/usr/local/bin:/usr/bin:/bin";
    run.env["GNUTERM"] = "dumb";
    const auto result = run_program(run);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    const auto lines = split_lines(result.out);
    ASSERT_GT(lines.size(), run_lines + 10u) << result.out;
    EXPECT_EQ(lines.front(), report_heading);
    report_values(lines, 0);
    report_values(lines, lines.size() - report_lines);  // the reference report comes last
    std::string drawing;
    for (std::size_t i = report_lines; i < lines.size() - report_lines; ++i) {
        drawing += lines[i] + "\n";
    }
    EXPECT_NE(drawing.find("chiw.dat"), std::string::npos) << drawing;  // the key of the surface
    EXPECT_NE(drawing.find('*'), std::string::npos) << drawing;
}

TEST(Program, NoPlottingProgramOnTheSearchPath) {
    const TempDir dir;
    const TempDir empty_bin;
    ProgramRun run(dir.path());
    run.env["PATH"] = empty_bin.path().string();
    const auto result = run_program(run);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(split_lines(result.out).size(), run_lines);
    const std::string message =
        "lattice_bubble: no plotting program found (neither pgnuplot.exe nor gnuplot is on the search path); "
        "the map is in chiw.dat\n";
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(message), result.err.rfind(message)) << "reported once";
}

TEST(Program, PlottingProgramThatEndsAtOnceDoesNotEndTheRun) {
    PlotRun plot("#!/bin/sh\nexit 0\n");
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(split_lines(result.out).size(), run_lines);
}

// ------------------------------------------------------------------ faults

// What a normal run writes: its two reports and its map, for the faults to be
// compared with byte for byte.
struct NormalRun {
    std::string out;
    std::string map;
};

const NormalRun& normal_run() {
    static const NormalRun normal = [] {
        PlotRun plot(recording_plotter);
        const auto result = run_program(plot.run);
        EXPECT_EQ(result.exit_status, 0) << result.err;
        return NormalRun{result.out, testing::read_file(plot.dir.path() / std::string(map_file_name))};
    }();
    return normal;
}

enum class Map { as_normal, absent, unchecked };

struct FaultCase {
    std::string name;
    std::string plotter;                            // the stand-in plotting program
    std::function<void(PlotRun&)> set_up;           // the fault
    int status;                                     // exit status
    int out_lines;                                  // lines on standard output; -1 when not captured
    std::string err;                                // regular expression for all of standard error
    Map map;                                        // chiw.dat afterwards
    std::function<void(const PlotRun&)> also = {};  // any further check
};

// The line of a lost standard output: its reason, or that it was closed.
std::string lost_output(const std::string& reason) {
    return std::string(message_prefix) + std::string(stdout_failure_start) + " \\(" + reason +
           "\\); the reports are lost\n";
}
const std::string closed_output =
    std::string(message_prefix) + std::string(stdout_closed_start) + "; the reports are lost\n";
const std::string no_plotter_prefix =
    "lattice_bubble: no plotting program found \\(neither pgnuplot.exe nor gnuplot is on the search "
    "path\\); ";

// The built stand-in: records its input and lists the descriptors it was given.
const std::string listing_plotter = "stand-in";

void received_the_plot_command(const PlotRun& plot) {
    EXPECT_EQ(testing::read_file(plot.dir.path() / "received.txt"), plot_command);
}

std::vector<FaultCase> fault_cases() {
    const auto limit_files = [](PlotRun& plot) { plot.run.open_file_limit = 4; };
    return {
        // Messages there are: the program's (no plotting program) and its shell's.
        {"StandardErrorClosed", recording_plotter,
         [](PlotRun& plot) {
             plot.run.error = Stream::closed;
             plot.run.env["PATH"] = plot.dir.path().string();
         },
         0, run_lines, "", Map::as_normal},
        // The plotting program writes to its standard output, which is the run's.
        {"StandardOutputClosed", "#!/bin/sh\ncat > received.txt\necho drawn\n",
         [](PlotRun& plot) { plot.run.output = Stream::closed; }, exit_output_lost, -1, closed_output,
         Map::as_normal, received_the_plot_command},
        {"StandardInputClosed", recording_plotter, [](PlotRun& plot) { plot.run.input = Stream::closed; }, 0,
         run_lines, "", Map::as_normal},
        {"StandardOutputFull", recording_plotter,
         [](PlotRun& plot) {
             plot.run.output = Stream::file;
             plot.run.stdout_target = "/dev/full";
         },
         exit_output_lost, -1, lost_output("No space left on device"), Map::as_normal},
        {"ReaderOfStandardOutputGone", recording_plotter,
         [](PlotRun& plot) { plot.run.output = Stream::gone_reader; }, exit_output_lost, -1,
         lost_output("Broken pipe"), Map::as_normal, received_the_plot_command},
        {"PlottingProgramStartsWithOnlyThePipeTheStandardStreamsAndDefaultSignals", listing_plotter,
         [](PlotRun&) {}, 0, run_lines, "", Map::as_normal,
         [](const PlotRun& plot) {
             // "<fd> <target>" for every descriptor it was started with.
             const std::string listing = testing::read_file(plot.dir.path() / "fds.txt");
             std::vector<std::string> held;
             for (const auto& line : split_lines(listing)) {
                 held.push_back(line.substr(0, line.find(' ')) +
                                (line.find(" pipe:") != std::string::npos ? " pipe" : ""));
             }
             std::sort(held.begin(), held.end());
             EXPECT_EQ(held, (std::vector<std::string>{"0 pipe", "1", "2"})) << listing;
             EXPECT_EQ(testing::read_file(plot.dir.path() / "sigpipe.txt"), "default\n");
         }},
        {"SmallStack", recording_plotter, [](PlotRun& plot) { plot.run.stack_limit_kib = 64; }, 0, run_lines,
         "", Map::as_normal},
        {"PlottingProgramFails", "#!/bin/sh\ncat > received.txt\nexit 3\n", [](PlotRun&) {}, 0, run_lines,
         "lattice_bubble: warning: the plotting program pgnuplot.exe exited with status 3\n", Map::as_normal,
         received_the_plot_command},
        {"PlottingProgramKilled", "#!/bin/sh\ncat > received.txt\nkill -9 $$\n", [](PlotRun&) {}, 0,
         run_lines,
         "(Killed\n)?lattice_bubble: warning: the plotting program pgnuplot.exe (was ended by signal 9 "
         "\\(Killed\\)|exited with status 137)\n",
         Map::as_normal, received_the_plot_command},
        {"NoPipe", recording_plotter, limit_files, 255, report_lines,
         "lattice_bubble: error: cannot start the plotting program \\(Too many open files\\); the reference "
         "report was not computed\n",
         Map::as_normal},
        {"MapFileCannotBeCreated", recording_plotter,
         [](PlotRun& plot) {
             std::filesystem::create_directory(plot.dir.path() / std::string(map_file_name));
         },
         exit_output_lost, run_lines,
         "lattice_bubble: error: cannot create chiw.dat: Is a directory; the map is lost\n", Map::absent,
         received_the_plot_command},
        {"MapFileCannotBeCreatedAndNoPlottingProgram", recording_plotter,
         [](PlotRun& plot) {
             std::filesystem::create_directory(plot.dir.path() / std::string(map_file_name));
             plot.run.env["PATH"] = plot.dir.path().string();
         },
         exit_output_lost, run_lines,
         "lattice_bubble: error: cannot create chiw.dat: Is a directory; the map is lost\n" +
             no_plotter_prefix + "the map was not saved in chiw.dat\n.*not found\n",
         Map::absent},
        {"DiskFull", recording_plotter,
         [](PlotRun& plot) {
             std::filesystem::create_symlink("/dev/full", plot.dir.path() / std::string(map_file_name));
         },
         exit_output_lost, run_lines,
         "lattice_bubble: error: cannot write chiw.dat: No space left on device; the map is incomplete\n",
         Map::unchecked, received_the_plot_command},
        // Without PATH the program's lookup and the shell's search the same
        // default path, which holds no stand-in: the one in the current
        // directory is never run, and either both find a gnuplot or neither.
        {"SearchPathUnset", recording_plotter,
         [](PlotRun& plot) {
             std::filesystem::copy_file(plot.bin.path() / std::string(plot_program),
                                        plot.dir.path() / std::string(plot_program));
             plot.run.unset_env.push_back("PATH");
             plot.run.env["GNUTERM"] = "dumb";
         },
         0, -1, "(|" + no_plotter_prefix + "the map is in chiw.dat\n.*not found\n)", Map::as_normal,
         [](const PlotRun& plot) {
             EXPECT_FALSE(std::filesystem::exists(plot.dir.path() / "received.txt"));
         }},
    };
}

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

class ProgramFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ProgramFaults, EndSoundlyAndLoseNothingElse) {
    const FaultCase& fault = GetParam();
    PlotRun plot(fault.plotter);
    fault.set_up(plot);
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, fault.status) << result.err;
    if (fault.out_lines >= 0) {
        EXPECT_EQ(split_lines(result.out).size(), static_cast<std::size_t>(fault.out_lines)) << result.out;
        EXPECT_TRUE(normal_run().out.starts_with(result.out)) << "the reports differ from a normal run's";
    }
    EXPECT_TRUE(std::regex_match(result.err, std::regex(fault.err))) << result.err;
    const auto map_file = plot.dir.path() / std::string(map_file_name);
    if (fault.map == Map::as_normal) {
        EXPECT_EQ(testing::read_file(map_file), normal_run().map);
    } else if (fault.map == Map::absent) {
        EXPECT_FALSE(std::filesystem::is_regular_file(map_file));
    }
    if (fault.also) {
        fault.also(plot);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, ProgramFaults, ::testing::ValuesIn(fault_cases()),
                         [](const ::testing::TestParamInfo<FaultCase>& param_info) {
                             return param_info.param.name;
                         });

// ------------------------------------------------------------ command line

struct ArgumentCase {
    std::vector<std::string> args;
    int status;
    std::string out;  // regular expressions for all of each stream
    std::string err;
};

void PrintTo(const ArgumentCase& arguments, std::ostream* out) {
    for (const auto& arg : arguments.args) {
        *out << arg << " ";
    }
}

class ProgramArguments : public ::testing::TestWithParam<ArgumentCase> {};

// An answer, and nothing computed, written or started.
TEST_P(ProgramArguments, AnswerWithoutComputingWritingOrStarting) {
    PlotRun plot(recording_plotter);
    plot.run.args = GetParam().args;
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, GetParam().status);
    EXPECT_TRUE(std::regex_match(result.out, std::regex(GetParam().out))) << result.out;
    EXPECT_TRUE(std::regex_match(result.err, std::regex(GetParam().err))) << result.err;
    EXPECT_FALSE(std::filesystem::exists(plot.dir.path() / std::string(map_file_name)));
    EXPECT_FALSE(std::filesystem::exists(plot.dir.path() / "received.txt"));
}

const std::string usage =
    "Usage: lattice_bubble \\[--help \\| --version\\]\n(.|\n)*Exit status(.|\n)*README(.|\n)*";
const std::string refused_argument =
    "lattice_bubble: unexpected argument 'foo'; nothing was computed "
    "\\(see lattice_bubble --help\\)\n";

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ProgramArguments,
    ::testing::Values(
        ArgumentCase{{"--help"}, 0, usage, ""}, ArgumentCase{{"-h"}, 0, usage, ""},
        ArgumentCase{{"--version"}, 0, "lattice_bubble [0-9]+\\.[0-9]+\\.[0-9]+\n", ""},
        ArgumentCase{{"foo"}, 2, "", refused_argument}, ArgumentCase{{"--help", "--version"}, 0, usage, ""},
        ArgumentCase{{"--lattice", "12", "--version"}, 0, "lattice_bubble [0-9]+\\.[0-9]+\\.[0-9]+\n", ""}));

// ------------------------------------------------------------------ studies

// A few of the table's refusals as a user meets them (the rest are read in process).
std::vector<testing::StudyRefusal> end_to_end_refusals() {
    std::vector<testing::StudyRefusal> refusals = testing::study_refusals();
    std::erase_if(refusals, [](const testing::StudyRefusal& refusal) { return !refusal.end_to_end; });
    return refusals;
}

class StudyRefusals : public ::testing::TestWithParam<testing::StudyRefusal> {};

TEST_P(StudyRefusals, OneLineNamingWhatIsWrongAndNothingElse) {
    PlotRun plot(recording_plotter);
    plot.run.args = GetParam().args;
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, exit_usage_error);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("lattice_bubble: ")) << result.err;
    EXPECT_EQ(split_lines(result.err).size(), 1u) << result.err;
    for (const auto& fragment : GetParam().fragments) {
        EXPECT_NE(result.err.find(fragment), std::string::npos) << "'" << fragment << "' in " << result.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(plot.dir.path())) << "a file was written or a program started";
}

INSTANTIATE_TEST_SUITE_P(FromTheTable, StudyRefusals, ::testing::ValuesIn(end_to_end_refusals()));

// With the default values, the Fourier column is the default run's chi_freq to the last bit.
TEST(Study, FourierColumnOfEveryWaveVectorIsTheGoldenChiFreq) {
    PlotRun plot(recording_plotter);
    plot.run.args = {"--q", "all", "--routes", "fourier"};
    const auto result = run_program(plot.run);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    const auto golden = testing::read_golden(testing::golden_dir() / "route.golden", 4);
    const auto lines = split_lines(result.out);
    EXPECT_EQ(lines.at(0), "# ix iy m nu re_fourier im_fourier");
    std::size_t rows = 0;
    for (const auto& line : lines) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string ix, iy, m, nu, re, im;
        fields >> ix >> iy >> m >> nu >> re >> im;
        const std::string key = "chi_freq " + ix + " " + iy + " " + m;
        EXPECT_EQ(testing::golden_mismatch(golden, key, std::stod(re), std::stod(im)), "");
        ++rows;
    }
    EXPECT_EQ(rows, static_cast<std::size_t>(lattice_points * boson_count));
    EXPECT_TRUE(std::filesystem::is_empty(plot.dir.path())) << "a study writes no file and starts nothing";
}

// --plot: the table first and whole on standard output; then every route's
// Re χ at the first q inline through the pipe, each data set ended by "e";
// without a plotting program a warning, and the status stays 0.
TEST(Study, PlotGetsEveryRouteInlineAfterTheTable) {
    PlotRun plot(recording_plotter);
    plot.run.args = {"--plot", "--routes", "fourier,direct", "--q", "2,6"};
    const auto result = run_program(plot.run);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(split_lines(result.out).size(), 12u + boson_count);  // the Fourier route's accuracy line
    const auto received = split_lines(testing::read_file(plot.dir.path() / "received.txt"));
    const auto plot_line = std::find_if(received.begin(), received.end(),
                                        [](const std::string& line) { return line.starts_with("plot "); });
    ASSERT_NE(plot_line, received.end());
    EXPECT_EQ(
        *plot_line,
        "plot '-' using 1:2 with linespoints title 'fourier', '-' using 1:2 with linespoints title 'direct'");
    EXPECT_EQ(std::count(received.begin(), received.end(), "e"), 2);
    EXPECT_EQ(received.end() - plot_line, 1 + 2 * (boson_count + 1));
    EXPECT_FALSE(std::filesystem::exists(plot.dir.path() / std::string(map_file_name)));

    plot.run.env["PATH"] = plot.dir.path().string();
    const auto without = run_program(plot.run);
    EXPECT_EQ(without.exit_status, 0);
    EXPECT_EQ(without.out, result.out);
    EXPECT_TRUE(without.err.starts_with("lattice_bubble: warning: no plotting program found")) << without.err;
}

// On the real axis along the path, --plot draws the map of Im χ_spin over
// the path's index and ω, Γ, X and M marked: a row per q and frequency.
TEST(Study, PlotMapsTheRealAxisAlongThePath) {
    PlotRun plot(recording_plotter);
    plot.run.args = {"--plot",     "--real-axis", "0,2,3", "--broadening", "0.1",
                     "--coupling", "1",           "--q",   "path"};
    const auto result = run_program(plot.run);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    const auto received = split_lines(testing::read_file(plot.dir.path() / "received.txt"));
    EXPECT_NE(std::find(received.begin(), received.end(), "set xtics ('Gamma' 0, 'X' 4, 'M' 8)"),
              received.end());
    const auto plot_line =
        std::find(received.begin(), received.end(), "plot '-' using 1:2:3 with image notitle");
    ASSERT_NE(plot_line, received.end());
    EXPECT_EQ(received.end() - plot_line, 1 + 12 * 3 + 1);  // the path's 12 points, 3 frequencies, "e"
    EXPECT_EQ(received.back(), "e");
}

// A full disk or a reader that went away: the study stops, says so, and ends with 2.
TEST(Study, StopsAtTheFirstFailedWriteOfItsTable) {
    for (const Stream output : {Stream::file, Stream::gone_reader}) {
        PlotRun plot(recording_plotter);
        plot.run.args = {"--q", "all"};
        plot.run.output = output;
        plot.run.stdout_target = "/dev/full";
        const auto result = run_program(plot.run);
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.exit_status, exit_output_lost);
        EXPECT_TRUE(
            std::regex_match(result.err, std::regex("lattice_bubble: error: standard output could not be "
                                                    "written \\((No space left on device|Broken pipe)\\); "
                                                    "the table is lost\n")))
            << result.err;
    }
}

TEST(Program, OnATerminalTheWaitSaysWhatItWaitsFor) {
    PlotRun plot(recording_plotter);
    plot.run.input = Stream::terminal;
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, std::string(key_prompt) + "\n");
    EXPECT_EQ(result.out, normal_run().out);
    received_the_plot_command(plot);
}

// ------------------------------------------------------------------ memory

#if defined(__SANITIZE_ADDRESS__) || !defined(LATTICE_BUBBLE_REFUSE_ALLOCATION)
constexpr bool can_limit_memory = false;  // the sanitizer's allocator owns the heap and the address space
#else
constexpr bool can_limit_memory = true;
#endif

// Every heap allocation of a run refused in turn, the smallest included: the
// run ends through the one fatal path, or completes where there is no k-th
// allocation.
TEST(ProgramMemory, EveryRefusedAllocationTakesTheOneFatalPath) {
    if (!can_limit_memory) {
        GTEST_SKIP() << "needs the preloaded allocator, which the sanitizer's takes the place of";
    }
#if defined(LATTICE_BUBBLE_REFUSE_ALLOCATION)
    PlotRun plot(listing_plotter);
    const TempDir reports;
    const auto report = reports.path() / "report";
    plot.run.env["LD_PRELOAD"] = LATTICE_BUBBLE_REFUSE_ALLOCATION;
    plot.run.env["LATTICE_BUBBLE_REFUSE_REPORT"] = report.string();
    for (int k = 1; k < 100000; ++k) {
        plot.run.env["LATTICE_BUBBLE_REFUSE_NTH"] = std::to_string(k);
        std::filesystem::remove(report);
        const auto result = run_program(plot.run);
        unsigned long counted = 0;
        int refused = -1;
        std::istringstream(testing::read_file(report)) >> counted >> refused;
        ASSERT_NE(refused, -1) << "refusal " << k << ": no report";
        ASSERT_EQ(result.signal, 0) << "refusal " << k;
        if (refused == 0) {  // fewer than k allocations: a normal run
            EXPECT_EQ(result.exit_status, 0) << result.err;
            EXPECT_GT(k, 100) << "the run makes hundreds of allocations";
            return;
        }
        ASSERT_EQ(result.exit_status, exit_out_of_memory) << "refusal " << k << ": " << result.err;
        ASSERT_EQ(result.err, allocation_failure_message) << "refusal " << k;
    }
    FAIL() << "the run never completed";
#endif
}

int address_space_status(PlotRun& plot, long kib, ProgramResult* result = nullptr) {
    plot.run.address_space_kib = kib;
    const auto got = run_program(plot.run);
    if (result != nullptr) {
        *result = got;
    }
    return got.exit_status;
}

// From the smallest address space in which the program starts (below it the
// loader gives up with 127) up to one in which it completes: every run ends
// with a status of its own and a reason, never by a signal.
TEST(ProgramMemory, EveryAddressSpaceLimitEndsWithAStatusAndAReason) {
    if (!can_limit_memory) {
        GTEST_SKIP() << "the sanitizer reserves far more address space than any limit tried here";
    }
    PlotRun plot(listing_plotter);
    long low = 1024;         // KiB: the loader cannot start the program
    long high = 256 * 1024;  // KiB: the program starts
    ASSERT_NE(address_space_status(plot, high), 127);
    while (high - low > 8) {
        const long middle = (low + high) / 2;
        (address_space_status(plot, middle) == 127 ? low : high) = middle;
    }
    int completed = 0;
    for (long kib = high; completed < 8; kib += 16) {
        ProgramResult result;
        const int status = address_space_status(plot, kib, &result);
        ASSERT_EQ(result.signal, 0) << kib << " KiB";
        if (status == 0) {
            ++completed;
        } else if (status == exit_out_of_memory) {
            EXPECT_TRUE(result.err.ends_with(allocation_failure_message)) << kib << " KiB: " << result.err;
        } else {
            ASSERT_EQ(status, 255) << kib << " KiB: " << result.err;
            EXPECT_NE(result.err.find(no_pipe_message), std::string::npos) << kib << " KiB: " << result.err;
        }
        ASSERT_LT(kib, high + 64 * 1024) << "the program does not complete";
    }
}

TEST(Program, SecondRunReplacesTheMap) {
    PlotRun plot(recording_plotter);
    {
        std::ofstream stale(plot.dir.path() / std::string(map_file_name));
        for (int i = 0; i < 200; ++i) {
            stale << "stale line " << i << "\n";
        }
    }
    ASSERT_EQ(run_program(plot.run).exit_status, 0);
    const auto first = plot.map_lines();
    ASSERT_EQ(run_program(plot.run).exit_status, 0);
    EXPECT_EQ(plot.map_lines(), first);
    EXPECT_EQ(first.size(), map_lines);
}

}  // namespace
}  // namespace lattice_bubble
