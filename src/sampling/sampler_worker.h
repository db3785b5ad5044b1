// SamplerWorker: the background thread that samples the ground elevation
// under every probe point, cycle after cycle, until its stop event is set.
#pragma once

#include <cstdint>

#include "platform/os.h"

// Exit codes of the worker's thread.
constexpr unsigned kWorkerStopped = 1;  // the stop event was signalled
constexpr unsigned kWorkerFailed = 0;   // no surface service, or a failed wait

unsigned
#if defined(_WIN32)
    __stdcall
#endif
    sampler_worker_main(void* unused);

// Starts a worker unless one runs. workerRunning is raised before the
// thread starts, so two updates in quick succession never start two.
void start_worker();
// Signals the stop event and waits up to timeoutMs for the worker to end.
// False when it is still running: whatever it uses must then stay.
bool stop_worker(uint32_t timeoutMs);
// Lets a worker that would not stop end on its own, its thread no longer
// waited for, so that it is not left unjoined when the module goes.
void abandon_worker();
