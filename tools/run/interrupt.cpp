// POSIX: SIGINT is blocked before any thread starts, so every thread
// inherits the block, and one watcher thread takes it with sigwait: no
// host or module call is ever interrupted by it. Windows: the C runtime's
// console handler runs the signal handler on a thread of its own.
#include "interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#if !defined(_WIN32)
#include <pthread.h>

#include <thread>
#endif

namespace probe {
namespace {

constexpr int kInterruptedStatus = 130;
std::atomic<bool> g_interrupted{false};

void note_interrupt() {
    if (g_interrupted.exchange(true)) {
        std::fputs("\nprobe-host: interrupted again: stopping at once\n", stderr);
        std::_Exit(kInterruptedStatus);
    }
    std::fputs("\nprobe-host: interrupted: ending the run at the next frame (Ctrl-C again to stop at once)\n",
               stderr);
}

#if defined(_WIN32)
void on_signal(int) {
    note_interrupt();
    std::signal(SIGINT, on_signal);
}
#endif

}  // namespace

void catch_interrupt() {
#if defined(_WIN32)
    std::signal(SIGINT, on_signal);
#else
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) == 0) note_interrupt();
        }
    }).detach();
#endif
}

bool interrupted() { return g_interrupted.load(); }

}  // namespace probe
