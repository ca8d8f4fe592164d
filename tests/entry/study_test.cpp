// Studies as a user runs them: every accepted option lands where it should,
// with the values the independent oracle gives for it, and every way of
// splitting the work over threads writes the bytes of one thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "routes/route_table.h"
#include "support/exact_bubble.h"
#include "support/run_program.h"

namespace lattice_bubble {
namespace {

using testing::LongComplex;

struct Table {
    std::string names;                           // the first line
    std::vector<std::string> comments;           // the other '#' lines
    std::vector<std::vector<std::string>> rows;  // the fields of every other non-empty line
};

Table parse_table(const std::string& text) {
    Table table;
    for (const std::string& line : testing::split_lines(text)) {
        if (table.names.empty()) {
            table.names = line;
        } else if (line.starts_with("#")) {
            table.comments.push_back(line);
        } else if (!line.empty()) {
            std::istringstream fields(line);
            table.rows.emplace_back();
            for (std::string field; fields >> field;) {
                table.rows.back().push_back(field);
            }
        }
    }
    return table;
}

testing::ProgramResult run_study(const testing::TempDir& dir, std::vector<std::string> args) {
    testing::ProgramRun run(dir.path());
    run.args = std::move(args);
    return testing::run_program(run);
}

struct OptionCase {
    std::string name;
    std::vector<std::string> args;
    StudyModel model;                    // what the table must be of
    std::string comment;                 // a '#' line the table must hold
    std::vector<std::pair<int, int>> q;  // its wave vectors, in order (empty: every one)
    std::vector<std::string> routes = {"fourier", "tail", "direct"};
};

void PrintTo(const OptionCase& option, std::ostream* out) { *out << option.name; }

class StudyOptions : public ::testing::TestWithParam<OptionCase> {};

// The '#' line of the option, the columns, the rows in the order asked, and
// every value as the oracle has it: the direct column within 1e-12 of the
// largest |χ| at each m (tests/routes holds it to 1e-15 where the band's own
// rounding allows), the Fourier column within 1e-12 of the same sums in long
// double, the tail column within 1e-3 of the largest |χ| (its accuracy is
// tested in tests/routes; an option that lands elsewhere moves χ by far more).
TEST_P(StudyOptions, TakeEffectAsTheOracleSays) {
    const OptionCase& option = GetParam();
    const StudyModel& model = option.model;
    const testing::TempDir dir;
    const auto result = run_study(dir, option.args);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    const Table table = parse_table(result.out);

    std::string names = "# ix iy m nu";
    for (const auto& route : option.routes) {
        names += " re_" + route + " im_" + route;
    }
    EXPECT_EQ(table.names, names);
    EXPECT_NE(std::find_if(table.comments.begin(), table.comments.end(),
                           [&](const std::string& line) { return line.starts_with(option.comment); }),
              table.comments.end())
        << "no line '" << option.comment << "…'";

    std::vector<std::pair<int, int>> q = option.q;
    if (q.empty()) {
        for (int k = 0; k < model.sites(); ++k) {
            q.emplace_back(k / model.lattice_y, k % model.lattice_y);
        }
    }
    const auto bosons = static_cast<std::size_t>(model.bosons());
    ASSERT_EQ(table.rows.size(), q.size() * bosons);

    std::vector<std::vector<LongComplex>> exact;
    for (const auto& [qx, qy] : q) {
        exact.push_back(testing::exact_bubble(model, qx, qy));
    }
    const bool fourier = std::find(option.routes.begin(), option.routes.end(), "fourier") != option.routes.end();
    const std::vector<LongComplex> naive = fourier ? testing::naive_fourier_route(model) : std::vector<LongComplex>{};
    std::vector<std::vector<LongComplex>> naive_at_q;
    for (const auto& [qx, qy] : q) {
        const auto first = static_cast<std::size_t>(qx * model.lattice_y + qy) * bosons;
        naive_at_q.emplace_back(fourier ? std::vector<LongComplex>(naive.begin() + static_cast<long>(first),
                                                                   naive.begin() + static_cast<long>(first + bosons))
                                        : std::vector<LongComplex>(bosons));
    }
    const std::vector<long double> largest = testing::largest_at_each_m(exact);
    const std::vector<long double> largest_naive = testing::largest_at_each_m(naive_at_q);
    const long double largest_of_all = *std::max_element(largest.begin(), largest.end());

    for (std::size_t i = 0; i < q.size(); ++i) {
        for (std::size_t m = 0; m < bosons; ++m) {
            const auto& row = table.rows[i * bosons + m];
            ASSERT_EQ(row.size(), 4 + 2 * option.routes.size());
            const std::string where = "q = (" + row[0] + ", " + row[1] + "), m = " + row[2];
            EXPECT_EQ(
                row[0] + "," + row[1] + "," + row[2],
                std::to_string(q[i].first) + "," + std::to_string(q[i].second) + "," + std::to_string(m));
            const long double nu =
                2.0L * std::numbers::pi_v<long double> * static_cast<long double>(m) / model.beta;
            EXPECT_NEAR(std::stold(row[3]), nu, 1e-15L * nu) << where;
            for (std::size_t r = 0; r < option.routes.size(); ++r) {
                const LongComplex value(std::stod(row[4 + 2 * r]), std::stod(row[5 + 2 * r]));
                const std::string& route = option.routes[r];
                const auto error = std::abs(value - (route == "fourier" ? naive_at_q[i][m] : exact[i][m]));
                const long double bound = route == "direct" ? 1e-12L * largest[m]
                                          : route == "tail" ? 1e-3L * largest_of_all
                                                            : 1e-12L * largest_naive[m];
                EXPECT_LE(error, bound) << route << " at " << where;
            }
        }
    }
}


using Change = void (*)(StudyModel&);
OptionCase option_case(std::string name, std::vector<std::string> args, Change change, std::string comment,
                       std::vector<std::pair<int, int>> q, std::vector<std::string> routes = {"fourier", "tail", "direct"}) {
    StudyModel model;
    change(model);
    return {std::move(name), std::move(args), model, std::move(comment), std::move(q), std::move(routes)};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(EveryOption, StudyOptions, ::testing::Values(
    option_case("Defaults", {"--q", "4,4"}, [](StudyModel&) {}, "# lattice = 8 ", {{4, 4}}),
    option_case("Lattice", {"--lattice", "16"}, [](StudyModel& m) { m.lattice_x = m.lattice_y = 16; }, "# lattice = 16 ", {{8, 8}}),
    option_case("LatticeWithEqualsEveryQ", {"--lattice=4", "--q", "all"}, [](StudyModel& m) { m.lattice_x = m.lattice_y = 4; },
                "# lattice = 4 ", {}),
    option_case("Beta", {"--beta", "2.5"}, [](StudyModel& m) { m.beta = 2.5; }, "# beta = 2.5", {{4, 4}}),
    option_case("LastOfARepeatedOption", {"--beta", "3", "--q", "1,2", "--beta", "0.5"}, [](StudyModel& m) { m.beta = 0.5; },
                "# beta = 0.5", {{1, 2}}),
    // The band's options differ in what they move: any two swapped give other values.
    option_case("Mu", {"--mu", "0.7"}, [](StudyModel& m) { m.band.mu = 0.7; }, "# mu = 0.7", {{4, 4}}),
    option_case("NegativeHopping", {"--hopping", "-1.5", "--q", "3,2"},
                [](StudyModel& m) { m.band.hopping_x = m.band.hopping_y = -1.5; }, "# hopping = -1.5", {{3, 2}}),
    option_case("NegativeOffsetWithEquals", {"--offset=-0.3", "--q", "3,2"}, [](StudyModel& m) { m.band.offset = -0.3; },
                "# offset = -0.3", {{3, 2}}),
    option_case("Frequencies", {"--frequencies", "8", "--q", "2,5"}, [](StudyModel& m) { m.frequencies = 8; },
                "# fermionic_frequencies = 8", {{2, 5}}),
    option_case("WaveVectorsInTheirOrderEachOnce", {"--q", "3,1", "--q", "0,2", "--q", "3,1"}, [](StudyModel&) {},
                "# lattice = 8 ", {{3, 1}, {0, 2}}),
    option_case("RoutesInTheTablesOrder", {"--routes", "direct,fourier"}, [](StudyModel&) {}, "# routes = fourier,direct",
                {{4, 4}}, {"fourier", "direct"}),
    option_case("OneRoute", {"--routes=tail", "--q", "0,0"}, [](StudyModel&) {}, "# routes = tail", {{0, 0}}, {"tail"}),
    // Any lattice, band and number of frequencies, by every route.
    option_case("LatticeOfAnySize", {"--lattice", "12"}, [](StudyModel& m) { m.lattice_x = m.lattice_y = 12; },
                "# lattice = 12 ", {{6, 6}}),
    option_case("OneFrequency", {"--frequencies", "1", "--q", "1,2", "--routes", "fourier,direct"},
                [](StudyModel& m) { m.frequencies = 1; }, "# fermionic_frequencies = 1", {{1, 2}}, {"fourier", "direct"}),
    option_case("FrequenciesOfAnyNumber", {"--frequencies=48", "--q", "3,3"}, [](StudyModel& m) { m.frequencies = 48; },
                "# fermionic_frequencies = 48", {{3, 3}}),
    option_case("RectangularLatticeEveryQ", {"--lattice", "4,8", "--q", "all"},
                [](StudyModel& m) { m.lattice_x = 4, m.lattice_y = 8; }, "# lattice = 4,8 (LX,LY", {}),
    option_case("HoppingAlongEachAxis", {"--hopping", "1,-0.5", "--lattice", "6,10", "--q", "5,9"},
                [](StudyModel& m) { m.lattice_x = 6, m.lattice_y = 10, m.band.hopping_x = 1, m.band.hopping_y = -0.5; },
                "# hopping = 1,-0.5 (TX,TY)", {{5, 9}}),
    option_case("NextNearestNeighbours", {"--hopping2", "0.3", "--q", "1,4"}, [](StudyModel& m) { m.band.hopping2 = 0.3; },
                "# hopping2 = 0.3", {{1, 4}}),
    option_case("ThirdNeighbours", {"--hopping3=-0.2", "--q", "2,2"}, [](StudyModel& m) { m.band.hopping3 = -0.2; },
                "# hopping3 = -0.2", {{2, 2}})),
    [](const ::testing::TestParamInfo<OptionCase>& param_info) { return param_info.param.name; });
// clang-format on

// Every route of the table is a value of --routes and a pair of columns.
std::vector<OptionCase> one_case_per_route() {
    std::vector<OptionCase> cases;
    for (const Route& route : routes()) {
        const std::string name(route.name);
        cases.push_back(
            {name, {"--routes", name, "--q", "1,3"}, StudyModel{}, "# routes = " + name, {{1, 3}}, {name}});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryRoute, StudyOptions, ::testing::ValuesIn(one_case_per_route()),
                         [](const ::testing::TestParamInfo<OptionCase>& param_info) {
                             return param_info.param.name;
                         });

struct SplitCase {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::string> threads;  // each run against one thread's table; "env:K" through OMP_NUM_THREADS
};

void PrintTo(const SplitCase& split, std::ostream* out) { *out << split.name; }

class StudyThreads : public ::testing::TestWithParam<SplitCase> {};

// Every value is computed by one thread in one order: the table is the same
// bytes on one thread as on several, every route in it.
TEST_P(StudyThreads, WriteTheBytesOfOneThread) {
    const testing::TempDir dir;
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"--threads", "1"});
    const auto one = run_study(dir, args);
    ASSERT_EQ(one.exit_status, 0) << one.err;
    for (const std::string& threads : GetParam().threads) {
        testing::ProgramRun run(dir.path());
        run.args = GetParam().args;
        if (threads.starts_with("env:")) {
            run.env["OMP_NUM_THREADS"] = threads.substr(4);
        } else {
            run.args.insert(run.args.end(), {"--threads", threads});
        }
        const auto several = testing::run_program(run);
        ASSERT_EQ(several.exit_status, 0) << several.err;
        EXPECT_EQ(several.out, one.out) << threads << " threads";
    }
}

INSTANTIATE_TEST_SUITE_P(
    EverySplit, StudyThreads,
    ::testing::Values(
        // One wave vector: the direct route splits its frequencies.
        SplitCase{
            "OneWaveVectorMoreThreadsThanWaveVectors", {"--q", "2,6", "--frequencies", "32"}, {"2", "3"}},
        SplitCase{"FewerFrequenciesThanThreads", {"--frequencies", "2", "--q", "1,1", "--q", "3,0"}, {"5"}},
        SplitCase{
            "MoreThreadsThanBlocksOfSlots", {"--lattice", "4", "--frequencies", "2", "--q", "all"}, {"7"}},
        SplitCase{"EveryWaveVectorUnevenly",
                  {"--lattice", "16", "--frequencies", "64", "--beta", "2", "--q", "all"},
                  {"2", "env:3"}}),
    [](const ::testing::TestParamInfo<SplitCase>& param_info) { return param_info.param.name; });

// OMP_NUM_THREADS as OpenMP programs read it: the first entry of a list, blanks
// around it ignored; an empty or malformed value is ignored with one warning.
TEST(StudyThreadsFromTheEnvironment, TakeTheFirstEntryOfAListElseWarnAndRun) {
    const testing::TempDir dir;
    const auto one = run_study(dir, {"--q", "1,2", "--threads", "1"});
    const std::string warning =
        "lattice_bubble: warning: OMP_NUM_THREADS='[^']*' is not a thread count \\(an integer "
        "from 1 to 1024, or a list that begins with one\\); using the [0-9]+ processors? "
        "this process may use\n";
    for (const auto& [value, warned] :
         {std::pair{"4,2", false}, std::pair{" 3 ", false}, std::pair{"", true}, std::pair{"two", true},
          std::pair{"0", true}, std::pair{",4", true}}) {
        testing::ProgramRun run(dir.path());
        run.args = {"--q", "1,2"};
        run.env["OMP_NUM_THREADS"] = value;
        const auto result = testing::run_program(run);
        EXPECT_EQ(result.exit_status, 0) << value;
        EXPECT_EQ(result.out, one.out) << value;
        EXPECT_TRUE(std::regex_match(result.err, std::regex(warned ? warning : "")))
            << value << ": " << result.err;
    }
}

}  // namespace
}  // namespace lattice_bubble
