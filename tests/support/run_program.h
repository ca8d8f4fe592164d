#pragma once
// Running the built program as a user would: in a directory of its own, with
// standard input at end of file, its output and exit status captured.

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace lattice_bubble::testing {

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Where a standard stream of the run goes.
enum class Stream {
    captured,      // standard output or error: into a file that the result returns
    null_device,   // standard input: /dev/null, at end of file at once
    terminal,      // standard input: a pseudo-terminal on which Enter has been typed
    closed,        // no descriptor at all
    gone_reader,   // standard output: a pipe whose reader has already ended
    file,          // standard output: the file named by stdout_target
};

struct ProgramRun {
    explicit ProgramRun(std::filesystem::path dir) : directory(std::move(dir)) {}

    std::filesystem::path directory;         // working directory of the run
    std::vector<std::string> args;           // command-line arguments after the program's name
    std::map<std::string, std::string> env;  // variables set (or replaced) for the run
    std::vector<std::string> unset_env;      // variables removed for the run
    int open_file_limit = 0;                 // > 0: the run may hold no descriptor numbered this or above
    long stack_limit_kib = 0;                // > 0: the run's stack limit
    long address_space_kib = 0;              // > 0: the run's address-space limit
    Stream input = Stream::null_device;
    Stream output = Stream::captured;
    Stream error = Stream::captured;
    std::string stdout_target;  // for Stream::file, such as /dev/full
};

struct ProgramResult {
    int exit_status = -1;  // 0 … 255, or -1 when the program did not exit normally
    int signal = 0;        // the signal that ended it, or 0
    std::string out;       // standard output (empty unless captured)
    std::string err;       // standard error (empty unless captured)
};

// Starts the built lattice_bubble with no descriptor of the test process
// inherited but the three standard ones as `run` says.
ProgramResult run_program(const ProgramRun& run);

[[nodiscard]] std::string read_file(const std::filesystem::path& file);
void write_executable(const std::filesystem::path& file, const std::string& text);

// Lines of a text without their line ends; a text ending in "\n" has no extra empty line.
[[nodiscard]] std::vector<std::string> split_lines(const std::string& text);

}  // namespace lattice_bubble::testing
