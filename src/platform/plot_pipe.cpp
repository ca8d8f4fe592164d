#include "platform/plot_pipe.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace lattice_bubble {

#if defined(_WIN32)


std::FILE* open_plot_pipe(std::string_view command) {
    std::FILE* pipe = _popen(std::string(command).c_str(), "w");
    if (pipe != nullptr) {
        std::setvbuf(pipe, nullptr, _IONBF, 0);  // one command, written whole
    }
    return pipe;
}

void write_plot_pipe(std::FILE* pipe, std::string_view text) {
    std::fputs(std::string(text).c_str(), pipe);
    std::fflush(pipe);
}

PlotExit close_plot_pipe(std::FILE* pipe) {
    const int status = _pclose(pipe);
    if (status == 0) {
        return {};
    }
    return {true, "exited with status " + std::to_string(status)};
}

PlotProgram resolve_plot_program(std::string_view command, std::string_view /*search_path*/) {
    return {std::string(command), true};
}

PlotProgram find_plot_program(std::string_view command) { return resolve_plot_program(command, ""); }

#else

namespace {

// SIGPIPE ignored for as long as the object lives, then the previous action
// restored. A write to a pipe whose reader has ended then fails with EPIPE
// instead of ending the process; an ignored signal is discarded, not kept pending.
class SigpipeAction {
public:
    explicit SigpipeAction(void (*handler)(int)) {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        sigaction(SIGPIPE, &action, &previous_);
    }
    ~SigpipeAction() { sigaction(SIGPIPE, &previous_, nullptr); }
    SigpipeAction(const SigpipeAction&) = delete;
    SigpipeAction& operator=(const SigpipeAction&) = delete;

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

// Sets FD_CLOEXEC on one descriptor that is open and lacks it.
void mark_close_on_exec(int fd) {
    const int flags = fcntl(fd, F_GETFD);
    if (flags >= 0 && (flags & FD_CLOEXEC) == 0) {
        fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

bool mark_by_close_range() {
#if defined(__linux__) && defined(CLOSE_RANGE_CLOEXEC)
    return close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0;
#else
    return false;
#endif
}

// Only the descriptors that are open, as the kernel lists them. The listing's
// own descriptor is marked too, which does no harm: it is closed at once.
bool mark_by_listing() {
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr) {
        return false;
    }
    while (const dirent* entry = readdir(listing)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd >= 3 && fd <= INT_MAX) {
            mark_close_on_exec(static_cast<int>(fd));
        }
    }
    closedir(listing);
    return true;
}

// Every number below the process's limit, open or not: one call for each.
bool mark_every_number() {
    long limit = sysconf(_SC_OPEN_MAX);
    if (limit < 0 || limit > INT_MAX) {
        limit = INT_MAX;  // no limit known: no number may be left out
    }
    for (long fd = 3; fd < limit; ++fd) {
        mark_close_on_exec(static_cast<int>(fd));
    }
    return true;
}

}  // namespace

bool mark_descriptors_close_on_exec(CloseOnExecWay way) {
    switch (way) {
        case CloseOnExecWay::close_range_call:
            return mark_by_close_range();
        case CloseOnExecWay::descriptor_listing:
            return mark_by_listing();
        case CloseOnExecWay::every_number:
            return mark_every_number();
    }
    return false;
}

namespace {

// Every descriptor from 3 up close-on-exec, the map file and whatever the
// process inherited, so that they stay out of the plotting program: in one
// call where the kernel has it, else through the list of open descriptors,
// and only where neither can be had by asking about every number.
void close_others_on_exec() {
    for (const CloseOnExecWay way : {CloseOnExecWay::close_range_call, CloseOnExecWay::descriptor_listing,
                                     CloseOnExecWay::every_number}) {
        if (mark_descriptors_close_on_exec(way)) {
            return;
        }
    }
}

}  // namespace


std::FILE* open_plot_pipe(std::string_view command) {
    close_others_on_exec();
    // An ignored signal stays ignored across exec: the plotting program gets
    // the default action, as if started from a shell.
    const SigpipeAction default_for_the_child(SIG_DFL);
    std::FILE* pipe = popen(std::string(command).c_str(), "w");
    if (pipe != nullptr) {
        std::setvbuf(pipe, nullptr, _IONBF, 0);  // one command, written whole
    }
    return pipe;
}

void write_plot_pipe(std::FILE* pipe, std::string_view text) {
    const SigpipeAction guard(SIG_IGN);
    std::fputs(std::string(text).c_str(), pipe);
    std::fflush(pipe);
}

PlotExit close_plot_pipe(std::FILE* pipe) {
    // Closing flushes what a failed write left in the buffer: the reader may
    // be gone here too.
    const SigpipeAction guard(SIG_IGN);
    const int status = pclose(pipe);
    if (status == -1) {
        return {true, std::string("could not be waited for (") + std::strerror(errno) + ")"};
    }
    if (WIFSIGNALED(status)) {
        const int signal_number = WTERMSIG(status);
        const char* name = strsignal(signal_number);
        return {true, "was ended by signal " + std::to_string(signal_number) +
                          (name != nullptr ? std::string(" (") + name + ")" : std::string())};
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        return {true, "exited with status " + std::to_string(WEXITSTATUS(status))};
    }
    return {};
}

PlotProgram resolve_plot_program(std::string_view command, std::string_view search_path) {
    if (on_search_path(command, search_path)) {
        return {std::string(command), true};
    }
    if (on_search_path(posix_plot_program, search_path)) {
        return {std::string(posix_plot_program), true};
    }
    return {std::string(command), false};
}

PlotProgram find_plot_program(std::string_view command) {
    const char* path = std::getenv("PATH");
    if (path != nullptr) {
        return resolve_plot_program(command, path);
    }
    // Without PATH each shell falls back to a default of its own; give the
    // command interpreter the platform's, and search that.
    std::string fallback(confstr(_CS_PATH, nullptr, 0), '\0');
    if (!fallback.empty()) {
        confstr(_CS_PATH, fallback.data(), fallback.size());
        fallback.pop_back();  // the terminating null
    }
    setenv("PATH", fallback.c_str(), 0);
    return resolve_plot_program(command, fallback);
}

#endif

}  // namespace lattice_bubble
