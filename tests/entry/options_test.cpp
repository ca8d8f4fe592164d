#include "entry/options.h"

#include <gtest/gtest.h>

#include "support/golden.h"

namespace lattice_bubble {
namespace {

Command read(const std::vector<std::string>& args, const char* omp_num_threads = nullptr) {
    std::vector<const char*> argv{"lattice_bubble"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    return read_command_line(static_cast<int>(argv.size()), argv.data(), Environment{omp_num_threads, 3});
}

class StudyRefusalsInProcess : public ::testing::TestWithParam<testing::StudyRefusal> {};

// Every bad line of the table: refused with one line that names what is wrong.
TEST_P(StudyRefusalsInProcess, OneLineNamingWhatIsWrong) {
    const Command command = read(GetParam().args);
    ASSERT_EQ(command.kind, CommandKind::refused);
    EXPECT_EQ(command.refusal.find('\n'), std::string::npos) << command.refusal;
    EXPECT_NE(command.refusal.find("nothing was computed"), std::string::npos) << command.refusal;
    for (const auto& fragment : GetParam().fragments) {
        EXPECT_NE(command.refusal.find(fragment), std::string::npos)
            << "'" << fragment << "' in " << command.refusal;
    }
}

INSTANTIATE_TEST_SUITE_P(FromTheTable, StudyRefusalsInProcess,
                         ::testing::ValuesIn(testing::study_refusals()));

// The forms a value is accepted in, and where it goes.
TEST(CommandLine, AcceptsEveryFormAndKeepsTheLastOfARepeatedOption) {
    const Command command = read({"--lattice=6,10",
                                  "--mu",
                                  "-0.5",
                                  "--beta",
                                  "2",
                                  "--beta=3",
                                  "--hopping",
                                  "-1",
                                  "--q",
                                  "1,2",
                                  "--q",
                                  "path",
                                  "--q",
                                  "1,2",
                                  "--routes",
                                  "tail",
                                  "--routes=dlr,direct",
                                  "--plot",
                                  "--threads",
                                  "2",
                                  "--tolerance",
                                  "1e-8"});
    ASSERT_EQ(command.kind, CommandKind::study) << command.refusal;
    const Study& study = command.study;
    EXPECT_EQ(study.model.lattice_x, 6);
    EXPECT_EQ(study.model.lattice_y, 10);
    EXPECT_EQ(study.model.band.mu, -0.5);
    EXPECT_EQ(study.model.beta, 3.0);
    EXPECT_EQ(study.model.band.hopping_y, -1.0);
    EXPECT_EQ(study.model.tolerance, 1e-8);
    ASSERT_EQ(study.routes.size(), 2u);  // in the table's order
    EXPECT_EQ(study.routes[0]->name, "direct");
    EXPECT_EQ(study.routes[1]->name, "dlr");
    EXPECT_TRUE(study.plot && study.path);
    EXPECT_EQ(study.q.front(), WaveVector(1, 2));
    EXPECT_EQ(study.q.size(), zone_path(6, 10).size());  // (1, 2) lies on the path, and counts once
    EXPECT_EQ(study.threads, 2);
}

// --help and --version wherever they stand, the first of them answered; the
// default run without arguments.
TEST(CommandLine, AnswersTheFirstRequestWhateverElseTheLineHolds) {
    EXPECT_EQ(read({}).kind, CommandKind::default_run);
    EXPECT_EQ(read({"--lattice", "0", "--version", "--help"}).kind, CommandKind::version);
    EXPECT_EQ(read({"foo", "-h", "--version"}).kind, CommandKind::help);
    EXPECT_EQ(read({"--help", "--lattice"}).kind, CommandKind::help);
    EXPECT_EQ(read({"--", "--help"}).kind, CommandKind::refused);
    EXPECT_EQ(read({"--mu", "--help"}).kind, CommandKind::refused);  // the value of --mu
}

// OMP_NUM_THREADS as OpenMP programs read it, else every usable processor with a warning.
TEST(CommandLine, ThreadsFromTheEnvironment) {
    EXPECT_EQ(read({"--beta", "2"}).study.threads, 3);
    EXPECT_EQ(read({"--beta", "2"}, " 4 ,2").study.threads, 4);
    EXPECT_EQ(read({"--beta", "2", "--threads", "1"}, "x").study.threads, 1);
    const Command command = read({"--beta", "2"}, "0");
    EXPECT_EQ(command.study.threads, 3);
    ASSERT_EQ(command.warnings.size(), 1u);
    EXPECT_EQ(command.warnings[0],
              "warning: OMP_NUM_THREADS='0' is not a thread count (an integer from 1 to 1024, or a list that "
              "begins with one); using the 3 processors this process may use");
}

}  // namespace
}  // namespace lattice_bubble
