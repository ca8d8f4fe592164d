#include "platform/process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "common/failure.h"
#include "common/program.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace lattice_bubble {

namespace {

// Buffers of the program's own: the C library would allocate them at the
// first read or write and, where that fails, go on unbuffered. Every report
// line is flushed as it ends, so nothing changes in what is written when; the
// key wait still takes the whole line typed on a terminal, so that nothing of
// it is left for the shell.
void set_stream_buffers() {
    static char output_buffer[BUFSIZ];
    static char input_buffer[BUFSIZ];
    std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    std::setvbuf(stdin, input_buffer, _IOFBF, sizeof input_buffer);
}

}  // namespace

void write_message(std::string_view text) { std::cerr << message_prefix << text << std::endl; }

void write_standard_output(std::string_view text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout) != 0) {
        throw OutputLost(errno != 0 ? std::strerror(errno) : "unknown reason");
    }
}

#if defined(_WIN32)

StandardStreams prepare_standard_streams() {
    StandardStreams streams;
    bool* closed[3] = {&streams.input_was_closed, &streams.output_was_closed, &streams.error_was_closed};
    for (int fd = 0; fd < 3; ++fd) {
        if (_get_osfhandle(fd) == -1) {
            *closed[fd] = true;
            std::FILE* stream = fd == 0 ? stdin : (fd == 1 ? stdout : stderr);
            std::freopen("NUL", fd == 0 ? "r" : "w", stream);
        }
    }
    set_stream_buffers();
    return streams;
}

// A console, not merely a character device: the null device is one too.
bool standard_input_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool standard_error_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void ignore_broken_pipes() {}  // a failed write to a pipe raises no signal here

#else

StandardStreams prepare_standard_streams() {
    StandardStreams streams;
    bool* closed[3] = {&streams.input_was_closed, &streams.output_was_closed, &streams.error_was_closed};
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            *closed[fd] = true;
            // The lowest free descriptor is this one, as the lower ones are open.
            const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (null >= 0 && null != fd) {
                dup2(null, fd);
                close(null);
            }
        }
    }
    set_stream_buffers();
    return streams;
}

bool standard_input_is_terminal() { return isatty(0) == 1; }

bool standard_error_is_terminal() { return isatty(2) == 1; }

void ignore_broken_pipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

#endif

}  // namespace lattice_bubble
