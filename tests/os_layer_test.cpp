// The OS layer on its own: the named auto-reset event's results and the
// thread start, the same in the Windows kernel and the posix stand-in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/os.h"

namespace {

constexpr uint32_t kLongMs = 10000;  // a wait that only a fault would run out

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
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongMs);
    while (released == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(released, 1);
    // The other waiter is still waiting; the next signal is its.
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

}  // namespace
