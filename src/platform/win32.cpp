// The OS layer on Windows: the kernel's own named events and threads.
#include <windows.h>
#include <process.h>

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

// msvcrt.dll's _beginthreadex takes no reference to the module the thread
// runs in, so the thread drops its own, from kernel32, as it exits.
unsigned __stdcall run_thread(void* raw) {
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
    uintptr_t thread = start ? _beginthreadex(nullptr, 0, run_thread, start, 0, nullptr) : 0;
    if (thread) return reinterpret_cast<Handle>(thread);
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
