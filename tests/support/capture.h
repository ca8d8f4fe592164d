#pragma once
// What an action writes on standard output, for the "flag error" lines.

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace lattice_bubble::testing {

inline std::string captured_stdout_of(const std::function<void()>& action) {
    ::testing::internal::CaptureStdout();
    action();
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace lattice_bubble::testing
