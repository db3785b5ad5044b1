// The bench process's own malloc family, operator new and pthread_create:
// thin counting layers over glibc's. They are exported from the executable
// (see CMakeLists.txt), so the dlopen'ed module binds to them as well.
#include "interpose.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <stdexcept>

#include "measure.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace bench {
namespace {

thread_local uint64_t t_allocations = 0;
std::atomic<uintptr_t> g_watchBegin{0};
std::atomic<uintptr_t> g_watchEnd{0};

constexpr size_t kSizeSlots = 256;
std::atomic<size_t> g_sizes[kSizeSlots];
std::atomic<size_t> g_sizeCount{0};

void* counted(void* block, size_t size, const void* caller) {
    ++t_allocations;
    auto at = reinterpret_cast<uintptr_t>(caller);
    if (at >= g_watchBegin.load(std::memory_order_relaxed) && at < g_watchEnd.load(std::memory_order_relaxed)) {
        size_t slot = g_sizeCount.fetch_add(1, std::memory_order_relaxed);
        if (slot < kSizeSlots) g_sizes[slot].store(size, std::memory_order_relaxed);
    }
    return block;
}

void* new_block(size_t size, const void* caller) {
    return counted(__libc_malloc(size ? size : 1), size, caller);
}

// Thread ends, told to whoever waits for them.
struct ThreadLedger {
    std::atomic<uint64_t> started{0};
    std::atomic<uint64_t> ended{0};
    std::atomic<int64_t> lastEndNs{0};
    std::mutex lock;
    std::condition_variable changed;
};

ThreadLedger& thread_ledger() {
    static ThreadLedger ledger;
    return ledger;
}

struct ThreadStart {
    void* (*routine)(void*);
    void* argument;
};

void* run_and_record_end(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    void* result = start.routine(start.argument);
    ThreadLedger& ledger = thread_ledger();
    ledger.lastEndNs.store(monotonic_ns(), std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> hold(ledger.lock);
        ledger.ended.fetch_add(1, std::memory_order_release);
    }
    ledger.changed.notify_all();
    return result;
}

}  // namespace

uint64_t thread_allocations() { return t_allocations; }

void watch_code(uintptr_t begin, uintptr_t end) {
    g_watchBegin.store(begin, std::memory_order_relaxed);
    g_watchEnd.store(end, std::memory_order_relaxed);
}


std::vector<size_t> take_watched_sizes() {
    size_t n = g_sizeCount.exchange(0, std::memory_order_relaxed);
    std::vector<size_t> sizes;
    for (size_t i = 0; i < n && i < kSizeSlots; ++i) sizes.push_back(g_sizes[i].load(std::memory_order_relaxed));
    return sizes;
}

uint64_t threads_started() { return thread_ledger().started.load(std::memory_order_relaxed); }
uint64_t threads_ended() { return thread_ledger().ended.load(std::memory_order_acquire); }
int64_t last_thread_end_ns() { return thread_ledger().lastEndNs.load(std::memory_order_relaxed); }

void wait_threads_ended(uint64_t count, int timeoutMs) {
    ThreadLedger& ledger = thread_ledger();
    std::unique_lock<std::mutex> hold(ledger.lock);
    if (!ledger.changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                 [&] { return ledger.ended.load(std::memory_order_relaxed) >= count; }))
        throw std::runtime_error("a thread did not end in time");
}

}  // namespace bench

extern "C" {

void* malloc(size_t size) { return bench::counted(__libc_malloc(size), size, __builtin_return_address(0)); }

void* calloc(size_t count, size_t size) {
    return bench::counted(__libc_calloc(count, size), count * size, __builtin_return_address(0));
}

void* realloc(void* block, size_t size) {
    return bench::counted(__libc_realloc(block, size), size, __builtin_return_address(0));
}

void* memalign(size_t alignment, size_t size) {
    return bench::counted(__libc_memalign(alignment, size), size, __builtin_return_address(0));
}

void* aligned_alloc(size_t alignment, size_t size) {
    return bench::counted(__libc_memalign(alignment, size), size, __builtin_return_address(0));
}

int posix_memalign(void** block, size_t alignment, size_t size) {
    void* made = bench::counted(__libc_memalign(alignment, size), size, __builtin_return_address(0));
    if (!made) return ENOMEM;
    *block = made;
    return 0;
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*), void* argument) {
    using CreateFn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<CreateFn>(dlsym(RTLD_NEXT, "pthread_create"));
    auto* start = new bench::ThreadStart{routine, argument};
    int status = real(thread, attributes, bench::run_and_record_end, start);
    if (status != 0)
        delete start;
    else
        bench::thread_ledger().started.fetch_add(1, std::memory_order_relaxed);
    return status;
}

}  // extern "C"

void* operator new(size_t size) {
    if (void* block = bench::new_block(size, __builtin_return_address(0))) return block;
    throw std::bad_alloc();
}

void* operator new[](size_t size) {
    if (void* block = bench::new_block(size, __builtin_return_address(0))) return block;
    throw std::bad_alloc();
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return bench::new_block(size, __builtin_return_address(0));
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return bench::new_block(size, __builtin_return_address(0));
}
