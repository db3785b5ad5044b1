// The guard: exceptions are caught around the call; a crash is caught by a
// handler that acts only while the faulting thread is inside a user's
// gauge, and otherwise hands the fault on as it was.
#include "gauge_guard.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#include <cstring>
#include <unistd.h>
#endif

#include "errors.h"

namespace probe {
namespace {

// The message for a crash, made before the call so that the handler only
// has to write it; null while the thread is not in a user's gauge.
thread_local const std::string* t_crashMessage = nullptr;

[[noreturn]] void end_run(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    std::_Exit(kExitUserGauge);
}

#if defined(_WIN32)
const char* crash_kind(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "an access violation";
    case EXCEPTION_IN_PAGE_ERROR: return "an in-page error";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "an illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION: return "a privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "a division by zero";
    case EXCEPTION_STACK_OVERFLOW: return "a stack overflow";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "an array bounds fault";
    default: return nullptr;
    }
}

LONG CALLBACK on_fault(EXCEPTION_POINTERS* fault) {
    const char* kind = crash_kind(fault->ExceptionRecord->ExceptionCode);
    if (!kind || !t_crashMessage) return EXCEPTION_CONTINUE_SEARCH;
    std::fprintf(stderr, "%s (%s)\n", t_crashMessage->c_str(), kind);
    std::fflush(stderr);
    std::_Exit(kExitUserGauge);
}

void install_handlers() {
    static std::atomic<bool> installed{false};
    if (!installed.exchange(true)) AddVectoredExceptionHandler(1, on_fault);
}
#else
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
struct sigaction g_previous[sizeof kCrashSignals / sizeof kCrashSignals[0]];

void write_all(const char* text, size_t length) {
    while (length > 0) {
        ssize_t n = write(STDERR_FILENO, text, length);
        if (n <= 0) return;
        text += n, length -= static_cast<size_t>(n);
    }
}

void on_fault(int signal, siginfo_t* info, void* context) {
    size_t i = 0;
    while (kCrashSignals[i] != signal) ++i;
    if (!t_crashMessage) {
        // Not the user's gauge: the fault goes on as it would have.
        const struct sigaction& previous = g_previous[i];
        if (previous.sa_flags & SA_SIGINFO) return previous.sa_sigaction(signal, info, context);
        sigaction(signal, &previous, nullptr);
        return;  // the instruction faults again, now under the previous disposition
    }
    write_all(t_crashMessage->data(), t_crashMessage->size());
    const char* name = strsignal(signal);
    write_all(" (", 2), write_all(name, std::strlen(name)), write_all(")\n", 2);
    _exit(kExitUserGauge);
}

void install_handlers() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    for (size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i) {
        struct sigaction action {};
        action.sa_sigaction = on_fault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(kCrashSignals[i], &action, &g_previous[i]);
    }
}
#endif

// Clears the thread's mark however the call ends.
struct InGauge {
    explicit InGauge(const std::string* message) { t_crashMessage = message; }
    ~InGauge() { t_crashMessage = nullptr; }
};

}  // namespace

std::string user_gauge_failure(const std::string& gauge, const std::string& what, const std::string& failure) {
    return "probe-host: the gauge " + gauge + " " + failure + " during " + what +
           "; the run ends here. The fault is in that gauge, not in terrain_probe";
}

void call_user_gauge(const std::string& gauge, const std::string& what, const std::function<void()>& call) {
    install_handlers();
    const std::string crashMessage = user_gauge_failure(gauge, what, "crashed");
    try {
        InGauge mark(&crashMessage);
        call();
    } catch (const std::exception& e) {
        end_run(user_gauge_failure(gauge, what, std::string("threw an exception (") + e.what() + ")"));
    } catch (...) {
        end_run(user_gauge_failure(gauge, what, "threw an exception"));
    }
}

}  // namespace probe
