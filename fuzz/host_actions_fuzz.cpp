// Fuzz target: random sequences of host actions against the loaded module.
// Each input is one session on a fresh host: loads, refusals, gauge codes,
// frames, pause and resume from another thread, clicks, variable writes
// (NaN and infinities included), interval changes, surface failures and
// hangs, disconnects, deinit and reload. Throughout, the control variables
// must tell the truth and every text must fit its element; at the end of
// the session every reference is back, no trapped entry was called and no
// thread of the module is left.
#include <pthread.h>

#include <optional>
#include <string>
#include <thread>

#include "fuzz_support.h"
#include "oracles.h"
#include "tests/polling.h"
#include "tests/process_stats.h"

namespace {

using tp_fuzz::check;
using tp_test::thread_count;

// A parameter string from the characters atoi cares about, at most two
// of them, so tables stay small enough for thousands of runs a second.
std::optional<std::string> parameters(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0) return std::nullopt;
    static const char kAlphabet[] = " -+0123456789x";
    std::string text;
    for (int n = input.ConsumeIntegralInRange<int>(0, 2); n > 0; --n)
        text += kAlphabet[input.ConsumeIntegralInRange<size_t>(0, sizeof kAlphabet - 2)];
    return text;
}

// The threads of the process before the first session: libFuzzer's own.
// Threads started from then on get small stacks: the worker needs little,
// and an 8 MB stack mapped, shadowed and unmapped for every session would
// cost more than the session.
int baseline_threads() {
    static const int kBaseline = [] {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 256u << 10);
        pthread_setattr_default_np(&attributes);
        pthread_attr_destroy(&attributes);
        return thread_count();
    }();
    return kBaseline;
}

// True once the process is back to its baseline threads. A worker whose
// handle was closed just as it ended may take a moment to go, a long one
// on a busy machine.
bool threads_settle() {
    return tp_test::eventually([] { return thread_count() <= baseline_threads(); });
}

class Session {
public:
    explicit Session(FuzzedDataProvider& input) : input_(input) { host_.set_logging(false); }
    ~Session() { end(); }

    void run() {
        baseline_threads();
        load();
        while (input_.remaining_bytes() > 0) step();
    }

private:
    enum Action {
        kInstallVorn, kVornFrame, kVornCode, kVornUnload, kDisplay, kClick, kPause, kWrite, kInterval,
        kRefuse, kSurfaceMode, kReleaseHang, kReload, kActionCount
    };

    void step() {
        switch (input_.ConsumeIntegralInRange<int>(0, kActionCount - 1)) {
        case kInstallVorn:
            vorn_.reset();
            vornParameters_ = parameters(input_);
            vorn_ = std::make_unique<hostsim::Gauge>(*module_, "vorn", vornParameters_);
            vorn_->install();
            after_code(kPreInitialise);
            break;
        case kVornFrame:
            if (!vorn_) break;
            vorn_->frame();
            after_code(kPreUpdate);
            break;
        case kVornCode: {
            if (!vorn_) break;
            int32_t code = input_.ConsumeBool() ? input_.ConsumeIntegralInRange<int32_t>(0, 17)
                                                : input_.ConsumeIntegral<int32_t>();
            vorn_->send(code);
            after_code(code);
            break;
        }
        case kVornUnload:
            if (vorn_) vorn_->unload();
            break;
        case kDisplay:
            if (!display_) {
                display_ = std::make_unique<hostsim::Gauge>(*module_, "display");
                display_->install();
            }
            display_->frame();
            for (const hostsim::TextView& text : display_->update_texts())
                check(text.text.size() < text.element->maxLength, "a text fills its element");
            break;
        case kClick:
            if (display_)
                display_->click(input_.ConsumeIntegralInRange<int32_t>(-5, 305),
                                input_.ConsumeIntegralInRange<int32_t>(-5, 80));
            break;
        case kPause:
            deliver_from_other_thread();
            break;
        case kWrite:
            write_variable();
            break;
        case kInterval:
            host_.set_value("WZ_UpdateInterval", input_.ConsumeBool() ? input_.ConsumeIntegralInRange<int>(-2, 60)
                                                                      : tp_fuzz::any_double(input_));
            break;
        case kRefuse:
            refuse();
            break;
        case kSurfaceMode: {
            static const hostsim::SurfaceMode kModes[] = {hostsim::SurfaceMode::Normal, hostsim::SurfaceMode::Failing,
                                                          hostsim::SurfaceMode::Slow, hostsim::SurfaceMode::Hanging};
            // A slow surface only yields: a real delay would make every
            // session that meets it wait out whole cycles.
            host_.set_surface_mode(kModes[input_.ConsumeIntegralInRange<int>(0, 3)], 0);
            break;
        }
        case kReleaseHang:
            host_.release_hang();
            break;
        case kReload:
            unload();
            load();
            break;
        }
    }

