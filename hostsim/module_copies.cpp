// The copies' names, and their removal by whose they are.
#include "hostsim/module_copies.h"

#include <atomic>
#include <chrono>
#include <cerrno>
#include <functional>
#include <cstdlib>
#include <regex>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace hostsim {
namespace {

constexpr const char* kPrefix = "terrain_probe-";
// A copy younger than this is left alone whoever it seems to be: a process
// of another pid namespace sharing the folder may be about to load it.
constexpr auto kAbandonedAfter = std::chrono::minutes(1);

#if defined(_WIN32)
long process_id() { return static_cast<long>(GetCurrentProcessId()); }
bool process_runs(long pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}
#else
long process_id() { return static_cast<long>(getpid()); }
bool process_runs(long pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }
#endif

// Removes each copy in the temporary folder, last written at least minAge
// ago, whose process id `remove` chooses; the number removed.
int remove_copies(const std::function<bool(long)>& remove, fs::file_time_type::duration minAge) {
    fs::file_time_type before = fs::file_time_type::clock::now() - minAge;
    static const std::regex name(std::string(kPrefix) + R"(([0-9]+)-[0-9]+\.(so|dll))");
    std::error_code error;
    fs::directory_iterator entries(fs::temp_directory_path(error), error), end;
    int removed = 0;
    for (; !error && entries != end; entries.increment(error)) {
        std::smatch match;
        std::string file = entries->path().filename().string();
        if (!std::regex_match(file, match, name)) continue;
        long pid = std::strtol(match[1].str().c_str(), nullptr, 10);
        std::error_code ignored;
        if (remove(pid) && entries->is_regular_file(ignored) && entries->last_write_time(ignored) <= before &&
            fs::remove(entries->path(), ignored))
            ++removed;
    }
    return removed;
}

}  // namespace

fs::path private_copy_path(const std::string& modulePath) {
    static std::atomic<int> counter{0};
    return fs::temp_directory_path() / (kPrefix + std::to_string(process_id()) + "-" + std::to_string(counter++) +
                                        fs::path(modulePath).extension().string());
}

int remove_abandoned_copies() {
    long self = process_id();
    return remove_copies([self](long pid) { return pid != self && !process_runs(pid); }, kAbandonedAfter);
}

void remove_own_copies() {
    long self = process_id();
    remove_copies([self](long pid) { return pid == self; }, fs::file_time_type::duration::zero());
}

}  // namespace hostsim
