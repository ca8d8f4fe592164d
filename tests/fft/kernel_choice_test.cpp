// Every table of kernels the processor runs, chosen in turn through the
// override, against the defined bits: the golden files up to 2^14 points and
// 64 × 64, the plain transcription beyond them. Running butterflies side by
// side, in wider lanes or in fused kernels must not change a single bit.

#include "fft/kernel_choice.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <utility>

#include "fft/complex_fft.h"
#include "fft/complex_fft_2d.h"
#include "support/golden.h"
#include "support/naive_dft.h"
#include "support/plain_fft.h"

namespace lattice_bubble {

// Test names and failure messages show the lanes by name.
inline void PrintTo(FftLanes lanes, std::ostream* out) { *out << lanes_name(lanes); }

namespace {

using testing::EngineOutput;
using testing::GoldenRecords;
using testing::hex_bits;

const GoldenRecords& golden_1d() {
    static const GoldenRecords records = testing::read_golden(testing::golden_dir() / "fft_1d.golden", 4);
    return records;
}

const GoldenRecords& golden_2d() {
    static const GoldenRecords records = testing::read_golden(testing::golden_dir() / "fft_2d.golden", 3);
    return records;
}

void expect_plain(const std::string& key, const EngineOutput& got, const EngineOutput& plain);

// Compares an output with its golden record: the hash, and where the file
// keeps them, every double, so that a failure says where.
//
// The table holds the C library's cos and sin. Where its bits are not the
// golden table's, the golden output cannot apply; that is accepted on Windows
// alone, whose C library rounds the sines of a few angles of the tables from
// 1024 points on otherwise (README), and there the case is compared with the
// plain transcription, which uses the same cos and sin.
void expect_golden(const GoldenRecords& golden, const std::string& key, const EngineOutput& got,
                   const EngineOutput& plain) {
    const auto table = golden.find("table " + key);
    ASSERT_NE(table, golden.end()) << "no golden table for " << key;
    if (std::stoull(table->second.at(0), nullptr, 16) !=
        testing::hash_bits(got.twiddle.data(), got.twiddle.size())) {
#if defined(_WIN32)
        expect_plain(key, got, plain);
        return;
#else
        FAIL() << key << ": the twiddle table is not the golden one; the C library's cos or sin changed";
#endif
    }
    const auto hash = golden.find("hash " + key);
    ASSERT_NE(hash, golden.end()) << "no golden record for " << key;
    EXPECT_EQ(std::stoull(hash->second.at(0), nullptr, 16),
              testing::hash_bits(got.data.data(), got.data.size()))
        << key;
    const auto values = golden.find("values " + key);
    if (values != golden.end()) {
        ASSERT_EQ(values->second.size(), got.data.size()) << key;
        for (std::size_t i = 0; i < got.data.size(); ++i) {
            EXPECT_EQ(hex_bits(got.data[i]), values->second[i]) << key << ", double " << i;
        }
    }
    // The table and the scratch are the caller's too: they must be as written.
    EXPECT_EQ(got.index_work, plain.index_work) << key;
    EXPECT_TRUE(
        testing::same_bits(got.twiddle.data(), plain.twiddle.data(), static_cast<int>(got.twiddle.size())))
        << key;
}

void expect_plain(const std::string& key, const EngineOutput& got, const EngineOutput& plain) {
    ASSERT_EQ(got.data.size(), plain.data.size());
    for (std::size_t i = 0; i < got.data.size(); ++i) {
        ASSERT_EQ(hex_bits(got.data[i]), hex_bits(plain.data[i])) << key << ", double " << i;
    }
    EXPECT_EQ(got.index_work, plain.index_work) << key;
}

// A table asked for by its lanes and fused kernels; the processor may run
// narrower lanes only, and then the table is skipped (the test says so).
using Request = std::tuple<FftLanes, bool>;

class FftKernelTable : public ::testing::TestWithParam<Request> {
protected:
    void SetUp() override {
        const auto [lanes, fused] = GetParam();
        const FftKernels chosen = choose_fft_kernels_for_testing(lanes, fused);
        if (chosen.lanes != lanes) {
            GTEST_SKIP() << "this processor does not run " << lanes_name(lanes) << " lanes";
        }
        ASSERT_EQ(chosen.fused, fused);
        ASSERT_EQ(fft_kernels_in_use().lanes, lanes);
    }
    void TearDown() override { choose_fft_kernels(); }
};

TEST_P(FftKernelTable, OneDimensionalOutputsAreTheGoldenBits) {
    for (int points = 1; points <= testing::golden_largest_1d; points <<= 1) {
        for (const int sign : {1, -1}) {
            for (int input = 0; input < testing::golden_inputs_1d(points); ++input) {
                expect_golden(golden_1d(), testing::case_key_1d(points, sign, input),
                              testing::run_1d(&complex_fft, points, sign, input),
                              testing::run_1d(&testing::plain::complex_fft, points, sign, input));
            }
        }
    }
}

TEST_P(FftKernelTable, TwoDimensionalOutputsAreTheGoldenBits) {
    for (int n1 = 1; n1 <= testing::golden_largest_side; n1 <<= 1) {
        for (int columns = 1; columns <= testing::golden_largest_side; columns <<= 1) {
            for (const int sign : {1, -1}) {
                expect_golden(golden_2d(), testing::case_key_2d(n1, columns, sign),
                              testing::run_2d(&complex_fft_2d, n1, columns, sign),
                              testing::run_2d(&testing::plain::complex_fft_2d, n1, columns, sign));
            }
        }
    }
}

TEST_P(FftKernelTable, BeyondTheGoldenSizesTheBitsAreThePlainTranscriptions) {
    for (const int points : {1 << 15, 1 << 16, 1 << 17}) {
        for (const int sign : {1, -1}) {
            expect_plain(testing::case_key_1d(points, sign), testing::run_1d(&complex_fft, points, sign),
                         testing::run_1d(&testing::plain::complex_fft, points, sign));
        }
    }
    for (const auto& [n1, columns] :
         {std::pair{128, 128}, {256, 8}, {8, 256}, {1024, 1}, {1, 1024}, {2, 512}, {4, 2048}, {1, 4096}}) {
        for (const int sign : {1, -1}) {
            expect_plain(testing::case_key_2d(n1, columns, sign),
                         testing::run_2d(&complex_fft_2d, n1, columns, sign),
                         testing::run_2d(&testing::plain::complex_fft_2d, n1, columns, sign));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryTable, FftKernelTable,
                         ::testing::Combine(::testing::Values(FftLanes::scalar, FftLanes::sse2, FftLanes::avx,
                                                              FftLanes::avx512),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<Request>& param_info) {
                             return std::string(lanes_name(std::get<0>(param_info.param))) +
                                    (std::get<1>(param_info.param) ? "_fused" : "_general");
                         });

// The program's choice is the widest table the override can reach, with the
// fused kernels; asking for narrower lanes never gives wider ones.
TEST(FftKernelChoice, TheDefaultIsTheWidestTableAndTheOverrideNeverWidens) {
    const FftKernels widest = choose_fft_kernels_for_testing(FftLanes::avx512, true);
    const FftKernels chosen = choose_fft_kernels();
    EXPECT_EQ(chosen.lanes, widest.lanes);
    EXPECT_TRUE(chosen.fused);
    for (const FftLanes lanes : {FftLanes::scalar, FftLanes::sse2, FftLanes::avx, FftLanes::avx512}) {
        EXPECT_LE(static_cast<int>(choose_fft_kernels_for_testing(lanes, false).lanes),
                  static_cast<int>(lanes));
    }
    EXPECT_EQ(choose_fft_kernels_for_testing(FftLanes::scalar, true).lanes, FftLanes::scalar);
    choose_fft_kernels();
}

}  // namespace
}  // namespace lattice_bubble
