// SamplerWorker: the background thread that samples the ground elevation
// under every probe point, cycle after cycle, until its stop event is set
// or deinit asks it to stop.
#pragma once

#include <cstdint>

#include "platform/os.h"

// Exit codes of the worker's thread.
constexpr unsigned kWorkerStopped = 1;  // the stop event was signalled, or deinit asked
constexpr unsigned kWorkerFailed = 0;   // no surface service, or a failed wait

unsigned
#if defined(_WIN32)
    __stdcall
#endif
    sampler_worker_main(void* unused);

// Starts a worker unless one runs. workerRunning is raised before the
// thread starts, so two updates in quick succession never start two, and a
// new thread starts only once the previous one has ended.
void start_worker();
// Asks the worker to end after the host call in flight and waits up to
// timeoutMs. False when it is still inside that call: deinit has then
// handed it the table, the stop event and the surface service, and it
// frees them itself once the call returns.
bool stop_worker(uint32_t timeoutMs);
// Closes the handle of a worker that has ended; keeps one that still runs.
void reap_worker();
// A new session has no worker of its own. One that an earlier deinit gave
// up on may still run: it keeps its thread handle, which holds off the next
// worker, and the fields it still reads and writes (stopRequested, which
// must still stop it; workerOwner and the Leftovers, which tell it what to
// free; workerRunning, which it lowers as it ends). Once no worker runs
// they go back to what a fresh load gives.
void begin_worker_session();
