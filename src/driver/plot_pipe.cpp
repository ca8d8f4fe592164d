#include "driver/plot_pipe.h"

#include <string>

#if defined(_WIN32)
#include <stdio.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lattice_bubble {

#if defined(_WIN32)

std::FILE* open_plot_pipe(std::string_view command) { return _popen(std::string(command).c_str(), "w"); }

void write_plot_pipe(std::FILE* pipe, std::string_view text) {
    std::fputs(std::string(text).c_str(), pipe);
    std::fflush(pipe);
}

void close_plot_pipe(std::FILE* pipe) { _pclose(pipe); }

#else

namespace {

// SIGPIPE ignored for as long as the object lives, then the previous action
// restored. A write to a pipe whose reader has ended then fails with EPIPE
// instead of ending the process; an ignored signal is discarded, not kept pending.
class SigpipeIgnored {
public:
    SigpipeIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &previous_);
    }
    ~SigpipeIgnored() { sigaction(SIGPIPE, &previous_, nullptr); }
    SigpipeIgnored(const SigpipeIgnored&) = delete;
    SigpipeIgnored& operator=(const SigpipeIgnored&) = delete;

private:
    struct sigaction previous_ {};
};

bool is_executable_file(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool on_search_path(std::string_view name, std::string_view search_path) {
    if (name.find('/') != std::string_view::npos) {
        return is_executable_file(std::string(name));
    }
    std::string_view::size_type start = 0;
    while (start <= search_path.size()) {
        auto end = search_path.find(':', start);
        if (end == std::string_view::npos) {
            end = search_path.size();
        }
        const std::string_view entry = search_path.substr(start, end - start);
        // An empty entry is the current directory.
        std::string candidate(entry.empty() ? std::string_view(".") : entry);
        candidate += '/';
        candidate += name;
        if (is_executable_file(candidate)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

std::FILE* open_plot_pipe(std::string_view command) { return popen(std::string(command).c_str(), "w"); }

void write_plot_pipe(std::FILE* pipe, std::string_view text) {
    const SigpipeIgnored guard;
    std::fputs(std::string(text).c_str(), pipe);
    std::fflush(pipe);
}

void close_plot_pipe(std::FILE* pipe) {
    // Closing flushes what a failed write left in the buffer: the reader may
    // be gone here too.
    const SigpipeIgnored guard;
    pclose(pipe);
}

#endif

PlotProgram resolve_plot_program(std::string_view command, std::string_view search_path) {
#if defined(_WIN32)
    (void)search_path;
    return {std::string(command), true};
#else
    if (on_search_path(command, search_path)) {
        return {std::string(command), true};
    }
    if (on_search_path(posix_plot_program, search_path)) {
        return {std::string(posix_plot_program), true};
    }
    return {std::string(command), false};
#endif
}

}  // namespace lattice_bubble
