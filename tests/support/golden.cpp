#include "support/golden.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "fft/work_sizes.h"

namespace lattice_bubble::testing {

std::vector<double> golden_input(std::size_t count, std::uint64_t seed) {
    constexpr std::uint64_t multiplier = 6364136223846793005ULL;
    constexpr std::uint64_t increment = 1442695040888963407ULL;
    constexpr double scale = 1.0 / static_cast<double>(std::int64_t{1} << 52);
    std::vector<double> values(count);
    std::uint64_t x = seed;
    for (auto& v : values) {
        x = multiplier * x + increment;
        const auto top = static_cast<std::int64_t>(x >> 11);  // 0 … 2^53 − 1
        const int exponent = static_cast<int>((x >> 8) & 7U);
        v = std::ldexp(static_cast<double>(top - (std::int64_t{1} << 52)) * scale, -exponent);
    }
    return values;
}

EngineOutput run_1d(Fft1d fft, int points, int sign, int input) {
    const int n = 2 * points;
    const FftWorkSizes sizes = fft_work_sizes_1d(n);
    EngineOutput out{golden_input(static_cast<std::size_t>(n), seed_1d(points, input)),
                     std::vector<int>(static_cast<std::size_t>(sizes.index_work_ints), 0),
                     std::vector<double>(static_cast<std::size_t>(sizes.twiddle_doubles), 0.0)};
    fft(n, sign, out.data.data(), out.index_work.data(), out.twiddle.data());
    return out;
}

EngineOutput run_2d(Fft2d fft, int n1, int columns, int sign) {
    const int n2 = 2 * columns;
    const FftWorkSizes sizes = fft_work_sizes_2d(n1, n2);
    const auto input = golden_input(static_cast<std::size_t>(n1) * n2, seed_2d(n1, columns));
    std::vector<std::vector<double>> storage;
    std::vector<double*> rows;
    for (int i = 0; i < n1; ++i) {
        storage.emplace_back(input.begin() + i * n2, input.begin() + (i + 1) * n2);
    }
    for (auto& row : storage) {
        rows.push_back(row.data());
    }
    EngineOutput out{{},
                     std::vector<int>(static_cast<std::size_t>(sizes.index_work_ints), 0),
                     std::vector<double>(static_cast<std::size_t>(sizes.twiddle_doubles), 0.0)};
    fft(n1, n2, sign, rows.data(), out.index_work.data(), out.twiddle.data());
    for (const auto& row : storage) {
        out.data.insert(out.data.end(), row.begin(), row.end());
    }
    return out;
}

std::uint64_t bits_of(double value) { return std::bit_cast<std::uint64_t>(value); }

std::uint64_t hash_bits(const double* data, std::size_t count) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t bits = bits_of(data[i]);
        for (int byte = 0; byte < 8; ++byte) {
            hash ^= (bits >> (8 * byte)) & 0xffU;
            hash *= 1099511628211ULL;
        }
    }
    return hash;
}

std::string hex_bits(double value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits_of(value)));
    return text;
}

std::filesystem::path golden_dir() { return LATTICE_BUBBLE_GOLDEN_DIR; }

GoldenRecords read_golden(const std::filesystem::path& file, int key_words) {
    std::ifstream in(file);
    if (!in) {
        throw std::runtime_error("cannot read the golden file " + file.string());
    }
    GoldenRecords records;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        std::istringstream words(line);
        std::string key;
        std::string word;
        for (int k = 0; k < key_words && words >> word; ++k) {
            key += (k == 0 ? "" : " ") + word;
        }
        auto& fields = records[key];
        while (words >> word) {
            fields.push_back(word);
        }
    }
    return records;
}

std::string golden_text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read the golden file " + file.string());
    }
    std::string text;
    std::string line;
    bool heading = true;
    while (std::getline(in, line)) {
        if (heading && line.starts_with("#")) {
            continue;
        }
        heading = false;
        text += line;
        text += '\n';
    }
    return text;
}

std::string golden_mismatch(const GoldenRecords& records, const std::string& key, double re, double im) {
    const auto record = records.find(key);
    if (record == records.end() || record->second.size() != 2) {
        return key + ": no golden record";
    }
    const std::string got_re = hex_bits(re);
    const std::string got_im = hex_bits(im);
    if (got_re == record->second[0] && got_im == record->second[1]) {
        return "";
    }
    return key + ": (" + got_re + ", " + got_im + "), golden (" + record->second[0] + ", " +
           record->second[1] + ")";
}

std::string case_key_1d(int points, int sign, int input) {
    return std::to_string(points) + (sign >= 0 ? " +1 " : " -1 ") + std::to_string(input);
}

std::string case_key_2d(int n1, int columns, int sign) {
    return std::to_string(n1) + "x" + std::to_string(columns) + (sign >= 0 ? " +1" : " -1");
}

std::vector<StudyRefusal> study_refusals() {
    std::ifstream file(golden_dir() / ".." / "entry" / "study_refusals.txt");
    const auto split = [](const std::string& text, const std::string& separator) {
        std::vector<std::string> parts;
        for (std::size_t start = 0;;) {
            const std::size_t end = text.find(separator, start);
            parts.push_back(text.substr(start, end - start));
            if (end == std::string::npos) {
                return parts;
            }
            start = end + separator.size();
        }
    };
    std::vector<StudyRefusal> refusals;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] != '#') {
            const bool end_to_end = line.starts_with("! ");
            const auto sides = split(line.substr(end_to_end ? 2 : 0), " => ");
            refusals.push_back({split(sides.at(0), " "), split(sides.at(1), " | "), end_to_end});
        }
    }
    return refusals;
}

void PrintTo(const StudyRefusal& refusal, std::ostream* out) {
    for (const auto& arg : refusal.args) {
        *out << arg << " ";
    }
}

}  // namespace lattice_bubble::testing
