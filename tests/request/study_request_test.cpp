#include "request/study_request.h"

#include <gtest/gtest.h>

namespace lattice_bubble {
namespace {

CheckedRequest check(const StudyRequest& request) { return check_request(request, Environment{nullptr, 2}); }

// Every problem comes back, in the order of the fields, with the value the
// check read and, for a list, the entry at fault.
TEST(StudyRequest, ReturnsEveryProblemAsData) {
    StudyRequest request;
    request.lattice = {{4, 0}};
    request.beta = std::numeric_limits<double>::quiet_NaN();
    request.routes = {"tail", "heat"};
    request.q = {{WaveVectorEntry::Kind::point, 1, 1}, {WaveVectorEntry::Kind::point, 9, 1}};
    const CheckedRequest checked = check(request);
    ASSERT_FALSE(checked.study);
    ASSERT_EQ(checked.problems.size(), 4u);
    EXPECT_EQ(checked.problems[0].field, "lattice");
    EXPECT_EQ(checked.problems[0].given, "4,0");
    EXPECT_EQ(checked.problems[0].reason, "out of range");
    EXPECT_EQ(checked.problems[1].reason, "infinity and NaN are not accepted");
    EXPECT_EQ(checked.problems[2].reason, "unknown route 'heat'");
    EXPECT_EQ(checked.problems[2].given, "tail,heat");
    EXPECT_EQ(checked.problems[3].field, "q");
    EXPECT_EQ(checked.problems[3].item, 1);
    EXPECT_EQ(checked.problems[3].given, "9,1");
}

// Each front end names the fields in its own idiom.
TEST(StudyRequest, RefusalsNameTheFieldsAsTheFrontEndSaysThem) {
    StudyRequest request;
    request.broadening = 0.1;
    const CheckedRequest checked = check(request);
    ASSERT_EQ(checked.problems.size(), 1u);
    const auto keyword = [](std::string_view field) {
        return field == "real-axis" ? "omega" : std::string(field);
    };
    EXPECT_EQ(
        refusal_text(checked.problems[0], keyword, ""),
        "option broadening needs omega OMIN,OMAX,COUNT: eta broadens the real frequencies omega_j + i eta; "
        "nothing was computed");
    request = {};
    request.lattice = {{4096, 4096}};
    request.frequencies = 65536;
    const Problem memory = check(request).problems.at(0);
    EXPECT_TRUE(memory.memory);
    EXPECT_EQ(with_field_names(memory.accepted, keyword),
              "a smaller lattice or frequencies needs less; routes direct alone fits");
}

// Without routes the axis chooses them; a Matsubara-only route on the real axis is refused.
TEST(StudyRequest, RoutesFollowTheAxis) {
    StudyRequest request;
    std::vector<std::string_view> names;
    const CheckedRequest checked = check(request);
    for (const Route* route : checked.study->routes) {
        names.push_back(route->name);
    }
    EXPECT_EQ(names, (std::vector<std::string_view>{"fourier", "tail", "direct"}));
    request.real_axis = RealAxisRequest{-1.0, 1.0, 5};
    request.broadening = 0.1;
    const Study study = *check(request).study;
    ASSERT_EQ(study.routes.size(), 1u);
    EXPECT_TRUE(study.routes[0]->real_axis);
    EXPECT_EQ(study.model.real_axis->broadening, 0.1);
    request.routes = {"tail"};
    EXPECT_EQ(check(request).problems.at(0).field, "routes");
}

}  // namespace
}  // namespace lattice_bubble
