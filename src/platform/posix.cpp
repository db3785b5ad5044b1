// The OS layer for the native build: a small stand-in for the Windows
// kernel objects the module uses. Handles are numbers looked up in a table,
// never reused, so a closed or made-up handle fails as it does on Windows
// instead of touching freed memory. Named events live as long as a handle
// to them is open, and a second create of the same name opens the same one.
// A thread keeps its module loaded as a Windows thread does with
// FreeLibraryAndExitThread (see module_reference below).
#include <dlfcn.h>
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/os.h"

namespace os {
namespace {

// A signalled flag under a lock. Events reset on the wait that consumes the
// signal; a finished thread stays signalled for every waiter.
struct Waitable {
    std::mutex lock;
    std::condition_variable changed;
    bool signalled = false;
    bool autoReset = true;

    void signal() {
        {
            std::lock_guard<std::mutex> hold(lock);
            signalled = true;
        }
        if (autoReset)
            changed.notify_one();
        else
            changed.notify_all();
    }

    uint32_t wait(uint32_t timeoutMs) {
        std::unique_lock<std::mutex> hold(lock);
        auto ready = [this] { return signalled; };
        // A zero time-out only tests the flag: a timed wait that has already
        // expired still costs some 20 us in the kernel.
        if (timeoutMs == kInfinite)
            changed.wait(hold, ready);
        else if (timeoutMs == 0 ? !ready() : !changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), ready))
            return kWaitTimeout;
        if (autoReset) signalled = false;
        return kWaitSignalled;
    }
};

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
    std::shared_ptr<Waitable> done;
    void* self;  // the thread's reference to this module, or null
};

struct Object {
    std::shared_ptr<Waitable> waitable;
    std::string name;
    pthread_t thread{};
    bool isThread = false;
};

// dlclose as a key destructor: the C library ignores a destructor's
// result, which every calling convention returns in a register, so an int
// result where none is expected is harmless.
using KeyDestructor = void (*)(void*);
KeyDestructor dlclose_as_destructor() {
    return reinterpret_cast<KeyDestructor>(reinterpret_cast<void (*)()>(&dlclose));
}

// Every open handle, and every named event by name while a handle is open.
struct HandleTable {
    std::mutex lock;
    uintptr_t nextHandle = 1;
    std::map<uintptr_t, Object> objects;
    std::map<std::string, std::weak_ptr<Waitable>> named;

    // A thread's reference to the module is dropped by the C library as
    // the thread exits, after the last of the module's code has run: the
    // reference is the value of this key and dlclose itself its destructor.
    // A destructor of the module's own that called dlclose would return
    // into code dlclose may just have unmapped; only a tail call would not,
    // which no compiler promises (ThreadSanitizer's instrumentation, for
    // one, prevents it).
    pthread_key_t moduleReference{};
    bool haveModuleReference = pthread_key_create(&moduleReference, dlclose_as_destructor()) == 0;

    // At unload, a thread whose handle was never closed (one that deinit
    // had to leave behind) is let go, so the system reclaims it once it ends.
    ~HandleTable() {
        for (auto& entry : objects)
            if (entry.second.isThread) pthread_detach(entry.second.thread);
        if (haveModuleReference) pthread_key_delete(moduleReference);
    }

    Handle add(Object object) {
        std::lock_guard<std::mutex> hold(lock);
        uintptr_t handle = nextHandle++;
        objects.emplace(handle, std::move(object));
        return reinterpret_cast<Handle>(handle);
    }

    std::shared_ptr<Waitable> find(Handle handle) {
        std::lock_guard<std::mutex> hold(lock);
        auto it = objects.find(reinterpret_cast<uintptr_t>(handle));
        return it == objects.end() ? nullptr : it->second.waitable;
    }
};

HandleTable& handles() {
    static HandleTable table;
    return table;
}

// A new reference to the loaded object this code is part of, or null when
// it is part of the program itself, which is never unloaded.
void* module_reference() {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&module_reference), &info) || !info.dli_fname) return nullptr;
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

void* run_thread(void* raw) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
    if (start->self) pthread_setspecific(handles().moduleReference, start->self);
    start->entry(start->argument);
    start->done->signal();
    return nullptr;
}

}  // namespace

Handle create_event(const char* name) try {
    HandleTable& table = handles();
    std::shared_ptr<Waitable> event;
    std::string key = name ? name : "";
    if (!key.empty()) {
        std::lock_guard<std::mutex> hold(table.lock);
        std::weak_ptr<Waitable>& slot = table.named[key];
        event = slot.lock();
        if (!event) slot = event = std::make_shared<Waitable>();
    } else {
        event = std::make_shared<Waitable>();
    }
    return table.add(Object{event, key});
} catch (...) {
    return nullptr;  // out of memory: the creation fails, as the kernel's would
}

bool signal_event(Handle event) {
    std::shared_ptr<Waitable> waitable = handles().find(event);
    if (!waitable || !waitable->autoReset) return false;
    waitable->signal();
    return true;
}

uint32_t wait_event(Handle event, uint32_t timeoutMs) {
    std::shared_ptr<Waitable> waitable = handles().find(event);
    return waitable ? waitable->wait(timeoutMs) : kWaitFailed;
}

Handle start_thread(ThreadEntry entry, void* argument) try {
    if (!handles().haveModuleReference) return nullptr;
    auto done = std::make_shared<Waitable>();
    done->autoReset = false;
    auto* start = new ThreadStart{entry, argument, done, nullptr};
    start->self = module_reference();
    pthread_t thread;
    if (pthread_create(&thread, nullptr, run_thread, start) != 0) {
        if (start->self) dlclose(start->self);
        delete start;
        return nullptr;
    }
    Object object{done, {}, thread, true};
    return handles().add(std::move(object));
} catch (...) {
    return nullptr;
}

uint32_t wait_thread(Handle thread, uint32_t timeoutMs) { return wait_event(thread, timeoutMs); }

void close_handle(Handle handle) {
    HandleTable& table = handles();
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end()) return;
    Object& object = it->second;
    if (object.isThread) {
        // A finished thread is joined; one that still runs is left to end by itself.
        if (object.waitable->wait(0) == kWaitSignalled)
            pthread_join(object.thread, nullptr);
        else
            pthread_detach(object.thread);
    }
    std::string name = object.name;
    table.objects.erase(it);
    if (!name.empty()) {
        auto named = table.named.find(name);
        if (named != table.named.end() && named->second.expired()) table.named.erase(named);
    }
}

void close_at_unload(Handle) {}

}  // namespace os