    // The parts of the vorn gauge's state that the host can see, followed
    // code by code: the point count, the table's count once it is built.
    void after_code(int32_t code) {
        bool readsParameters = code == kPreInitialise || (code == kPreUpdate && pointCount_ == 0);
        if (readsParameters && vornParameters_) pointCount_ = tp_fuzz::expected_point_count(vornParameters_->c_str());
        if (code == kPreUpdate && tableCount_ == 0 && pointCount_ > 0) tableCount_ = pointCount_;
        if (tableCount_ > 0) check(host_.value("WZ_PointCount") == tableCount_, "WZ_PointCount is not the table's count");
    }

    void deliver_from_other_thread() {
        join_messenger();
        uint64_t first = input_.ConsumeBool() ? ids::kMessagePaused : ids::kMessageResumed;
        uint64_t second = input_.ConsumeIntegralInRange<uint64_t>(55, 58);
        messenger_ = std::thread([this, first, second] {
            host_.deliver_message(first);
            host_.deliver_message(second);
        });
    }

    void join_messenger() {
        if (messenger_.joinable()) messenger_.join();
        double paused = host_.value("FSSimIsPaused");
        check(std::isnan(paused) || paused == 0.0 || paused == 1.0, "FSSimIsPaused is neither 0 nor 1");
    }

    void write_variable() {
        static const char* const kNames[] = {"WZ_Active", "WZPointLat_0", "WZPointLon_0", "WZPointAlt_0",
                                             "WZPointElevation_0", "WZPointLat_1", "WZPointAlt_2"};
        const char* name = kNames[input_.ConsumeIntegralInRange<size_t>(0, sizeof kNames / sizeof kNames[0] - 1)];
        host_.set_value(name, tp_fuzz::any_double(input_));
    }

    // Refusals take effect at the next init, that is at the next reload.
    void refuse() {
        hostsim::Refusals& refusals = host_.refusals();
        int which = input_.ConsumeIntegralInRange<int>(0, ids::kServiceCount + 3);
        if (which == 0) refusals.rootPreferred = !refusals.rootPreferred;
        else if (which == 1) refusals.rootFallback = !refusals.rootFallback;
        else if (which == 2) refusals.surface = !refusals.surface;
        else if (which == 3) refusals.subscription = !refusals.subscription;
        else refusals.services[static_cast<size_t>(which - 4)] = !refusals.services[static_cast<size_t>(which - 4)];
    }

    void load() {
        try {
            module_ = std::make_unique<hostsim::Module>(host_, hostsim::default_module_path());
        } catch (const hostsim::LoadError& error) {
            tp_fuzz::fail(error.what());
        }
        const hostsim::Refusals& refused = host_.refusals();
        bool root = !refused.rootPreferred || !refused.rootFallback;
        double surfaceBefore = host_.value("WZ_pSurface");
        module_->init();
        check(host_.value("WZ_PDK") == (root ? 1.0 : 0.0), "WZ_PDK does not tell whether the root was obtained");
        if (root)
            check(host_.value("WZ_pSurface") == (refused.surface ? 0.0 : 1.0), "WZ_pSurface does not tell the truth");
        else
            check(std::isnan(surfaceBefore) ? host_.value("WZ_pSurface") == 0.0
                                            : host_.value("WZ_pSurface") == surfaceBefore,
                  "WZ_pSurface changed without a root");
        bool subscribed = root && !refused.surface && !refused.services[0] && !refused.subscription;
        check(host_.subscriber_count() == (subscribed ? 1u : 0u), "the pause callback's subscription is wrong");
        pointCount_ = 0;
        tableCount_ = 0;
    }

    // As a host closes a session: the gauges disconnect, then deinit and
    // unload. A hung surface is let go first, so the worker can end.
    void unload() {
        host_.release_hang();
        join_messenger();
        if (vorn_) vorn_->unload();
        vorn_.reset();
        display_.reset();
        module_->deinit();
        check(host_.subscriber_count() == 0, "the pause callback is still subscribed after deinit");
        check(host_.ledger().outstanding() == 0, "a host reference is still held after deinit");
        module_.reset();
    }

    void end() {
        if (module_) unload();
        check(host_.ledger().report().empty(), "the reference ledger is not balanced");
        check(host_.traps().empty(), "the module called an entry it must not call");
        check(threads_settle(), "a thread of the module is still running");
    }

    FuzzedDataProvider& input_;
    hostsim::Host host_;
    std::unique_ptr<hostsim::Module> module_;
    std::unique_ptr<hostsim::Gauge> vorn_;
    std::unique_ptr<hostsim::Gauge> display_;
    std::optional<std::string> vornParameters_;
    std::thread messenger_;
    int32_t pointCount_ = 0;
    int32_t tableCount_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Session(input).run();
    return 0;
}
