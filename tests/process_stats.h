// What the reliability tests measure of their own process: its threads and
// the heap it holds, on Linux and on Windows (Wine included).
#pragma once

#include <cstddef>
#include <string>
#include <thread>

#include "polling.h"

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#else
#include <dirent.h>
#include <malloc.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TP_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TP_SANITIZER_HEAP 1
#endif
#endif

#if defined(TP_SANITIZER_HEAP)
// From the sanitizer runtime: the bytes its allocator has handed out.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace tp_test {

// Threads of this process now.
inline int thread_count() {
    int count = 0;
#if defined(_WIN32)
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
#else
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return -1;
    while (dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
#endif
    return count;
}

// The calling thread as the system lists it.
inline unsigned long system_thread_id() {
#if defined(_WIN32)
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

// Whether the thread of that system id is still listed in this process:
// a thread just joined may be, for a moment.
inline bool thread_listed(unsigned long id) {
#if defined(_WIN32)
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return true;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool listed = false;
    for (BOOL more = Thread32First(snapshot, &entry); more && !listed; more = Thread32Next(snapshot, &entry))
        listed = entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID == id;
    CloseHandle(snapshot);
    return listed;
#else
    return access(("/proc/self/task/" + std::to_string(id)).c_str(), F_OK) == 0;
#endif
}

// The thread count to compare with later. Runtimes start helper threads
// at first use (ThreadSanitizer at the first thread started), so one thread
// is started and joined before counting, and the count waits until the
// system no longer lists it.
inline int thread_baseline() {
    unsigned long id = 0;
    std::thread([&id] { id = system_thread_id(); }).join();
    eventually([id] { return !thread_listed(id); });
    return thread_count();
}

// Bytes of heap the process holds: what the allocator has handed out, the
// busy blocks of every heap of the process on Windows.
inline size_t heap_in_use() {
#if defined(_WIN32)
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    size_t busy = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return busy;
#elif defined(TP_SANITIZER_HEAP)
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

}  // namespace tp_test
