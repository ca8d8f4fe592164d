#include "default_run/work_arrays.h"
#include "common/program.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace lattice_bubble {
namespace {

TEST(WorkArrays, MatrixRowsPointIntoOneRowMajorBlock) {
    double** m = allocate_double_matrix(8, 16);
    for (int i = 1; i < 8; ++i) {
        EXPECT_EQ(m[i], m[i - 1] + 16);
    }
    for (int e = 0; e < 128; ++e) {
        m[0][e] = 0.0;
    }
    m[2][5] = 1.5;
    EXPECT_EQ(m[0][37], 1.5);
    free_double_matrix(m);

    int** k = allocate_int_matrix(3, 5);
    k[2][4] = 7;
    EXPECT_EQ(k[0][14], 7);
    EXPECT_EQ(k[1], k[0] + 5);
    free_int_matrix(k);
}

TEST(WorkArrays, TensorPlanesAndRowsPointIntoOneBlock) {
    double*** t = allocate_double_tensor3(2, 3, 4);
    EXPECT_EQ(t[1], t[0] + 3);
    for (int r = 1; r < 6; ++r) {
        EXPECT_EQ(t[0][r], t[0][r - 1] + 4);
    }
    for (int e = 0; e < 24; ++e) {
        t[0][0][e] = e;
    }
    EXPECT_EQ(t[1][2][3], 23.0);
    EXPECT_EQ(&t[1][2][3], t[0][0] + 23);
    free_double_tensor3(t);

    int*** u = allocate_int_tensor3(3, 2, 2);
    u[2][1][1] = 9;
    EXPECT_EQ(u[0][0][11], 9);
    free_int_tensor3(u);
}

TEST(WorkArrays, VectorsHoldTheirCount) {
    int* v = allocate_int_vector(10);
    double* w = allocate_double_vector(20);
    for (int i = 0; i < 10; ++i) {
        v[i] = i;
    }
    for (int i = 0; i < 20; ++i) {
        w[i] = i;
    }
    EXPECT_EQ(v[9] + w[19], 28.0);
    free_double_vector(w);
    free_int_vector(v);
}

// Standard error must hold the message alone. Under AddressSanitizer a refused
// allocation is first announced by the sanitizer itself, on a line of its own.
#if defined(__SANITIZE_ADDRESS__)
const std::string sanitizer_note =
    "(==[0-9]+==WARNING: AddressSanitizer failed to allocate 0x[0-9a-f]+ bytes\n)?";
#else
const std::string sanitizer_note;
#endif
const std::string failure_message = "^" + sanitizer_note + std::string(allocation_failure_message) + "$";

TEST(WorkArraysDeathTest, RefusedAllocationEndsTheProcess) {
    // 2^40 row pointers, about 8 TiB: refused, but its byte size fits in size_t.
    EXPECT_EXIT(
        {
            allocate_double_tensor3(1 << 20, 1 << 20, 1 << 10);
            std::fputs("returned\n", stdout);
        },
        ::testing::ExitedWithCode(exit_out_of_memory), failure_message);
}

TEST(WorkArraysDeathTest, SizeThatOverflowsEndsTheProcessInsteadOfWrapping) {
    // (2^31 − 1)² · 8 bytes does not fit in 64 bits; 32-bit arithmetic would
    // have wrapped to a small block.
    EXPECT_EXIT(allocate_double_matrix(INT_MAX, INT_MAX),
                ::testing::ExitedWithCode(exit_out_of_memory), failure_message);
    EXPECT_EXIT(allocate_int_tensor3(INT_MAX, INT_MAX, INT_MAX), ::testing::ExitedWithCode(1),
                failure_message);
    EXPECT_EXIT(allocate_int_vector(-1), ::testing::ExitedWithCode(1), failure_message);
}

TEST(WorkArraysDeathTest, NothingIsWrittenToStandardOutput) {
    // Run the failing allocation in a child whose standard output is a pipe we read.
    ::testing::internal::CaptureStdout();
    EXPECT_EXIT(allocate_double_matrix(INT_MAX, INT_MAX), ::testing::ExitedWithCode(1), "");
    std::string out = ::testing::internal::GetCapturedStdout();
    // On Windows the child is a new process that starts in main, whose banner comes first.
    if (out.starts_with("Running main() from ")) {
        out.erase(0, out.find('\n') + 1);
    }
    EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace lattice_bubble
