// The built program, started as a user starts it.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "driver/report.h"
#include "driver/run.h"
#include "support/run_program.h"

namespace lattice_bubble {
namespace {

using testing::ProgramRun;
using testing::run_program;
using testing::split_lines;
using testing::TempDir;

TEST(Program, ReferenceReportWithStandardInputClosed) {
    const TempDir dir;
    const auto result = run_program(ProgramRun(dir.path()));
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");

    const auto lines = split_lines(result.out);
    ASSERT_GE(lines.size(), 19u);
    // The last 19 lines are the reference report.
    const std::vector<std::string> report(lines.end() - 19, lines.end());
    EXPECT_EQ(report[0], report_heading);
    EXPECT_EQ(report[18], "");
    const std::regex value(R"(\((-?[0-9.e+-]+),(-?[0-9.e+-]+)\))");
    for (int m = 0; m < 17; ++m) {
        EXPECT_TRUE(std::regex_match(report[1 + m], value)) << report[1 + m];
    }
    EXPECT_TRUE(report[1].starts_with("(0.043")) << report[1];
    EXPECT_TRUE(report[1].ends_with(",0)")) << report[1];
    EXPECT_TRUE(report[2].starts_with("(0.0256996,")) << report[2];
    EXPECT_TRUE(report[17].starts_with("(0.000403444,")) << report[17];
}

TEST(Program, LostStandardOutputIsReportedAndFails) {
    const TempDir dir;
    ProgramRun run(dir.path());
    run.stdout_target = "/dev/full";
    const auto result = run_program(run);
    EXPECT_EQ(result.exit_status, exit_output_lost);
    EXPECT_EQ(result.err, std::string(stdout_failure_message) + "\n");
}

}  // namespace
}  // namespace lattice_bubble
