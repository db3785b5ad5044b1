// The OS layer on Windows: the kernel's own named events and threads.
#include <windows.h>

#include <new>

#include "platform/os.h"

namespace os {

Handle create_event(const char* name) { return CreateEventA(nullptr, FALSE, FALSE, name); }

bool signal_event(Handle event) { return SetEvent(event) != FALSE; }

uint32_t wait_event(Handle event, uint32_t timeoutMs) { return WaitForSingleObject(event, timeoutMs); }

namespace {

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
    HMODULE self;
};

// A thread of this module is the kernel's own (CreateThread) whatever C
// runtime the module links, because the runtimes' _beginthreadex differ
// in what they hold: the Universal CRT's (MSVC's, /MD and /MT alike) takes
// a reference to the module of the start routine and drops it only when
// the routine returns, msvcrt.dll's takes none. So the module's own
// reference is the only one on every runtime: taken before the thread
// starts, dropped by FreeLibraryAndExitThread as the thread's last act,
// once the last of the module's code has run. The thread's code uses
// nothing of the runtime's per-thread state (both runtimes would set it
// up on first use and free it at the thread's end regardless).
DWORD WINAPI run_thread(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    FreeLibraryAndExitThread(start.self, start.entry(start.argument));
}

HMODULE reference_this_module() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&reference_this_module),
                       &self);
    return self;
}

}  // namespace

Handle start_thread(ThreadEntry entry, void* argument) {
    HMODULE self = reference_this_module();
    if (!self) return nullptr;
    ThreadStart* start = new (std::nothrow) ThreadStart{entry, argument, self};
    HANDLE thread = start ? CreateThread(nullptr, 0, run_thread, start, 0, nullptr) : nullptr;
    if (thread) return thread;
    delete start;
    FreeLibrary(self);
    return nullptr;
}

uint32_t wait_thread(Handle thread, uint32_t timeoutMs) { return WaitForSingleObject(thread, timeoutMs); }

void close_handle(Handle handle) { CloseHandle(handle); }

// After a clean deinit nothing is left to close.
void close_at_unload(Handle handle) {
    if (handle) close_handle(handle);
}

}  // namespace os
