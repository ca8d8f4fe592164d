#include "default_run/map_stage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/plot_pipe.h"
#include "support/run_program.h"

namespace lattice_bubble {
namespace {

using testing::split_lines;
using testing::TempDir;
using testing::write_executable;

TEST(MapFile, BlocksOfEightLinesWithCoordinatesAndTheSecondFrequency) {
    BosonGrid chi{};
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            chi[x][y][map_frequency] = Complex{x + 0.125 * y, 99.0};
            chi[x][y][0] = Complex{-1.0, 0.0};  // other frequencies are not mapped
        }
    }
    std::ostringstream out;
    write_map(out, chi);
    const auto lines = split_lines(out.str());
    ASSERT_EQ(lines.size(), 72u);
    EXPECT_TRUE(out.str().ends_with("\n\n"));
    for (int block = 0; block < lattice_size; ++block) {
        EXPECT_EQ(lines[9 * block + 8], "") << "block " << block;
    }
    EXPECT_EQ(lines[0], "0 0 0");
    EXPECT_EQ(lines[1], "0 0.785398 0.125");
    EXPECT_EQ(lines[9], "0.785398 0 1");
    EXPECT_EQ(lines[9 * 4 + 4], "3.14159 3.14159 4.5");
    EXPECT_EQ(lines[9 * 7 + 7], "5.49779 5.49779 7.875");
}

TEST(PlotProgram, FoundUnderItsOwnNameThenAsGnuplotElseReportedMissing) {
    const TempDir both;
    const TempDir only_gnuplot;
    const TempDir neither;
    write_executable(both.path() / "pgnuplot.exe", "#!/bin/sh\n");
    write_executable(both.path() / "gnuplot", "#!/bin/sh\n");
    write_executable(only_gnuplot.path() / "gnuplot", "#!/bin/sh\n");
    { std::ofstream not_executable(neither.path() / "gnuplot"); }
    const std::string prefix = "/nonexistent:";
    auto program = resolve_plot_program(plot_program, prefix + both.path().string());
    EXPECT_EQ(program.command, plot_program);
    EXPECT_TRUE(program.found);
    program = resolve_plot_program(plot_program, prefix + only_gnuplot.path().string());
    EXPECT_EQ(program.command, "gnuplot");
    EXPECT_TRUE(program.found);
    program = resolve_plot_program(plot_program, neither.path().string());
    EXPECT_EQ(program.command, plot_program);
    EXPECT_FALSE(program.found);
    EXPECT_FALSE(resolve_plot_program(plot_program, "").found);
}

TEST(PlotPipe, AReaderThatHasEndedDoesNotEndTheProgram) {
    std::FILE* pipe = open_plot_pipe("exec 0<&-; exit 0");
    ASSERT_NE(pipe, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the reader is gone by now
    write_plot_pipe(pipe, plot_command);
    write_plot_pipe(pipe, std::string(1 << 16, 'x'));  // more than a pipe buffer holds
    close_plot_pipe(pipe);
    SUCCEED() << "still running";
}

}  // namespace
}  // namespace lattice_bubble
