// Studies as a user runs them: every accepted option lands where it should,
// with the values the independent oracle gives for it, and every way of
// splitting the work over threads writes the bytes of one thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
// With a coupling U, the enhanced columns within those bounds over
// |1 ∓ U·χ0|², the error's growth through χ0/(1 ∓ U·χ0), and U_c as one over
// the oracle's largest χ0(q, 0).
TEST_P(StudyOptions, TakeEffectAsTheOracleSays) {
    const OptionCase& option = GetParam();
    const StudyModel& model = option.model;
    const testing::TempDir dir;
    const auto result = run_study(dir, option.args);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    const Table table = parse_table(result.out);

    std::string names = model.real_axis ? "# ix iy j omega" : "# ix iy m nu";
    for (const auto& route : option.routes) {
        names += " re_" + route + " im_" + route;
        if (model.coupling) {
            names += " re_" + route + "_spin im_" + route + "_spin re_" + route + "_charge im_" + route +
                     "_charge";
        }
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
    const auto bosons = static_cast<std::size_t>(model.values());
    ASSERT_EQ(table.rows.size(), q.size() * bosons);
    const std::size_t columns = model.coupling ? 6 : 2;

    std::vector<std::vector<LongComplex>> exact;
    for (const auto& [qx, qy] : q) {
        exact.push_back(testing::exact_bubble(model, qx, qy));
    }
    const bool fourier =
        std::find(option.routes.begin(), option.routes.end(), "fourier") != option.routes.end();
    const std::vector<LongComplex> naive =
        fourier ? testing::naive_fourier_route(model) : std::vector<LongComplex>{};
    std::vector<std::vector<LongComplex>> naive_at_q;
    for (const auto& [qx, qy] : q) {
        const auto first = static_cast<std::size_t>(qx * model.lattice_y + qy) * bosons;
        naive_at_q.emplace_back(
            fourier ? std::vector<LongComplex>(naive.begin() + static_cast<long>(first),
                                               naive.begin() + static_cast<long>(first + bosons))
                    : std::vector<LongComplex>(bosons));
    }
    const std::vector<long double> largest = testing::largest_at_each_m(exact);
    const std::vector<long double> largest_naive = testing::largest_at_each_m(naive_at_q);
    const long double largest_of_all = *std::max_element(largest.begin(), largest.end());

    for (std::size_t i = 0; i < q.size(); ++i) {
        for (std::size_t m = 0; m < bosons; ++m) {
            const auto& row = table.rows[i * bosons + m];
            ASSERT_EQ(row.size(), 4 + columns * option.routes.size());
            const std::string where = "q = (" + row[0] + ", " + row[1] + "), m = " + row[2];
            EXPECT_EQ(
                row[0] + "," + row[1] + "," + row[2],
                std::to_string(q[i].first) + "," + std::to_string(q[i].second) + "," + std::to_string(m));
            const auto& axis = model.real_axis;
            const long double z =
                !axis ? 2.0L * std::numbers::pi_v<long double> * static_cast<long double>(m) / model.beta
                : axis->count == 1
                    ? axis->omega_min
                    : axis->omega_min + (static_cast<long double>(axis->omega_max) - axis->omega_min) *
                                            static_cast<long double>(m) / (axis->count - 1);
            EXPECT_NEAR(std::stold(row[3]), z, 1e-15L * std::fabs(z)) << where;
            for (std::size_t r = 0; r < option.routes.size(); ++r) {
                const std::string& route = option.routes[r];
                const LongComplex chi0 = route == "fourier" ? naive_at_q[i][m] : exact[i][m];
                const long double bound = route == "direct" ? 1e-12L * largest[m]
                                          : route == "tail" ? 1e-3L * largest_of_all
                                          : route == "dlr"
                                              ? 10.0L * std::max(model.tolerance, 1e-13) * largest_of_all
                                              : 1e-12L * largest_naive[m];
                for (std::size_t c = 0; c < columns; c += 2) {
                    const long double u = c == 0 ? 0.0L : c == 2 ? *model.coupling : -*model.coupling;
                    const LongComplex value(std::stod(row[4 + columns * r + c]),
                                            std::stod(row[5 + columns * r + c]));
                    const LongComplex denominator = 1.0L - u * chi0;
                    EXPECT_LE(std::abs(value - chi0 / denominator), bound / std::norm(denominator))
                        << route << " column " << c << " at " << where;
                }
            }
        }
    }
    for (std::size_t r = 0; r < option.routes.size() && model.coupling; ++r) {
        const std::string& route = option.routes[r];
        long double largest_static = 0.0L;
        for (std::size_t i = 0; i < q.size(); ++i) {
            largest_static = std::max(
                largest_static, route == "fourier" ? naive_at_q[i][0].real()
                                : model.real_axis  ? testing::exact_static(model, q[i].first, q[i].second)
                                                   : exact[i][0].real());
        }
        const std::string line = "# U_c_" + route + " = ";
        const auto found =
            std::find_if(table.comments.begin(), table.comments.end(),
                         [&](const std::string& comment) { return comment.starts_with(line); });
        ASSERT_NE(found, table.comments.end()) << "no line '" << line << "…'";
        const long double u_c = std::stold(found->substr(line.size()));
        EXPECT_NEAR(u_c * largest_static, 1.0L,
                    route == "tail"  ? 1e-3L
                    : route == "dlr" ? 1e-8L
                                     : 1e-12L)
            << *found;
    }
}

using Change = void (*)(StudyModel&);
// A case without --routes runs the three routes of the mesh, unless it names
// the routes it expects of the default.
OptionCase option_case(std::string name, std::vector<std::string> args, Change change, std::string comment,
                       std::vector<std::pair<int, int>> q, std::vector<std::string> routes = {}) {
    StudyModel model;
    change(model);
    if (routes.empty()) {
        routes = {"fourier", "tail", "direct"};
        if (std::find(args.begin(), args.end(), "--routes") == args.end()) {
            args.insert(args.end(), {"--routes", "fourier,tail,direct"});
        }
    }
    return {std::move(name), std::move(args), model, std::move(comment), std::move(q), std::move(routes)};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(EveryOption, StudyOptions, ::testing::Values(
    option_case("Defaults", {"--q", "4,4"}, [](StudyModel&) {}, "# routes = dlr", {{4, 4}}, {"dlr"}),
    option_case("DefaultOnTheRealAxis", {"--real-axis", "-1,1,5", "--broadening", "0.5"},
                [](StudyModel& m) { m.real_axis = RealAxis{-1, 1, 5, 0.5}; }, "# routes = direct", {{4, 4}}, {"direct"}),
    option_case("Bosons", {"--bosons", "40", "--q", "1,2", "--beta", "3"}, [](StudyModel& m) { m.beta = 3, m.boson_count = 40; },
                "# bosonic_frequencies = 40 ", {{1, 2}}, {"dlr"}),
    option_case("BosonsOfTheMesh", {"--bosons", "5", "--frequencies", "8", "--routes", "fourier,tail"},
                [](StudyModel& m) { m.frequencies = 8, m.boson_count = 5; }, "# bosonic_frequencies = 5 ", {{4, 4}},
                {"fourier", "tail"}),
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
                "# hopping3 = -0.2", {{2, 2}}),
    // Interactions, the real axis and the path (on 16 x 4: the diagonal's ties go down, y = 1 at x = 6).
    option_case("Coupling", {"--coupling", "2", "--lattice", "4", "--q", "all"},
                [](StudyModel& m) { m.lattice_x = m.lattice_y = 4, m.coupling = 2.0; }, "# coupling = 2 ", {}),
    option_case("NegativeCoupling", {"--coupling=-0.5", "--q", "3,1", "--q", "0,0"}, [](StudyModel& m) { m.coupling = -0.5; },
                "# coupling = -0.5 ", {{3, 1}, {0, 0}}),
    option_case("PathAfterAWaveVector", {"--lattice", "16,4", "--q", "1,1", "--q", "path"},
                [](StudyModel& m) { m.lattice_x = 16, m.lattice_y = 4; }, "# lattice = 16,4",
                {{1, 1}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {8, 1}, {8, 2},
                 {7, 2}, {6, 1}, {5, 1}, {4, 1}, {3, 1}}),
    option_case("RealAxisAlongThePath", {"--real-axis", "-3,3,13", "--broadening", "0.25", "--lattice", "6,10",
                                         "--hopping2", "-0.3", "--beta", "4", "--coupling", "1.5", "--q", "path"},
                [](StudyModel& m) { m.lattice_x = 6, m.lattice_y = 10, m.band.hopping2 = -0.3, m.beta = 4,
                                    m.coupling = 1.5, m.real_axis = RealAxis{-3, 3, 13, 0.25}; },
                "# real_axis = -3,3,13 ",
                {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {2, 3}, {1, 2}}, {"direct"}),
    option_case("LowTemperatureByTheDlrRoute", {"--routes", "dlr,direct", "--beta", "200", "--tolerance", "1e-12",
                                                "--lattice", "16", "--q", "8,8", "--q", "3,1", "--coupling", "0.5"},
                [](StudyModel& m) { m.beta = 200, m.tolerance = 1e-12, m.lattice_x = m.lattice_y = 16, m.coupling = 0.5; },
                "# dlr_tolerance = 1e-12 ", {{8, 8}, {3, 1}}, {"direct", "dlr"}),
    option_case("RealAxisOneFrequency", {"--broadening=1e-3", "--real-axis=0.5,2,1", "--routes", "direct", "--q", "2,1"},
                [](StudyModel& m) { m.real_axis = RealAxis{0.5, 2, 1, 1e-3}; }, "# broadening = 0.001 ", {{2, 1}},
                {"direct"})),
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
                  {"2", "env:3"}},
        // The real axis and its static sums, by wave vectors and by ranges of frequencies.
        SplitCase{"RealAxisAlongThePath",
                  {"--real-axis", "-2,2,9", "--broadening", "0.1", "--coupling", "1", "--q", "path"},
                  {"3"}},
        SplitCase{"DlrRouteEveryWaveVector",
                  {"--routes", "dlr,direct", "--lattice", "12,16", "--beta", "50", "--q", "all"},
                  {"2", "3"}},
        SplitCase{"RealAxisOneWaveVector",
                  {"--real-axis", "-2,2,29", "--broadening", "0.1", "--coupling", "1", "--q", "1,2",
                   "--lattice", "12,11"},
                  {"2", "4"}}),
    [](const ::testing::TestParamInfo<SplitCase>& param_info) { return param_info.param.name; });

