// A stand-in for the plotting program: records its standard input, byte for
// byte, in "received.txt" of its working directory, and where the system
// lists a process's descriptors and signals (/proc/self), writes every
// descriptor it was started with, and what it refers to, to "fds.txt", and
// whether it was started with SIGPIPE ignored to "sigpipe.txt".

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

int main() {
    // The listing comes first, before this program opens anything itself
    // but the directory it lists.
    std::vector<std::string> held;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code link_error;
        const auto target = std::filesystem::read_symlink(entry.path(), link_error);
        // The one descriptor of its own, the listed directory, is left out.
        if (!link_error && !target.string().starts_with("/proc/")) {
            held.push_back(entry.path().filename().string() + " " + target.string());
        }
    }
    std::string ignored;
    {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with("SigIgn:")) {
                const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
                ignored = (mask >> (13 - 1)) & 1U ? "ignored\n" : "default\n";  // SIGPIPE is 13
            }
        }
    }
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::FILE* received = std::fopen("received.txt", "wb");
    if (received == nullptr) {
        return 1;
    }
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        std::fwrite(buffer, 1, count, received);
    }
    std::fclose(received);
    if (!held.empty()) {
        std::FILE* fds = std::fopen("fds.txt", "w");
        if (fds == nullptr) {
            return 1;
        }
        for (const auto& line : held) {
            std::fprintf(fds, "%s\n", line.c_str());
        }
        std::fclose(fds);
    }
    if (!ignored.empty()) {
        std::FILE* sigpipe = std::fopen("sigpipe.txt", "w");
        if (sigpipe == nullptr) {
            return 1;
        }
        std::fputs(ignored.c_str(), sigpipe);
        std::fclose(sigpipe);
    }
    return 0;
}
