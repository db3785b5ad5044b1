// Fuzz target: the message handler's values. Arbitrary 64-bit argument
// values and null argument objects are delivered through the host's event
// service to the loaded module, half of them from a second thread. After
// every delivery "FSSimIsPaused" must follow 56 (paused) and 57 (resumed)
// alone, and a null argument object must leave it untouched. The callback
// object's QueryInterface is asked for arbitrary interface ids as well.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "fuzz_support.h"
#include "hostsim/pdk_objects.h"

namespace {

using tp_fuzz::check;

// A second thread that runs one delivery at a time for the fuzz thread,
// kept for the whole run: starting a thread per delivery would cost more
// than everything else together.
class Messenger {
public:
    Messenger() : thread_([this] { serve(); }) {}

    void run(std::function<void()> job) {
        std::unique_lock<std::mutex> hold(lock_);
        job_ = std::move(job);
        changed_.notify_all();
        changed_.wait(hold, [this] { return !job_; });
    }

private:
    void serve() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            changed_.wait(hold, [this] { return static_cast<bool>(job_); });
            job_();
            job_ = nullptr;
            changed_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::function<void()> job_;
    std::thread thread_;
};

struct Session {
    Session() : loaded(host) {}
    hostsim::Host host;
    tp_fuzz::LoadedModule loaded;
    Messenger messenger;
};

// One module for the whole run, never unloaded: the messenger thread
// outlives every input, and no worker runs without a gauge.
Session& session() {
    static Session* instance = new Session;
    return *instance;
}

// What "FSSimIsPaused" must read after a delivery of value on top of paused.
double published_after(uint64_t value, double paused) {
    if (value == ids::kMessagePaused) return 1.0;
    if (value == ids::kMessageResumed) return 0.0;
    return paused;
}

void deliver(uint64_t value, bool fromOtherThread) {
    hostsim::Host& host = session().host;
    if (fromOtherThread)
        session().messenger.run([&host, value] { host.deliver_message(value); });
    else
        host.deliver_message(value);
}

void query_interface(FuzzedDataProvider& input) {
    P3D::ICallbackV400* callback = session().host.events().subscriber(0);
    P3D::Guid iid{};
    if (input.ConsumeBool()) {
        iid = input.ConsumeBool() ? ids::kCallbackV400 : ids::kIUnknown;
        iid.data4[input.ConsumeIntegralInRange<int>(0, 7)] ^= input.ConsumeIntegral<uint8_t>();
    } else {
        input.ConsumeData(&iid, sizeof iid);
    }
    callback->AddRef();
    uint32_t held = callback->Release();
    bool known = iid == ids::kCallbackV400 || iid == ids::kIUnknown;
    void* object = &iid;
    P3D::Status status = callback->QueryInterface(iid, &object);
    if (!known) {
        check(status == P3D::kNoInterface && object == nullptr, "QueryInterface answered an unknown id");
        return;
    }
    check(status == P3D::kOk && object == callback, "QueryInterface refused a known id");
    check(callback->Release() == held, "QueryInterface did not add exactly one reference");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    hostsim::Host& host = session().host;
    check(host.subscriber_count() == 1, "the pause callback is not subscribed");
    // Every input starts from a running simulation.
    host.deliver_message(ids::kMessageResumed);
    double paused = 0.0;
    check(host.value("FSSimIsPaused") == paused, "resume did not publish 0");
    while (input.remaining_bytes() > 0) {
        int action = input.ConsumeIntegralInRange<int>(0, 3);
        switch (action) {
        case 0:
            // A null argument object changes nothing, not even a value that
            // someone else wrote meanwhile.
            host.set_value("FSSimIsPaused", 7.0);
            host.deliver_null_message();
            check(host.value("FSSimIsPaused") == 7.0, "a null message touched FSSimIsPaused");
            host.deliver_message(paused ? ids::kMessagePaused : ids::kMessageResumed);
            break;
        case 1:
        case 2: {
            // Values near the two that matter, where an off-by-one would
            // show, or any value at all.
            uint64_t value = action == 1 ? ids::kMessagePaused - 2 + input.ConsumeIntegralInRange<uint64_t>(0, 4)
                                         : input.ConsumeIntegral<uint64_t>();
            deliver(value, input.ConsumeBool());
            paused = published_after(value, paused);
            break;
        }
        default:
            query_interface(input);
            break;
        }
        check(host.value("FSSimIsPaused") == paused, "FSSimIsPaused does not follow the pause messages");
    }
    return 0;
}
