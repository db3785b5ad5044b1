// Module entry, driven through the exports as a host drives it: init's
// calls and their order, every refusal init must survive, deinit and the
// reference ledger afterwards, the control variables, and the pause
// callback as the host's event service sees it.
#include <algorithm>
#include <cctype>
#include <future>
#include <optional>
#include <thread>
#include <tuple>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "host/guids.h"
#include "hostsim/pdk_objects.h"
#include "test_support.h"

namespace {

using tp_test::ModuleTest;

const char* const kControls[] = {"FSSimIsPaused", "WZ_Active",   "WZ_UpdateInterval",
                                 "WZ_PointCount", "WZ_pSurface", "WZ_PDK"};

std::string describe(const hostsim::Call& call) { return call.op + " " + call.name; }

// The calls of the log whose op is one of ops, as "op name".
std::vector<std::string> calls_of(const hostsim::Host& host, std::initializer_list<const char*> ops) {
    std::vector<std::string> found;
    for (const hostsim::Call& call : host.calls())
        if (std::any_of(ops.begin(), ops.end(), [&](const char* op) { return call.op == op; }))
            found.push_back(describe(call));
    return found;
}

// Names as the host compares them, without case.
bool same_name(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

size_t count_of(const hostsim::Host& host, const std::string& wanted) {
    auto calls = host.calls();
    return static_cast<size_t>(
        std::count_if(calls.begin(), calls.end(), [&](const hostsim::Call& c) { return describe(c) == wanted; }));
}

class ModuleEntry : public ModuleTest {
protected:
    P3D::ICallbackV400* callback() const { return host.events().subscriber(0); }
};

// The calls that attach a variable the host does not have yet, as the
// host's profile answers the module's entry 50 then 49: a registration (and
// a look-up after it for the id 0), or a look-up that finds none and then
// the registration.
std::vector<const char*> attach_ops(const hostsim::Host& host, bool firstVariable) {
    if (host.named_var_profile() == hostsim::NamedVarProfile::IdsFromOne) return {"check", "register", "get"};
    if (firstVariable) return {"register", "check", "get"};
    return {"register", "get"};
}

TEST_F(ModuleEntry, InitCallsTheHostInOrderOnItsThread) {
    module->init();
    std::vector<std::string> expected;
    for (const char* name : kControls)
        for (const char* op : attach_ops(host, name == kControls[0])) expected.push_back(std::string(op) + " " + name);
    expected.insert(expected.end(),
                    {"units radians", "units feet", "get_pdk preferred", "set WZ_PDK", "AddRef PdkRoot"});
    for (int field : {1, 2, 3, 6, 7, 8, 9, 5, 4, 10, 11, 12, 13, 14, 15, 16, 17, 18})
        expected.push_back("QueryService Service" + std::to_string(field));
    expected.insert(expected.end(), {"QueryService SurfaceService", "set WZ_pSurface", "Subscribe EventService"});

    std::vector<std::string> seen;
    for (const hostsim::Call& call : host.calls()) {
        EXPECT_EQ(call.thread, std::this_thread::get_id()) << describe(call);
        bool rootAddRef = call.op == "AddRef" && call.name == "PdkRoot";
        if (call.op != "QueryInterface" && (call.op != "AddRef" || rootAddRef)) seen.push_back(describe(call));
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(host.calls().back().op, "Subscribe");
    shut_down_cleanly();
}

// One way the host may answer init, and what init must make of it.
struct Variant {
    std::string name;
    hostsim::Refusals refusals;
    std::vector<std::string> rootRequests;
    double pdk;      // "WZ_PDK" after init
    double surface;  // "WZ_pSurface" after init; it starts at 7 to show when init leaves it alone
    size_t serviceQueries;
    bool surfaceQueried;
    bool subscribed;
    int held;  // references the module holds after init
};

std::vector<Variant> init_variants() {
    const std::vector<std::string> preferred = {"get_pdk preferred"};
    const std::vector<std::string> both = {"get_pdk preferred", "get_pdk fallback"};
    hostsim::Refusals none, firstRoot, roots, surface, events;
    firstRoot.rootPreferred = true;
    roots.rootPreferred = roots.rootFallback = true;
    surface.surface = true;
    events.services[0] = true;
    // The root twice (the module and the set), eighteen services, the surface.
    std::vector<Variant> variants = {
        {"AllAccepted", none, preferred, 1, 1, 18, true, true, 21},
        {"FirstRootIdRefused", firstRoot, both, 1, 1, 18, true, true, 21},
        {"BothRootIdsRefused", roots, both, 0, 7, 0, false, false, 0},
        {"SurfaceRefused", surface, preferred, 1, 0, 18, true, false, 20},
        {"EventServiceRefused", events, preferred, 1, 1, 18, true, false, 20},
    };
    for (int field = 2; field <= ids::kServiceCount; ++field) {
        hostsim::Refusals one;
        one.services[static_cast<size_t>(field - 1)] = true;
        variants.push_back({"Service" + std::to_string(field) + "Refused", one, preferred, 1, 1, 18, true, true, 20});
    }
    return variants;
}

// Test names show the variant, not the record's bytes.
void PrintTo(const Variant& v, std::ostream* out) { *out << v.name; }

class InitVariant : public ModuleTest, public ::testing::WithParamInterface<Variant> {};

TEST_P(InitVariant, AcquiresWhatTheHostGrantsAndGivesItAllBack) {
    const Variant& v = GetParam();
    host.refusals() = v.refusals;
    host.set_value("WZ_pSurface", 7.0);
    module->init();

    EXPECT_EQ(calls_of(host, {"get_pdk"}), v.rootRequests);
    EXPECT_EQ(host.value("WZ_PDK"), v.pdk);
    EXPECT_EQ(host.value("WZ_pSurface"), v.surface);
    auto queries = calls_of(host, {"QueryService"});
    EXPECT_EQ(std::count(queries.begin(), queries.end(), "QueryService SurfaceService"), v.surfaceQueried ? 1 : 0);
    EXPECT_EQ(queries.size(), v.serviceQueries + (v.surfaceQueried ? 1 : 0));
    EXPECT_EQ(count_of(host, "Subscribe EventService"), v.subscribed ? 1u : 0u);
    EXPECT_EQ(host.subscriber_count(), v.subscribed ? 1u : 0u);
    EXPECT_EQ(host.ledger().outstanding(), v.held) << host.ledger().report();

    // Whatever the callback's fate, messages reach nothing else and no
    // unsubscription is made for a subscription that never was.
    host.deliver_message(ids::kMessagePaused);
    EXPECT_EQ(host.value("FSSimIsPaused"), v.subscribed ? 1.0 : 0.0);
    shut_down_cleanly();
    EXPECT_EQ(count_of(host, "Unsubscribe EventService"), v.subscribed ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Refusals, InitVariant, ::testing::ValuesIn(init_variants()),
                         [](const ::testing::TestParamInfo<Variant>& info) { return info.param.name; });

TEST_F(ModuleEntry, DeinitWithoutGaugesReleasesInOrder) {
    module->init();
    host.clear_calls();
    shut_down_cleanly();
    auto released = calls_of(host, {"Unsubscribe", "Release"});
    ASSERT_EQ(released.size(), 22u);
    // Callback first, then the surface, the module's root, and the set: its
    // root, then its eighteen services.
    std::vector<std::string> first(released.begin(), released.begin() + 4);
    EXPECT_EQ(first, (std::vector<std::string>{"Unsubscribe EventService", "Release SurfaceService",
                                               "Release PdkRoot", "Release PdkRoot"}));
    std::vector<std::string> services(released.begin() + 4, released.end());
    std::vector<std::string> expected = {"Release EventService"};
    for (int field = 2; field <= ids::kServiceCount; ++field) expected.push_back("Release Service" + std::to_string(field));
    std::sort(services.begin(), services.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(services, expected);
}

// Another gauge made "FSSimIsPaused" first (id 0 on the published host)
// and "wz_active" in its own case: the module shares both.
TEST_F(ModuleEntry, ExistingControlVariablesKeepTheirIdsAndValues) {
    host.set_value("FSSimIsPaused", 1.0);
    host.set_value("wz_active", 3.5);
    const int32_t paused = host.check_var("FSSimIsPaused"), active = host.check_var("wz_active");
    EXPECT_EQ(paused, host.named_var_profile() == hostsim::NamedVarProfile::Published ? 0 : 1);
    size_t before = host.var_count();
    module->init();
    EXPECT_EQ(host.var_count(), before + 4);
    for (const auto& [name, id, value] : {std::tuple<std::string, int32_t, double>{"FSSimIsPaused", paused, 1.0},
                                          {"WZ_Active", active, 3.5}}) {
        for (const hostsim::Call& call : host.calls()) {
            if (!same_name(call.name, name)) continue;
            bool attachedToIt = (call.op != "check" && call.op != "register") || call.value == id;
            bool getReadIt = call.op != "get" || call.value == value;
            EXPECT_TRUE(attachedToIt && getReadIt) << describe(call) << " = " << call.value;
        }
    }
    // The module writes through the id the other gauge registered.
    host.deliver_message(ids::kMessageResumed);
    EXPECT_EQ(host.value("FSSimIsPaused"), 0.0);
    shut_down_cleanly();
}

// hostsim's named-variable entries as each profile answers them: the
// look-up's answer for an absent name, ids from 0 or 1, names without case.
TEST(HostsimNamedVars, EntriesAnswerAsTheProfileSays) {
    using hostsim::NamedVarProfile;
    const struct {
        NamedVarProfile profile, other;
        PanelEntry lookUp, registration;
        int32_t absent, first;
    } table[] = {
        {NamedVarProfile::Published, NamedVarProfile::IdsFromOne, kCheckNamedVar, kRegisterNamedVar, -1, 0},
        {NamedVarProfile::IdsFromOne, NamedVarProfile::Published, kRegisterNamedVar, kCheckNamedVar, 0, 1},
    };
    for (const auto& row : table) {
        hostsim::Host host;
        host.set_named_var_profile(row.profile);
        SCOPED_TRACE(hostsim::profile_name(row.profile));
        auto at = [&](PanelEntry entry) { return reinterpret_cast<CheckNamedVarFn>(host.panel_table()[entry]); };
        EXPECT_EQ(at(row.lookUp)("Var"), row.absent);
        EXPECT_EQ(at(row.registration)("Var"), row.first);
        EXPECT_EQ(at(row.registration)("VAR"), row.first);
        EXPECT_EQ(at(row.lookUp)("var"), row.first);
        EXPECT_EQ(at(row.registration)("Other"), row.first + 1);
        EXPECT_EQ(host.var_count(), 2u);
        EXPECT_EQ(host.value("vAr"), 0.0);
        EXPECT_THROW(host.set_named_var_profile(row.other), std::logic_error);
    }
}

TEST_F(ModuleEntry, PauseMessagesFromAnotherThreadPublishThePauseState) {
    module->init();
    struct Delivery {
        const char* what;
        std::optional<uint64_t> message;  // none: a null argument object
        double paused;                    // "FSSimIsPaused" afterwards
        bool published;
    };
    const Delivery deliveries[] = {
        {"resumed before any pause", 57, 0.0, true},
        {"paused", 56, 1.0, true},
        {"paused again", 56, 1.0, true},
        {"unknown 58", 58, 1.0, true},
        {"unknown 0", 0, 1.0, true},
        {"null arguments while paused", std::nullopt, 1.0, false},
        {"resumed", 57, 0.0, true},
        {"unknown 58 while running", 58, 0.0, true},
        {"null arguments while running", std::nullopt, 0.0, false},
    };
    for (const Delivery& d : deliveries) {
        SCOPED_TRACE(d.what);
        host.clear_calls();
        std::thread::id deliverer;
        std::thread([&] {
            deliverer = std::this_thread::get_id();
            d.message ? host.deliver_message(*d.message) : host.deliver_null_message();
        }).join();
        std::vector<hostsim::Call> sets;
        for (const hostsim::Call& call : host.calls())
            if (call.name == "FSSimIsPaused") sets.push_back(call);
        ASSERT_EQ(sets.size(), d.published ? 1u : 0u);
        if (d.published) {
            EXPECT_EQ(sets[0].op, "set");
            EXPECT_EQ(sets[0].value, d.paused);
            EXPECT_EQ(sets[0].thread, deliverer);
        }
        EXPECT_EQ(host.value("FSSimIsPaused"), d.paused);
    }
    shut_down_cleanly();
}

TEST_F(ModuleEntry, CallbackAnswersItsInterfacesAndCountsReferences) {
    module->init();
    P3D::ICallbackV400* cb = callback();
    ASSERT_NE(cb, nullptr);
    // The module's own reference and the subscription's.
    EXPECT_EQ(cb->AddRef(), 3u);
    EXPECT_EQ(cb->Release(), 2u);
    struct Query {
        const char* what;
        P3D::Guid iid;
        bool answered;
    };
    const Query queries[] = {
        {"IUnknown", ids::kIUnknown, true},
        {"ICallbackV400", ids::kCallbackV400, true},
        {"the event service's id", ids::kEventService, false},
        {"the surface interface", ids::kSurfaceInterface, false},
    };
    EXPECT_EQ(static_cast<uint32_t>(cb->QueryInterface(ids::kIUnknown, nullptr)), 0x80004003u);  // E_POINTER
    for (const Query& q : queries) {
        SCOPED_TRACE(q.what);
        void* object = &object;
        P3D::Status status = cb->QueryInterface(q.iid, &object);
        if (q.answered) {
            EXPECT_EQ(status, P3D::kOk);
            EXPECT_EQ(object, static_cast<P3D::IUnknown*>(cb));
            EXPECT_EQ(cb->Release(), 2u);  // the query added exactly one
        } else {
            EXPECT_EQ(static_cast<uint32_t>(status), 0x80004002u);
            EXPECT_EQ(object, nullptr);
            EXPECT_EQ(cb->AddRef(), 3u);  // count unchanged by the refusal
            EXPECT_EQ(cb->Release(), 2u);
        }
    }
    shut_down_cleanly();
}

TEST_F(ModuleEntry, OverReleaseByTheHostDestroysNothing) {
    module->init();
    P3D::ICallbackV400* cb = callback();
    ASSERT_NE(cb, nullptr);
    // The counts run 1, 0 as a host expects (a `while (p->Release())` loop
    // ends), never below 0, and reaching 0 frees nothing: the module still
    // holds the object and destroys it at deinit.
    EXPECT_EQ(cb->Release(), 1u);  // the subscription's reference, given back early
    EXPECT_EQ(cb->Release(), 0u);  // the module's own, released by the host
    EXPECT_EQ(cb->Release(), 0u);  // beyond every reference: nothing happens
    host.deliver_message(ids::kMessagePaused);
    EXPECT_EQ(host.value("FSSimIsPaused"), 1.0);
    // Unsubscribe releases once more; deinit still destroys the object once.
    shut_down_cleanly();
}

// A host whose Subscribe keeps no reference: the callback holds only the
// module's, so the host's AddRef, Release, Release read 2, 1, 0, and
// deinit still destroys it once. A host that releases at Unsubscribe what
// it never added takes the count to 0 there. Messages reach the callback in
// both, and deinit ends clean.
TEST_F(ModuleEntry, CallbackSurvivesHostsThatCountItsReferencesWrongly) {
    for (hostsim::SubscriptionMode mode : {hostsim::SubscriptionMode::Unreferenced,
                                           hostsim::SubscriptionMode::OverReleasing}) {
        SCOPED_TRACE(static_cast<int>(mode));
        if (!module) module = std::make_unique<hostsim::Module>(host, hostsim::default_module_path());
        host.set_subscription_mode(mode);
        module->init();
        P3D::ICallbackV400* cb = callback();
        ASSERT_NE(cb, nullptr);
        if (mode == hostsim::SubscriptionMode::Unreferenced) {
            EXPECT_EQ(cb->AddRef(), 2u);
            EXPECT_EQ(cb->Release(), 1u);
            EXPECT_EQ(cb->Release(), 0u);
        }
        host.deliver_message(ids::kMessagePaused);
        EXPECT_EQ(host.value("FSSimIsPaused"), 1.0);
        host.deliver_message(ids::kMessageResumed);
        EXPECT_EQ(host.value("FSSimIsPaused"), 0.0);
        shut_down_cleanly();
        EXPECT_EQ(host.subscriber_count(), 0u);
    }
}

// hostsim itself: a release beyond the references held, and any call on an
// object after its last reference has gone, are recorded as faults.
TEST_F(ModuleEntry, HostsimRecordsCallsOnDeadObjectsAndOverReleases) {
    void* raw = nullptr;
    ASSERT_EQ(host.get_pdk(ids::kPdkRootPreferred, &raw), P3D::kOk);
    auto* root = static_cast<P3D::IPdkRoot*>(raw);
    EXPECT_EQ(root->Release(), 1u);  // the module's reference; the host's remains
    EXPECT_TRUE(host.faults().empty());
    EXPECT_EQ(root->Release(), 0u);  // the host's own: the object is dead
    void* surface = nullptr;
    root->QueryService(ids::kSurfaceService, ids::kSurfaceInterface, &surface);
    root->Release();
    std::vector<std::string> expected = {"Release on PdkRoot beyond the references held",
                                         "QueryService on PdkRoot after its last reference was released",
                                         "Release on PdkRoot after its last reference was released"};
    EXPECT_EQ(host.faults(), expected);
    if (surface) static_cast<P3D::IUnknown*>(surface)->Release();
    host.clear_faults();
}

// hostsim itself: the argument object of a delivery counts its references
// like every host object, so a module that released the host's own
// reference, used the object after that, or kept one past the delivery,
// is caught.
TEST_F(ModuleEntry, HostsimCountsTheMessageArgumentsReferences) {
    {
        hostsim::MessageArgs kept(host, ids::kMessagePaused, hostsim::kDefaultMessageRecordBytes);
        EXPECT_EQ(kept.AddRef(), 2u);
    }
    hostsim::MessageArgs args(host, ids::kMessagePaused, hostsim::kDefaultMessageRecordBytes);
    EXPECT_EQ(args.AddRef(), 2u);
    EXPECT_EQ(args.Release(), 1u);
    EXPECT_EQ(args.Release(), 0u);
    alignas(8) unsigned char record[64] = {};
    args.GetArg(reinterpret_cast<P3D::ValueRecord*>(record), 0);
    std::vector<std::string> expected = {"MessageArgs still referenced by the module after its delivery",
                                         "Release on MessageArgs beyond the references held",
                                         "GetArg on MessageArgs after its last reference was released"};
    EXPECT_EQ(host.faults(), expected);
    EXPECT_EQ(host.ledger().outstanding(), 0);
    host.clear_faults();
}

// hostsim itself: a thread that called the host in a session may, once
// deinit has returned, only release what it holds, and the session of a
// reload does not make it one of its own; the host's thread that loaded
// the module again calls the host freely.
TEST_F(ModuleEntry, HostsimRecordsHostCallsAfterDeinitButNotReleases) {
    auto get = reinterpret_cast<double (*)(int32_t)>(host.panel_table()[kGetNamedVar]);
    module->init();
    const int32_t active = host.check_var("WZ_Active");
    P3D::IUnknown* service = host.service(2);
    std::promise<void> inSession, deinitReturned, lateCallMade, reloaded;
    std::thread sessionThread([&, afterDeinit = deinitReturned.get_future(), afterReload = reloaded.get_future()] {
        get(active);
        service->AddRef();
        inSession.set_value();
        afterDeinit.wait();
        get(active);
        lateCallMade.set_value();
        afterReload.wait();
        get(active);
        service->Release();
    });
    inSession.get_future().wait();
    EXPECT_TRUE(host.faults().empty());
    module->deinit();
    deinitReturned.set_value();
    lateCallMade.get_future().wait();
    module = std::make_unique<hostsim::Module>(host, hostsim::default_module_path());
    module->init();
    reloaded.set_value();
    sessionThread.join();
    get(active);
    EXPECT_EQ(host.faults(), (std::vector<std::string>{"get WZ_Active after deinit", "get WZ_Active after deinit"}));
    host.clear_faults();
    shut_down_cleanly();
}

// A host whose QueryService throws partway through the service set: what
// the set holds goes back, the last service obtained first and the set's
// root reference last, the exception reaches init's caller, and init ends
// there; deinit then releases the root init holds, and nothing is left.
TEST_F(ModuleEntry, AServiceQueryThatThrowsReleasesTheSetInReverse) {
    host.refusals().throwingServices[4] = true;  // field 5, the eighth queried
    host.refusals().services[2] = true;          // field 3 stays null: nothing to release
    EXPECT_THROW(module->init(), std::runtime_error);
    EXPECT_EQ(calls_of(host, {"QueryService"}).back(), "QueryService Service5");
    std::vector<std::string> released = calls_of(host, {"Release"});
    EXPECT_EQ(released, (std::vector<std::string>{"Release Service9", "Release Service8", "Release Service7",
                                                  "Release Service6", "Release Service2", "Release EventService",
                                                  "Release PdkRoot"}));
    EXPECT_EQ(host.ledger().report(), "PdkRoot holds 1 reference(s); ");
    EXPECT_EQ(host.subscriber_count(), 0u);
    module->deinit();
    EXPECT_EQ(host.ledger().report(), "");
    EXPECT_EQ(host.ledger().outstanding(), 0);
}

TEST_F(ModuleEntry, UnloadWithoutDeinitReleasesTheSurface) {
    {
#if defined(__SANITIZE_ADDRESS__)
        // Without deinit the service set and the callback are left behind
        // on purpose; the leak checker is told so.
        __lsan::ScopedDisabler leftBehind;
#endif
        module->init();
    }
    module.reset();
    // Only the surface service comes back at unload; the root, the set's
    // services and the subscription stay with the host, which is going too.
    EXPECT_EQ(host.ledger().over_releases(), 0);
    EXPECT_EQ(host.ledger().report().find("SurfaceService"), std::string::npos) << host.ledger().report();
    EXPECT_EQ(host.ledger().outstanding(), 20);
    EXPECT_TRUE(host.traps().empty());
}

}  // namespace
