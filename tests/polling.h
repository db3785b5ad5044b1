// Waiting for what another thread does: shared by the tests and the fuzz
// targets, so it needs nothing but the standard library.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tp_test {

// Polls until the condition holds or the time runs out. The default bound
// is one only a fault runs out: what takes milliseconds alone may take
// seconds on a busy two-core machine under a sanitizer, and a condition
// that holds ends the wait at once.
inline bool eventually(const std::function<bool()>& condition, int timeoutMs = 30000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace tp_test
