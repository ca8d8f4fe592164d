#include "support/run_program.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
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
    std::filesystem::permissions(file, std::filesystem::perms::owner_all |
                                           std::filesystem::perms::group_exec |
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
    // Capture files live outside the run's directory, which a test may fill.
    const TempDir capture;
    const std::string out_file = (capture.path() / "stdout").string();
    const std::string err_file = (capture.path() / "stderr").string();
    int gone[2] = {-1, -1};
    if (run.output == Stream::gone_reader && pipe(gone) == 0) {
        close(gone[0]);
    }
    // The terminal's other side stays with the test until the run is over,
    // with the key already typed.
    int terminal = -1;
    std::string terminal_name;
    if (run.input == Stream::terminal) {
        terminal = posix_openpt(O_RDWR | O_NOCTTY);
        if (terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0 && ptsname(terminal) != nullptr) {
            terminal_name = ptsname(terminal);
            const char enter = '\n';
            if (write(terminal, &enter, 1) != 1) {
                terminal_name.clear();
            }
        }
    }
    std::vector<const char*> argv = {LATTICE_BUBBLE_EXECUTABLE};
    for (const auto& arg : run.args) {
        argv.push_back(arg.c_str());
    }
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const auto redirect = [](const char* path, int flags, int target) {
            const int fd = open(path, flags, 0644);
            if (fd < 0 || dup2(fd, target) < 0) {
                _exit(126);
            }
            close(fd);
        };
        if (chdir(run.directory.c_str()) != 0) {
            _exit(126);
        }
        if (run.input == Stream::terminal) {
            if (terminal_name.empty()) {
                _exit(126);
            }
            redirect(terminal_name.c_str(), O_RDWR | O_NOCTTY, 0);
        } else {
            redirect("/dev/null", O_RDONLY, 0);
        }
        switch (run.output) {
            case Stream::gone_reader:
                dup2(gone[1], 1);
                break;
            case Stream::file:
                redirect(run.stdout_target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 1);
                break;
            default:
                redirect(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 1);
        }
        redirect(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 2);
        for (int fd = 3; fd < 1024; ++fd) {
            close(fd);
        }
        if (run.input == Stream::closed) {
            close(0);
        }
        if (run.output == Stream::closed) {
            close(1);
        }
        if (run.error == Stream::closed) {
            close(2);
        }
        for (const auto& [name, value] : run.env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        for (const auto& name : run.unset_env) {
            unsetenv(name.c_str());
        }
        const auto limit = [](int resource, rlim_t value) {
            const rlimit bounds{value, value};
            setrlimit(resource, &bounds);
        };
        if (run.open_file_limit > 0) {
            limit(RLIMIT_NOFILE, static_cast<rlim_t>(run.open_file_limit));
        }
        if (run.stack_limit_kib > 0) {
            limit(RLIMIT_STACK, static_cast<rlim_t>(run.stack_limit_kib) * 1024);
        }
        if (run.address_space_kib > 0) {
            limit(RLIMIT_AS, static_cast<rlim_t>(run.address_space_kib) * 1024);
        }
        execv(LATTICE_BUBBLE_EXECUTABLE, const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    if (gone[1] >= 0) {
        close(gone[1]);
    }
    int status = 0;
    ProgramResult result;
    if (child > 0 && waitpid(child, &status, 0) == child) {
        if (WIFEXITED(status)) {
            result.exit_status = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
        }
    }
    if (terminal >= 0) {
        close(terminal);
    }
    if (run.output == Stream::captured) {
        result.out = read_file(out_file);
    }
    if (run.error == Stream::captured) {
        result.err = read_file(err_file);
    }
    return result;
}

}  // namespace lattice_bubble::testing
