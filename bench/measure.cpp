// Measuring helpers shared by every benchmark.
#include "measure.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "interpose.h"

namespace bench {

int64_t thread_cpu_ns() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t monotonic_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2) return *middle;
    return (*middle + *std::max_element(values.begin(), middle)) / 2.0;
}

void sleep_us(int microseconds) { std::this_thread::sleep_for(std::chrono::microseconds(microseconds)); }

PinnedToOneCore::PinnedToOneCore() {
    sched_getaffinity(0, sizeof previous_, &previous_);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof one, &one);
}

PinnedToOneCore::~PinnedToOneCore() { sched_setaffinity(0, sizeof previous_, &previous_); }

namespace {

bool thread_sleeps(pid_t tid) {
    // The state is the field after the command name in parentheses.
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) throw std::runtime_error("the thread to be woken has ended");
    size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S';
}

}  // namespace

void settle_asleep(pid_t tid) {
    sleep_us(1000);
    while (!thread_sleeps(tid)) sleep_us(50);
}

Comparison interleave(int rounds, const std::function<double()>& measured, const std::function<double()>& limit) {
    std::vector<double> measuredNs, limitNs, ratios;
    for (int round = 0; round < rounds; ++round) {
        double m, l;
        if (round % 2 == 0) {
            m = measured();
            l = limit();
        } else {
            l = limit();
            m = measured();
        }
        measuredNs.push_back(m);
        limitNs.push_back(l);
        ratios.push_back(m / l);
    }
    return {median(measuredNs), median(limitNs), median(ratios)};
}

// --- CycleClock ---

double CycleClock::elevation_feet(double, double) const {
    if (countdown_ != 0 && --countdown_ == 0) {
        countdown_ = period_;
        mark();
    }
    return feet_;
}

void CycleClock::mark() const {
    size_t taken = taken_.load(std::memory_order_relaxed);
    if (taken == marks_.size()) return;
    marks_[taken] = {thread_cpu_ns(), thread_allocations()};
    thread_.store(static_cast<pid_t>(syscall(SYS_gettid)), std::memory_order_relaxed);
    taken_.store(taken + 1, std::memory_order_release);
}

void CycleClock::arm(uint64_t period, size_t marks) {
    marks_.assign(marks, Mark{});
    taken_.store(0, std::memory_order_relaxed);
    period_ = period;
    countdown_ = 1;
}

void CycleClock::wait_for_marks(size_t count, int timeoutMs) const {
    int64_t deadline = monotonic_ns() + static_cast<int64_t>(timeoutMs) * 1000000;
    while (marks_taken() < count) {
        if (monotonic_ns() > deadline) throw std::runtime_error("the worker stopped sampling");
        sleep_us(1000);
    }
}

std::vector<double> CycleClock::intervals(double per) const {
    std::vector<double> spans;
    for (size_t i = 1; i < marks_taken(); ++i)
        spans.push_back(static_cast<double>(marks_[i].cpuNs - marks_[i - 1].cpuNs) / per);
    return spans;
}

uint64_t CycleClock::allocations_between_marks() const {
    size_t n = marks_taken();
    return n < 2 ? 0 : marks_[n - 1].allocations - marks_[0].allocations;
}

}  // namespace bench
