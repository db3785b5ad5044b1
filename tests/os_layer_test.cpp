// The OS layer on its own: the named auto-reset event's results and the
// thread start, the same in the Windows kernel and the posix stand-in; and
// the module's threads as the loader sees them: they keep the module
// mapped while they run and leave no reference to it behind.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

#include "hostsim/gauge_system.h"
#include "platform/os.h"
#include "test_support.h"

namespace {

constexpr uint32_t kLongMs = 30000;  // a wait that only a fault would run out

bool timed_out(uint32_t result) { return result != os::kWaitSignalled && result != os::kWaitFailed; }

// One waiter on an event: counts itself released when its wait returns 0.
struct Waiter {
    os::Handle event;
    std::atomic<int>* released;
    uint32_t result = 0;
};

unsigned wait_for_signal(void* raw) {
    auto* waiter = static_cast<Waiter*>(raw);
    waiter->result = os::wait_event(waiter->event, os::kInfinite);
    if (waiter->result == os::kWaitSignalled) ++*waiter->released;
    return 0;
}

class OsLayer : public ::testing::Test {
protected:
    ~OsLayer() override {
        for (os::Handle h : handles_) os::close_handle(h);
    }
    os::Handle event(const char* name) {
        os::Handle h = os::create_event(name);
        EXPECT_NE(h, nullptr) << (name ? name : "(unnamed)");
        handles_.push_back(h);
        return h;
    }
    os::Handle thread(Waiter& waiter) {
        os::Handle h = os::start_thread(&wait_for_signal, &waiter);
        EXPECT_NE(h, nullptr);
        handles_.push_back(h);
        return h;
    }

private:
    std::vector<os::Handle> handles_;
};

TEST_F(OsLayer, NewEventIsClearAndWaitsTimeOut) {
    os::Handle e = event("TpOsLayer.Clear");
    for (uint32_t timeoutMs : {0u, 20u}) {
        uint32_t result = os::wait_event(e, timeoutMs);
        EXPECT_TRUE(timed_out(result)) << "timeout " << timeoutMs << " gave " << result;
    }
}

TEST_F(OsLayer, PendingSignalIsConsumedByOneWait) {
    os::Handle e = event("TpOsLayer.Pending");
    EXPECT_TRUE(os::signal_event(e));
    EXPECT_TRUE(os::signal_event(e));  // signals do not add up
    EXPECT_EQ(os::wait_event(e, 0), os::kWaitSignalled);
    EXPECT_TRUE(timed_out(os::wait_event(e, 0)));
    EXPECT_TRUE(os::signal_event(e));
    EXPECT_EQ(os::wait_event(e, os::kInfinite), os::kWaitSignalled);
    EXPECT_TRUE(timed_out(os::wait_event(e, 0)));
}

TEST_F(OsLayer, OneSignalReleasesOneWaitingThread) {
    os::Handle e = event("TpOsLayer.OneOfTwo");
    std::atomic<int> released{0};
    Waiter first{e, &released}, second{e, &released};
    os::Handle threads[] = {thread(first), thread(second)};
    EXPECT_TRUE(os::signal_event(e));
    ASSERT_TRUE(tp_test::eventually([&] { return released > 0; }));
    EXPECT_EQ(released, 1);
    // The other waiter is still waiting; the next signal is its. Had the
    // first signal released both, this one would be left pending below.
    EXPECT_TRUE(os::signal_event(e));
    for (os::Handle t : threads) EXPECT_EQ(os::wait_thread(t, kLongMs), os::kWaitSignalled);
    EXPECT_EQ(released, 2);
    EXPECT_TRUE(timed_out(os::wait_event(e, 0)));
}

TEST_F(OsLayer, InfiniteWaitEndsOnSignalFromAnotherThread) {
    os::Handle e = event(nullptr);
    std::atomic<int> released{0};
    Waiter waiter{e, &released};
    os::Handle t = thread(waiter);
    EXPECT_TRUE(timed_out(os::wait_thread(t, 50)));  // still waiting
    std::thread([e] { os::signal_event(e); }).join();
    EXPECT_EQ(os::wait_thread(t, kLongMs), os::kWaitSignalled);
    EXPECT_EQ(waiter.result, os::kWaitSignalled);
    // A finished thread stays signalled for every later wait.
    EXPECT_EQ(os::wait_thread(t, 0), os::kWaitSignalled);
}

TEST_F(OsLayer, SameNameOpensTheSameEventAndUnnamedEventsAreDistinct) {
    os::Handle a = event("TpOsLayer.Shared");
    os::Handle b = event("TpOsLayer.Shared");
    EXPECT_TRUE(os::signal_event(a));
    EXPECT_EQ(os::wait_event(b, 0), os::kWaitSignalled);
    EXPECT_TRUE(timed_out(os::wait_event(a, 0)));  // the one signal is gone

    os::Handle c = event(nullptr);
    os::Handle d = event(nullptr);
    EXPECT_TRUE(os::signal_event(c));
    EXPECT_TRUE(timed_out(os::wait_event(d, 0)));
    EXPECT_EQ(os::wait_event(c, 0), os::kWaitSignalled);
}

TEST_F(OsLayer, WaitOnNullHandleFails) {
    EXPECT_EQ(os::wait_event(nullptr, 0), os::kWaitFailed);
    EXPECT_EQ(os::wait_event(nullptr, os::kInfinite), os::kWaitFailed);
    EXPECT_FALSE(os::signal_event(nullptr));
}

#if !defined(_WIN32)
// Windows may hand a closed handle's value to a new object, so only the
// stand-in promises this.
TEST(OsLayerPosix, WaitOnClosedHandleFails) {
    os::Handle e = os::create_event("TpOsLayer.Closed");
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(os::signal_event(e));
    os::close_handle(e);
    EXPECT_EQ(os::wait_event(e, os::kInfinite), os::kWaitFailed);
    EXPECT_FALSE(os::signal_event(e));
    // The event, and its signal, died with its last handle.
    os::Handle again = os::create_event("TpOsLayer.Closed");
    EXPECT_TRUE(timed_out(os::wait_event(again, 0)));
    os::close_handle(again);
}
#endif

// The file of a loaded module as the loader names it.
std::string loaded_path(const hostsim::Module& module) {
#if defined(_WIN32)
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(static_cast<HMODULE>(module.native_handle()), path, MAX_PATH);
    return std::string(path, n);
#else
    link_map* map = nullptr;
    return dlinfo(module.native_handle(), RTLD_DI_LINKMAP, &map) == 0 ? map->l_name : "";
#endif
}

// Whether the module of that file is mapped in the process.
bool mapped(const std::string& path) {
#if defined(_WIN32)
    return GetModuleHandleA(path.c_str()) != nullptr;
#else
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
#endif
}

// Whether a worker has ended a cycle since the log was last cleared: each
// cycle ends with its read of the interval, on the worker's own thread.
bool cycle_ended(const hostsim::Host& host) {
    for (const hostsim::Call& call : host.calls())
        if (call.op == "get" && call.name == "WZ_UpdateInterval" && call.thread != std::this_thread::get_id())
            return true;
    return false;
}

// A host that loads the module once, runs its vorn gauge and unloads it
// with its one FreeLibrary; the module's threads must not keep it mapped
// once they have ended, whatever C runtime it was built with.
class ModuleThreads : public ::testing::Test {
protected:
    ModuleThreads() : module(std::make_unique<hostsim::Module>(host, hostsim::default_module_path())) {
        path = loaded_path(*module);
        module->init();
        vorn = std::make_unique<hostsim::Gauge>(*module, "vorn", "3");
        vorn->install();
        host.set_value("WZ_Active", 1.0);
    }
    ~ModuleThreads() override { tp_test::expect_no_faults(host); }

