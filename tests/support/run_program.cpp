#include "support/run_program.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lattice_bubble::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lattice_bubble_test_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // A test may have removed write permission to provoke a failure.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string shell_quote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_executable(const std::filesystem::path& file, const std::string& text) {
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::filesystem::permissions(file, std::filesystem::perms::owner_all | std::filesystem::perms::group_exec |
                                           std::filesystem::perms::others_exec);
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

ProgramResult run_program(const ProgramRun& run) {
    // Capture files live outside the run's directory, which a test may make read-only.
    const TempDir capture;
    const auto out_file = capture.path() / "stdout";
    const auto err_file = capture.path() / "stderr";

    std::string command = "cd " + shell_quote(run.directory.string()) + " && " + run.shell_prefix + " ";
    for (const auto& [name, value] : run.env) {
        command += "export " + name + "=" + shell_quote(value) + "; ";
    }
    command += "exec " + shell_quote(LATTICE_BUBBLE_EXECUTABLE) + " </dev/null";
    command += " >" + shell_quote(run.stdout_target.empty() ? out_file.string() : run.stdout_target);
    command += " 2>" + shell_quote(err_file.string());

    const int status = std::system(command.c_str());
    ProgramResult result;
    if (status != -1 && WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    }
    if (run.stdout_target.empty()) {
        result.out = read_file(out_file);
    }
    result.err = read_file(err_file);
    return result;
}

}  // namespace lattice_bubble::testing
