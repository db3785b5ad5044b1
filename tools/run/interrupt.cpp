// POSIX: the signals are blocked before any thread starts, so every thread
// inherits the block, and one watcher thread takes them with sigwaitinfo:
// no host or module call is ever interrupted by them, and the sender of
// each is known. Windows: the console runs its control handler on a thread
// of its own.
#include "interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "hostsim/module_copies.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>

#include <thread>
#endif

namespace probe {
namespace {

// The POSIX numbers, which the exit statuses follow on Windows too.
constexpr int kHangup = 1, kInterrupt = 2, kTerminate = 15;
// The sender of a signal the terminal (or the console) sent.
constexpr long kFromTerminal = -1;

std::atomic<bool> g_interrupted{false}, g_finishing{false}, g_finishStopped{false};
std::atomic<int> g_status{0};
// The last interrupt's sender: a repeat from the same process is one
// request (timeout sends to the program and to its group). Interrupts
// counts those that were not repeats.
std::atomic<long> g_interruptSender{0};
std::atomic<int> g_interrupts{0};

const char* signal_name(int signal) {
    return signal == kTerminate ? "terminated" : signal == kHangup ? "hung up" : "interrupted";
}

void say(const char* text, int signal) { std::fprintf(stderr, "\nprobe-host: %s%s\n", signal_name(signal), text); }

[[noreturn]] void stop_at_once() {
    std::fputs("\nprobe-host: interrupted a third time: stopping at once; the outputs are left as they are\n", stderr);
    hostsim::remove_own_copies();
    std::_Exit(g_status.load());
}

void first_request(int signal) {
    g_status = 128 + signal;
    g_interrupted = true;
    if (g_finishing.load()) {
        g_finishStopped = true;
        say(": the CSV stops at the next whole line, incomplete", signal);
    } else {
        say(": ending the run at the next frame, every output completed (Ctrl-C again cuts the CSV short)", signal);
    }
}

// An interrupt after the first request, not a repeat of the last: the
// second cuts the finish short, the third stops at once.
void further_interrupt(int interrupts) {
    if (interrupts >= 3) stop_at_once();
    g_finishStopped = true;
    say(" again: the CSV stops at its next whole line, incomplete (Ctrl-C once more stops at once)", kInterrupt);
}

void note_signal(int signal, long sender) {
    bool interrupt = signal == kInterrupt;
    bool repeat = !interrupt || (sender != kFromTerminal && g_interruptSender.exchange(sender) == sender);
    int interrupts = interrupt && !repeat ? ++g_interrupts : g_interrupts.load();
    if (!g_interrupted.load()) return first_request(signal);
    if (repeat) return say(" again: the same request, already under way", signal);
    further_interrupt(interrupts);
}

#if defined(_WIN32)
BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT: note_signal(kInterrupt, kFromTerminal); return TRUE;
    case CTRL_BREAK_EVENT: note_signal(kTerminate, kFromTerminal); return TRUE;
    case CTRL_CLOSE_EVENT:
        // The process ends as this handler returns: hold it, so that the
        // run ends and its outputs complete (within the few seconds the
        // system allows).
        note_signal(kHangup, kFromTerminal);
        Sleep(INFINITE);
        return TRUE;
    default: return FALSE;
    }
}
#else
long sender_of(const siginfo_t& info) { return info.si_code == SI_USER || info.si_code == SI_QUEUE ? info.si_pid : kFromTerminal; }
#endif

}  // namespace

void catch_interrupt() {
#if defined(_WIN32)
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    static_assert(SIGHUP == kHangup && SIGINT == kInterrupt && SIGTERM == kTerminate);
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGHUP, SIGINT, SIGTERM}) sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            siginfo_t info{};
            if (int signal = sigwaitinfo(&set, &info); signal > 0) note_signal(signal, sender_of(info));
        }
    }).detach();
#endif
}

bool interrupted() { return g_interrupted.load(); }

int interrupt_status() { return g_status.load(); }

void begin_finishing() { g_finishing = true; }

bool finish_stopped() { return g_finishStopped.load(); }

}  // namespace probe
