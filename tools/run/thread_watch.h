// Watching one thread of this process until it ends: probe-host times the
// module's worker this way, since the module does not tell its host when
// the worker has gone.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace probe {

// The system's id of the calling thread (a thread id on Windows, a task id
// on Linux); never 0.
uint64_t current_thread_os_id();

class ThreadWatch {
public:
    explicit ThreadWatch(uint64_t osId);
    ~ThreadWatch();
    ThreadWatch(const ThreadWatch&) = delete;
    ThreadWatch& operator=(const ThreadWatch&) = delete;

    bool alive() const;
    // Waits until the thread has ended, at most bound; the time from since
    // to its end, or nothing when it outlived the bound.
    std::optional<double> milliseconds_until_gone(std::chrono::steady_clock::time_point since,
                                                  std::chrono::milliseconds bound) const;

private:
#if defined(_WIN32)
    void* handle_ = nullptr;  // signalled when the thread ends
#else
    uint64_t id_;
#endif
};

}  // namespace probe
