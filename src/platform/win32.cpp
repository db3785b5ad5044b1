// The OS layer on Windows: the kernel's own named events and threads.
#include <windows.h>
#include <process.h>

#include "platform/os.h"

namespace os {

Handle create_event(const char* name) { return CreateEventA(nullptr, FALSE, FALSE, name); }

bool signal_event(Handle event) { return SetEvent(event) != FALSE; }

uint32_t wait_event(Handle event, uint32_t timeoutMs) { return WaitForSingleObject(event, timeoutMs); }

Handle start_thread(ThreadEntry entry, void* argument) {
    return reinterpret_cast<Handle>(_beginthreadex(nullptr, 0, entry, argument, 0, nullptr));
}

uint32_t wait_thread(Handle thread, uint32_t timeoutMs) { return WaitForSingleObject(thread, timeoutMs); }

void close_handle(Handle handle) { CloseHandle(handle); }

// After a clean deinit nothing is left to close.
void close_at_unload(Handle handle) {
    if (handle) close_handle(handle);
}

}  // namespace os
