// The built program, started as a user starts it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "driver/map_stage.h"
#include "driver/report.h"
#include "driver/run.h"
#include "support/run_program.h"

namespace lattice_bubble {
namespace {

using testing::ProgramRun;
using testing::run_program;
using testing::split_lines;
using testing::TempDir;

struct Value {
    double re;
    double im;
};

// The 17 values of a report whose heading is at lines[first].
std::vector<Value> report_values(const std::vector<std::string>& lines, std::size_t first) {
    static const std::regex value(R"(\(([-0-9.e+]+),([-0-9.e+]+)\))");
    EXPECT_EQ(lines.at(first), report_heading);
    EXPECT_EQ(lines.at(first + 18), "");
    std::vector<Value> values;
    for (std::size_t m = 0; m < 17; ++m) {
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
        testing::write_executable(bin.path() / std::string(plot_program), plotter_script);
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
    const auto lines = split_lines(result.out);
    ASSERT_EQ(lines.size(), 38u) << result.out;

    const auto map = plot.map_lines();
    ASSERT_EQ(map.size(), 72u);
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
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            EXPECT_EQ(map_value(map, x, y), map_value(map, y, x)) << x << "," << y;
            if (x >= 1) {
                EXPECT_EQ(map_value(map, x, y), map_value(map, 8 - x, y)) << x << "," << y;
            }
        }
    }
}

TEST(Program, BothReportsWithStandardInputClosed) {
    PlotRun plot(recording_plotter);
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, 0);
    const auto lines = split_lines(result.out);
    ASSERT_EQ(lines.size(), 38u) << result.out;

    const auto fourier = report_values(lines, 0);
    EXPECT_NEAR(fourier[0].re, 0.0453, 5e-5);
    EXPECT_NEAR(fourier[1].re, 0.0262, 5e-5);
    EXPECT_NEAR(fourier[2].re, 0.0144, 5e-5);
    for (int m = 0; m < 17; ++m) {
        EXPECT_EQ(fourier[m].re < 0.0, m >= 8) << "m = " << m;
        EXPECT_LT(std::fabs(fourier[m].im), 1e-15) << "m = " << m;
    }
    EXPECT_NEAR(fourier[16].re, -0.0171, 5e-5);

    const auto reference = report_values(lines, 19);
    EXPECT_TRUE(lines[20].starts_with("(0.043")) << lines[20];
    EXPECT_TRUE(lines[20].ends_with(",0)")) << lines[20];
    EXPECT_TRUE(lines[21].starts_with("(0.0256996,")) << lines[21];
    EXPECT_LT(std::fabs(reference[1].im), 1e-16);
    for (int m = 1; m < 17; ++m) {
        EXPECT_LT(reference[m].re, reference[m - 1].re) << "m = " << m;
    }
    EXPECT_TRUE(lines[36].starts_with("(0.000403444,")) << lines[36];
}

TEST(Program, LostStandardOutputIsReportedAndFails) {
    PlotRun plot(recording_plotter);
    plot.run.stdout_target = "/dev/full";
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, exit_output_lost);
    EXPECT_EQ(result.err, std::string(stdout_failure_message) + "\n");
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
    ASSERT_GT(lines.size(), 38u + 10u) << result.out;
    EXPECT_EQ(lines.front(), report_heading);
    report_values(lines, 0);
    report_values(lines, lines.size() - 19);  // the reference report comes last
    std::string drawing;
    for (std::size_t i = 19; i < lines.size() - 19; ++i) {
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
    EXPECT_EQ(split_lines(result.out).size(), 38u);
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
    EXPECT_EQ(split_lines(result.out).size(), 38u);
}

TEST(Program, NoPipeEndsTheRunAfterTheFirstReportWithTheMapOnDisk) {
    PlotRun plot(recording_plotter);
    plot.run.open_file_limit = 4;  // standard streams and the map file: no room for a pipe
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, 255);
    const auto lines = split_lines(result.out);
    ASSERT_EQ(lines.size(), 19u) << result.out;
    report_values(lines, 0);
    EXPECT_EQ(plot.map_lines().size(), 72u);
}

TEST(Program, MapFileThatCannotBeCreatedIsReportedAndFails) {
    PlotRun plot(recording_plotter);
    std::filesystem::create_directory(plot.dir.path() / std::string(map_file_name));
    const auto result = run_program(plot.run);
    EXPECT_EQ(result.exit_status, exit_output_lost);
    EXPECT_EQ(result.err, "lattice_bubble: error: cannot create chiw.dat: Is a directory; the map is lost\n");
    EXPECT_EQ(split_lines(result.out).size(), 38u);
    EXPECT_EQ(testing::read_file(plot.dir.path() / "received.txt"), plot_command);
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
    EXPECT_EQ(first.size(), 72u);
}

}  // namespace
}  // namespace lattice_bubble
