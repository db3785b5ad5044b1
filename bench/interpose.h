// What the benchmarks see of the module from outside the module: every heap
// allocation made in this process and the end of every thread. The module
// is dlopen'ed into the bench process, so its calls to malloc, operator new
// and pthread_create bind to the definitions in interpose.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// Allocations the calling thread has made so far (malloc, calloc,
// realloc, the aligned forms and operator new).
uint64_t thread_allocations();

// Watches allocations whose caller is code in [begin, end): set to a loaded
// module's image to tell its own allocations from the host's.
void watch_code(uintptr_t begin, uintptr_t end);
// Sizes of the watched allocations since the last call, oldest first (the
// first few hundred only).
std::vector<size_t> take_watched_sizes();

// Threads started and ended so far, and the monotonic time in nanoseconds
// at which the last one ended (just after its start routine returned).
uint64_t threads_started();
uint64_t threads_ended();
int64_t last_thread_end_ns();
// Blocks until threads_ended() reaches count; throws std::runtime_error
// after timeoutMs, so that a worker that never stops fails the run instead
// of hanging it.
void wait_threads_ended(uint64_t count, int timeoutMs = 30000);

}  // namespace bench
