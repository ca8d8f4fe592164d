// The descriptors the plotting program must not inherit, marked by each of
// the three ways the pipe may use.

#include "platform/plot_pipe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace lattice_bubble {
namespace {

bool close_on_exec(int fd) { return (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0; }

class CloseOnExec : public ::testing::TestWithParam<CloseOnExecWay> {};

// One descriptor among the low numbers and one just below the limit. Where
// the process may, the limit is raised above 65536, where a loop with a cap
// of its own once stopped and left the high ones open to the plotting program.
TEST_P(CloseOnExec, MarksTheLowestAndTheHighestButNotTheStandardStreams) {
    constexpr rlim_t above_the_old_cap = 70000;
    rlimit files{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
    rlimit raised{above_the_old_cap, files.rlim_max < above_the_old_cap ? above_the_old_cap : files.rlim_max};
    if (setrlimit(RLIMIT_NOFILE, &raised) != 0) {
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &raised), 0);  // not allowed to: the limit as it is
    }
    const int top = static_cast<int>(raised.rlim_cur) - 1;

    const int low = open("/dev/null", O_RDONLY);
    ASSERT_GE(low, 3);
    ASSERT_LE(low, 10);
    ASSERT_EQ(dup2(low, top), top);
    ASSERT_FALSE(close_on_exec(low));
    ASSERT_FALSE(close_on_exec(top));

    ASSERT_TRUE(mark_descriptors_close_on_exec(GetParam()));
    EXPECT_TRUE(close_on_exec(low));
    EXPECT_TRUE(close_on_exec(top));
    for (int fd = 0; fd < 3; ++fd) {
        EXPECT_FALSE(close_on_exec(fd)) << "standard descriptor " << fd;
    }
    close(top);
    close(low);
}

INSTANTIATE_TEST_SUITE_P(EveryWay, CloseOnExec,
                         ::testing::Values(CloseOnExecWay::close_range_call,
                                           CloseOnExecWay::descriptor_listing, CloseOnExecWay::every_number),
                         [](const ::testing::TestParamInfo<CloseOnExecWay>& way) {
                             switch (way.param) {
                                 case CloseOnExecWay::close_range_call:
                                     return "CloseRange";
                                 case CloseOnExecWay::descriptor_listing:
                                     return "DescriptorListing";
                                 case CloseOnExecWay::every_number:
                                     return "EveryNumber";
                             }
                             return "Unknown";
                         });

}  // namespace
}  // namespace lattice_bubble
