// Windows waits on a handle to the thread, which is signalled the moment
// the thread ends; Linux polls for the thread's /proc entry, which goes
// when the task exits.
#include "thread_watch.h"

#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#endif

namespace probe {
namespace {

double milliseconds_since(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

#if defined(_WIN32)
uint64_t current_thread_os_id() { return GetCurrentThreadId(); }

ThreadWatch::ThreadWatch(uint64_t osId) {
    if (osId) handle_ = OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(osId));
}

ThreadWatch::~ThreadWatch() {
    if (handle_) CloseHandle(handle_);
}

bool ThreadWatch::alive() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

std::optional<double> ThreadWatch::milliseconds_until_gone(std::chrono::steady_clock::time_point since,
                                                           std::chrono::milliseconds bound) const {
    if (handle_ && WaitForSingleObject(handle_, static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) return std::nullopt;
    return milliseconds_since(since);
}
#else
uint64_t current_thread_os_id() { return static_cast<uint64_t>(syscall(SYS_gettid)); }

ThreadWatch::ThreadWatch(uint64_t osId) : id_(osId) {}

ThreadWatch::~ThreadWatch() = default;

bool ThreadWatch::alive() const {
    std::error_code error;
    return id_ && std::filesystem::exists("/proc/self/task/" + std::to_string(id_), error);
}

std::optional<double> ThreadWatch::milliseconds_until_gone(std::chrono::steady_clock::time_point since,
                                                           std::chrono::milliseconds bound) const {
    while (alive()) {
        if (milliseconds_since(since) > static_cast<double>(bound.count())) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return milliseconds_since(since);
}
#endif

}  // namespace probe