    // The gauge's disconnect and kill, deinit, and the host's only unload.
    void unload() {
        vorn->unload();
        vorn.reset();
        module->deinit();
        module.reset();
    }

    hostsim::Host host;
    std::unique_ptr<hostsim::Module> module;
    std::unique_ptr<hostsim::Gauge> vorn;
    std::string path;
};

// Two workers in turn, each stopped by a disconnect, then the unload. A
// worker that waits for its stop makes no host call after its one cycle,
// so the cycle ended after the first one's stop is the second's.
TEST_F(ModuleThreads, TheOnlyUnloadAfterASessionUnmapsTheModule) {
    ASSERT_FALSE(path.empty());
    host.set_value("WZ_UpdateInterval", -1.0);
    for (int worker = 0; worker < 2; ++worker) {
        SCOPED_TRACE(worker);
        host.clear_calls();
        ASSERT_TRUE(tp_test::eventually([&] {
            vorn->frame();
            return cycle_ended(host);
        }));
        vorn->send(kDisconnect);
    }
    EXPECT_TRUE(mapped(path));
    unload();
    // The last worker may still be on its way out of its thread.
    EXPECT_TRUE(tp_test::eventually([&] { return !mapped(path); })) << path;
}

// The host unloads the module while its worker is inside a host call that
// outlasts deinit's wait: the worker's own reference keeps the code mapped
// until the call returns, and goes with the worker.
TEST_F(ModuleThreads, AWorkerKeepsTheModuleMappedUntilItEnds) {
    ASSERT_FALSE(path.empty());
    auto ground = std::make_shared<tp_test::HeldTerrain>();
    host.set_terrain(ground);
    vorn->frame();
    ASSERT_TRUE(tp_test::eventually([&] { return ground->held(); }));
    unload();
    EXPECT_TRUE(mapped(path));
    ground->release();
    EXPECT_TRUE(tp_test::eventually([&] { return !mapped(path); })) << path;
}

}  // namespace
