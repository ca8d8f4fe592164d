#pragma once
// The golden files: bit patterns of the defined results, kept in tests/golden
// and read by the tests. Inputs come from a small integer generator, so that
// they are the same on every platform and compiler.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace lattice_bubble::testing {

// count doubles in (−1, 1), from the 64-bit linear congruential generator
// x ← 6364136223846793005·x + 1442695040888963407 (mod 2^64), started at
// seed: the top 53 bits give an integer in [−2^52, 2^52), times 2^−52, and
// bits 8 … 10 an exponent e in 0 … 7, the value being scaled by 2^−e. Every
// step is exact on every platform. The mixed magnitudes matter: values on
// one fixed grid would add up exactly, and a regrouped sum would not show.
std::vector<double> golden_input(std::size_t count, std::uint64_t seed);

// Seeds of the engine's inputs: 65536·k + N for input k of a 1-D transform
// of N points, 65536·n1 + N2 for an n1 × N2 transform. Both signs take the
// same input.
inline std::uint64_t seed_1d(int points, int input) {
    return (static_cast<std::uint64_t>(input) << 16) + static_cast<std::uint64_t>(points);
}
inline std::uint64_t seed_2d(int n1, int columns) {
    return (static_cast<std::uint64_t>(n1) << 16) + static_cast<std::uint64_t>(columns);
}

// The cases of the engine's golden files: every 1-D size up to 2^14 points,
// every 2-D shape with both sides in {1, 2, 4, …, 64}; outputs of at most 16
// points are kept double by double, the others as a hash. A 1-D size of at
// most 16 points takes 16 inputs: a regrouped sum of a few values often
// rounds alike, and these sizes have no other data.
inline constexpr int golden_largest_1d = 1 << 14;
inline constexpr int golden_largest_side = 64;
inline constexpr int golden_full_values_up_to = 16;
inline int golden_inputs_1d(int points) { return points <= golden_full_values_up_to ? 16 : 1; }

// One transform of the golden input by `fft`, with work arrays of exactly the
// documented sizes (so that a sanitizer sees any access beyond them) and a
// table built in the call. 2-D rows are separate blocks; data comes back flat.
struct EngineOutput {
    std::vector<double> data;
    std::vector<int> index_work;
    std::vector<double> twiddle;
};
using Fft1d = void (*)(int n, int sign, double* a, int* index_work, double* twiddle);
using Fft2d = void (*)(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle);
EngineOutput run_1d(Fft1d fft, int points, int sign, int input = 0);
EngineOutput run_2d(Fft2d fft, int n1, int columns, int sign);

// FNV-1a over the bit patterns of the doubles, each taken lowest byte first.
std::uint64_t hash_bits(const double* data, std::size_t count);

std::string hex_bits(double value);  // 16 lower-case hex digits of the bit pattern
std::uint64_t bits_of(double value);

// Where the golden files are: tests/golden of the source tree.
std::filesystem::path golden_dir();

// The bad command lines of tests/entry/study_refusals.txt, each with the
// fragments its one line of refusal holds; `end_to_end` marks the few that
// the built program is also run on.
struct StudyRefusal {
    std::vector<std::string> args;
    std::vector<std::string> fragments;
    bool end_to_end = false;
};
std::vector<StudyRefusal> study_refusals();
void PrintTo(const StudyRefusal& refusal, std::ostream* out);

// A golden file read into records: every line that is neither empty nor a
// comment ('#') is a list of words, the first key_words of which, joined by
// blanks, name the record; the rest are its fields.
using GoldenRecords = std::map<std::string, std::vector<std::string>>;
GoldenRecords read_golden(const std::filesystem::path& file, int key_words);

// A golden text file (reports.golden, chiw.golden) without the comment lines
// at its top: the exact bytes the run writes where a line ends in a line feed.
std::string golden_text(const std::filesystem::path& file);

// Empty when the record `key` holds exactly the bit patterns of (re, im);
// else what differs.
std::string golden_mismatch(const GoldenRecords& records, const std::string& key, double re, double im);

// The key of a 1-D or 2-D engine case: "<N> <sign> <input>" or
// "<n1>x<N2> <sign>", sign written "+1" or "-1".
std::string case_key_1d(int points, int sign, int input = 0);
std::string case_key_2d(int n1, int columns, int sign);

}  // namespace lattice_bubble::testing
