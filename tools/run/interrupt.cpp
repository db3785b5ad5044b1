// POSIX: SIGINT and SIGTERM are blocked before any thread starts, so every
// thread inherits the block, and one watcher thread takes them with
// sigwait: no host or module call is ever interrupted by them. Windows:
// the C runtime's console handler runs the signal handler on a thread of
// its own.
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

std::atomic<bool> g_interrupted{false}, g_finishing{false}, g_finishStopped{false};
std::atomic<int> g_status{0};

const char* signal_name(int signal) { return signal == SIGTERM ? "terminated" : "interrupted"; }

void stop_at_once(int signal) {
    std::fprintf(stderr, "\nprobe-host: %s again: stopping at once\n", signal_name(signal));
    std::_Exit(g_status.load());
}

void note_signal(int signal) {
    int none = 0;
    g_status.compare_exchange_strong(none, 128 + signal);
    if (g_finishing.load()) {
        if (g_finishStopped.exchange(true)) stop_at_once(signal);
        std::fprintf(stderr, "\nprobe-host: %s: the CSV stops at the next whole line, incomplete\n",
                     signal_name(signal));
        return;
    }
    if (g_interrupted.exchange(true)) stop_at_once(signal);
    std::fprintf(stderr, "\nprobe-host: %s: ending the run at the next frame (Ctrl-C again to stop at once)\n",
                 signal_name(signal));
}

#if defined(_WIN32)
void on_signal(int signal) {
    note_signal(signal);
    std::signal(signal, on_signal);
}
#endif

}  // namespace

void catch_interrupt() {
#if defined(_WIN32)
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
#else
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) == 0) note_signal(signal);
        }
    }).detach();
#endif
}

bool interrupted() { return g_interrupted.load(); }

int interrupt_status() { return g_status.load(); }

void begin_finishing() { g_finishing = true; }

bool finish_stopped() { return g_finishStopped.load(); }

}  // namespace probe
