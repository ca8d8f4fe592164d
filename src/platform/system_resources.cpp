#include "platform/system_resources.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>
#endif

namespace lattice_bubble {

#if defined(_WIN32)

std::optional<double> available_memory_bytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status) == 0) {
        return std::nullopt;
    }
    return static_cast<double>(status.ullAvailPhys);
}

int usable_processors() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

#else

namespace {

// The first number in a file (a cgroup's memory.max holds "max" when unlimited).
std::optional<double> number_in(const std::string& path) {
    std::ifstream file(path);
    double value = 0.0;
    if (file >> value) {
        return value;
    }
    return std::nullopt;
}

std::optional<double> meminfo_available() {
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    while (std::getline(meminfo, line)) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            std::istringstream fields(line.substr(13));
            double kib = 0.0;
            if (fields >> kib) {
                return kib * 1024.0;
            }
        }
    }
    return std::nullopt;
}

// What the process's own control group still allows: its limit less its
// use, in the unified hierarchy (memory.max, "max" when unlimited) or in the
// memory controller of the older one (memory.limit_in_bytes).
std::optional<double> cgroup_available() {
    std::ifstream membership("/proc/self/cgroup");
    std::string line;
    std::optional<double> lowest;
    while (std::getline(membership, line)) {
        std::string base;
        std::string limit_file;
        std::string usage_file;
        if (line.rfind("0::", 0) == 0) {
            base = "/sys/fs/cgroup" + line.substr(3);
            limit_file = "/memory.max";
            usage_file = "/memory.current";
        } else if (const auto at = line.find(":memory:"); at != std::string::npos) {
            base = "/sys/fs/cgroup/memory" + line.substr(at + 8);
            limit_file = "/memory.limit_in_bytes";
            usage_file = "/memory.usage_in_bytes";
        } else {
            continue;
        }
        const auto limit = number_in(base + limit_file);
        if (limit) {
            const double left = std::max(0.0, *limit - number_in(base + usage_file).value_or(0.0));
            lowest = lowest ? std::min(*lowest, left) : left;
        }
    }
    return lowest;
}

}  // namespace

int usable_processors() {
#if defined(__linux__)
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        return std::max(1, CPU_COUNT(&allowed));
    }
#endif
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

std::optional<double> available_memory_bytes() {
    const auto system = meminfo_available();
    const auto group = cgroup_available();
    if (system && group) {
        return std::min(*system, *group);
    }
    return system ? system : group;
}

#endif

}  // namespace lattice_bubble
