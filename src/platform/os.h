// The few kernel services the module uses: a named auto-reset event and a
// thread. win32.cpp calls the Windows kernel directly; posix.cpp is a
// stand-in with the same results for the native build.
#pragma once

#include <cstdint>

namespace os {

using Handle = void*;

constexpr uint32_t kWaitSignalled = 0;
constexpr uint32_t kWaitTimeout = 0x102;
constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr uint32_t kInfinite = 0xFFFFFFFF;

// Creates an auto-reset, initially clear event, or opens the one that
// already carries this name. Null on failure.
Handle create_event(const char* name);
bool signal_event(Handle event);
// 0 when signalled (consuming the signal), kWaitFailed for a null or closed
// handle, anything else when the time-out ran out. kInfinite never times out.
uint32_t wait_event(Handle event, uint32_t timeoutMs);

using ThreadEntry = unsigned(
#if defined(_WIN32)
    __stdcall
#endif
        *)(void* argument);

// Starts a thread at once; null on failure. The thread holds a reference
// to the module that started it for its whole life, so a host that unloads
// the module while the thread is still inside a host call unmaps nothing
// under it: the reference goes as the thread's very last act, and no other
// is left behind, so the host's last unload after the thread has ended
// unmaps the module.
Handle start_thread(ThreadEntry entry, void* argument);
// Waits for a thread to end, with the results of wait_event.
uint32_t wait_thread(Handle thread, uint32_t timeoutMs);

// Closes an event or a thread handle. A thread that still runs goes on.
void close_handle(Handle handle);
// Closes a handle while the module is being unloaded. The native stand-in
// drops its objects together with the module, so there it does nothing.
void close_at_unload(Handle handle);

}  // namespace os