// Past an instability, U·χ0(q, 0) ≥ 1 (spin) or ≤ −1 (charge), at some of
// the table's q: one line per channel on standard error saying at how many,
// the table still whole and the status 0; short of it, nothing.
TEST(StudyInstabilities, OneWarningPerChannelPastItAndTheWholeTable) {
    const testing::TempDir dir;
    StudyModel model;
    model.lattice_x = model.lattice_y = 6;
    std::vector<long double> chi0;
    for (int q = 0; q < model.sites(); ++q) {
        chi0.push_back(testing::exact_static(model, q / 6, q % 6));
    }
    const long double largest = *std::max_element(chi0.begin(), chi0.end());
    for (const auto& [factor, channel] : {std::pair{0.99L, ""}, std::pair{1.01L, "spin"},
                                          std::pair{-1.01L, "charge"}, std::pair{1.3L, "spin"}}) {
        char u[32];
        std::snprintf(u, sizeof u, "%.17g", static_cast<double>(factor / largest));
        const auto result = run_study(dir, {"--lattice", "6", "--q", "all", "--frequencies", "1", "--routes",
                                            "direct", "--coupling", u});
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(parse_table(result.out).rows.size(), 72u);
        const auto past = std::count_if(chi0.begin(), chi0.end(), [&](long double value) {
            return std::fabs(std::strtod(u, nullptr) * value) >= 1.0L;
        });
        const std::string expected = *channel == '\0'
                                         ? ""
                                         : "lattice_bubble: warning: U\\*chi0\\(q, 0\\) [<>]= -?1 at " +
                                               std::to_string(past) +
                                               " of the table's 36 wave vectors \\(first at ix,iy = "
                                               "[0-9],[0-9], U\\*chi0 = [-0-9.e]+ by the "
                                               "direct route\\): the " +
                                               channel +
                                               " channel is past its instability there \\(.*\\), and its "
                                               "columns there are not a susceptibility\n";
        EXPECT_TRUE(std::regex_match(result.err, std::regex(expected))) << u << ": " << result.err;
    }
}

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
