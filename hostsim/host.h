// The simulated host: named variables and units, the panel-services table a
// module calls, the PDK objects behind it, a reference ledger on every host
// object, the module sessions that tell a call made after deinit, a call
// log, and the refusals and late answers a real host may give.
//
// One Host is active at a time: the panel-services table is a table of
// plain C function pointers, and they find their host through it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "hostsim/terrain.h"
#include "host/guids.h"
#include "host/panel_services.h"

namespace hostsim {

class PdkRoot;
class ServiceObject;
class EventService;
class SurfaceService;
class Host;

// Units the host knows; canonical storage is radians for angles and feet
// for lengths, so a value set in feet reads back unchanged untyped.
constexpr int32_t kUnitsRadians = 61;
constexpr int32_t kUnitsDegrees = 62;
constexpr int32_t kUnitsFeet = 71;
constexpr int32_t kUnitsMeters = 72;

// Factor from a unit to the canonical unit of its kind; 1 for unknown ids.
double to_canonical(int32_t units);
// The host's units by name ("radians", "degrees", "feet", "meters"); 0 for
// a name it does not know.
int32_t units_by_name(const char* name);

// One call the module made into the host.
struct Call {
    std::string op;    // "get", "set_typed", "QueryService", "QueryElevation", ...
    std::string name;  // variable or object name, where there is one
    double value = 0;  // the value set or returned, where there is one
    int32_t units = 0;
    std::thread::id thread;
};

// What a failing QueryElevation leaves in the result slot.
constexpr float kFailedQueryJunkFeet = -12345.5f;
// The size of the record GetArg writes: a real host's record is larger than
// the 8-byte field a module reads.
constexpr size_t kDefaultMessageRecordBytes = 48;

// How the host answers the named-variable entries of its panel-services
// table. Published is the host's published gauge SDK: ids from 0 (0 is a
// valid id), entry 49 (offset 392) check_named_variable looks a name up and
// answers -1 when it is absent, entry 50 (offset 400)
// register_named_variable answers the id a name already has or makes the
// variable. IdsFromOne numbers variables from 1, registers at entry 49 and
// looks up at entry 50, answering 0 for an absent name. Both compare names
// without regard to case.
enum class NamedVarProfile { Published, IdsFromOne };

// "published" or "ids-from-one".
const char* profile_name(NamedVarProfile profile);
// False for a name that is neither.
bool parse_profile(const std::string& name, NamedVarProfile& profile);
// The profile the environment variable TP_HOST_PROFILE names, Published
// when it is unset; the test programs run under either. Throws
// std::invalid_argument for any other value.
NamedVarProfile profile_from_environment();

// How the surface service answers QueryElevation.
enum class SurfaceMode { Normal, Failing, Slow, Hanging };

// How the host answers a module's read of a named variable (get and get
// in units): at once, after a delay, or only once release_hang is called.
enum class ReadMode { Normal, Slow, Hanging };

// How the event service holds a subscribed callback: Counted adds a
// reference at Subscribe and releases it at Unsubscribe; OverReleasing
// releases at Unsubscribe a reference it never added; Unreferenced keeps
// the bare pointer and neither adds nor releases. Set before init.
enum class SubscriptionMode { Counted, OverReleasing, Unreferenced };

// The refusals the host can be told to answer with.
struct Refusals {
    bool rootPreferred = false;
    bool rootFallback = false;
    std::array<bool, ids::kServiceCount> services{};  // by field, 0 = the event service
    bool surface = false;
    bool subscription = false;  // the event service turns the pause callback away
    // The root's QueryService throws for these fields (by field, as above)
    // instead of answering: a host may let a failure out as an exception.
    std::array<bool, ids::kServiceCount> throwingServices{};
};

// One call of the module's into the host, from its entry to its return;
// every entry the module reaches (panel services and methods of host
// objects, Release aside) opens one. A call that a thread makes after the
// session it belongs to has closed is recorded as a fault (Host::admits_call
// decides). Calls the host makes while serving one are part of it, so a
// call in flight when deinit returns may complete. The variable form names
// the variable only when there is a fault to report.
class ModuleCall {
public:
    ModuleCall(Host& host, const char* op, const std::string& name);
    ModuleCall(Host& host, const char* op, int32_t var);
    ~ModuleCall();
    ModuleCall(const ModuleCall&) = delete;
    ModuleCall& operator=(const ModuleCall&) = delete;

private:
    static bool outermost_and_late(Host& host);
};

// Counts the references the module holds on each host object.
class Ledger {
public:
    void add(const std::string& object);
    // False for a release of a reference the module does not hold.
    bool release(const std::string& object);
    int outstanding() const;
    int over_releases() const;
    std::string report() const;  // "" when every reference came back

private:
    mutable std::mutex lock_;
    std::vector<std::pair<std::string, int>> held_;
    int overReleases_ = 0;
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host* active();

    // --- named variables, as the panel services see them ---
    // Chosen before the module is loaded: ids already handed out would
    // change under it, so it throws std::logic_error once any variable
    // exists. A new Host takes profile_from_environment().
    void set_named_var_profile(NamedVarProfile profile);
    NamedVarProfile named_var_profile() const { return profile_; }
    // The id of the name, made now when the host has none (either profile).
    int32_t register_var(const char* name);
    // The id of the name, or missing_id() when there is none.
    int32_t check_var(const char* name) const;
    // What a look-up answers for an absent name: -1, or 0 with ids from 1.
    int32_t missing_id() const { return profile_ == NamedVarProfile::Published ? -1 : 0; }
    double get(int32_t id) const;
    double get_typed(int32_t id, int32_t units) const;
    void set(int32_t id, double value);
    void set_typed(int32_t id, double value, int32_t units);
    int32_t units_id(const char* name) const;

    // --- the same by name, for tests and tools (registering when absent) ---
    double value(const std::string& name) const;  // NaN when no such variable
    double value_in(const std::string& name, const std::string& units) const;
    void set_value(const std::string& name, double value);
    void set_value_in(const std::string& name, double value, const std::string& units);
    bool has_var(const std::string& name) const;
    size_t var_count() const;

    // --- the panel-services table handed to a module ---
    void* const* panel_table() const;
    // Entries called that a module must not call, as "entry N".
    std::vector<std::string> traps() const;
    void record_trap(uint32_t entry);

    // --- PDK ---
    Refusals& refusals() { return refusals_; }
    int32_t get_pdk(const P3D::Guid& iid, void** root);
    P3D::IUnknown* service(int field) const;  // the host's own object, for tests
    EventService& events() const;
    SurfaceService& surface() const;
    void set_terrain(std::shared_ptr<const Terrain> terrain);
    std::shared_ptr<const Terrain> terrain() const;
    void set_surface_mode(SurfaceMode mode, int slowMs = 0);
    SurfaceMode surface_mode() const { return surfaceMode_.load(); }
    int surface_delay_ms() const { return surfaceDelayMs_.load(); }
    // The module's reads of every variable whose name begins with prefix
    // answer in this mode, which replaces the one set before for that
    // prefix. A read answers with the variable's value as it returns; a
    // hanging one waits for release_hang, also once the mode is changed.
    void set_read_mode(const std::string& prefix, ReadMode mode, int slowMs = 0);
    // Holds a module read for the mode set for its variable, if any.
    void delay_read(int32_t id);
    // Lets every hanging QueryElevation and read return.
    void release_hang();
    void wait_while_hanging();
    // Calls waiting in wait_while_hanging now.
    int hanging_calls() const;

    // Delivers the message event to its subscribers on the calling thread.
    void deliver_message(uint64_t value);
    void deliver_null_message();
    // Bytes GetArg writes through its result pointer (at least 8).
    void set_message_record_bytes(size_t bytes) { messageRecordBytes_ = bytes < 8 ? 8 : bytes; }
    size_t subscriber_count() const;
    void set_subscription_mode(SubscriptionMode mode) { subscriptionMode_ = mode; }
    SubscriptionMode subscription_mode() const { return subscriptionMode_.load(); }

    // --- module sessions ---
    // A session runs from module init to the return of its deinit. A
    // thread belongs to the session open when it first called the host;
    // after that session has closed it may only finish the call it was in
    // and release what it holds, even once a reload has opened another.
    // The harness opens and closes sessions around init and deinit, and
    // enters the module through enter_module on its own threads, which so
    // join the session open then (none, between sessions).
    void open_session();
    void close_session();
    void enter_module();
    // Whether the calling thread may call the host now.
    bool admits_call() const;

    // --- bookkeeping ---
    Ledger& ledger() { return ledger_; }
    // What the module did that a real host would not survive: each a short
    // text naming the object and the call.
    std::vector<std::string> faults() const;
    void record_fault(std::string fault);
    void clear_faults();
    void set_logging(bool on) { logging_ = on; }
    // Sees every call as it is made, on the caller's thread, whether or not
    // the log keeps it: a tool can count calls over a long run without
    // keeping them. Runs under the log's lock, so it must not call back
    // into the log; an empty function removes it.
    using CallObserver = std::function<void(const Call&)>;
    void set_observer(CallObserver observer);
    void log(Call call);
    std::vector<Call> calls() const;
    void clear_calls();

private:
    struct Var {
        std::string name;
        double value;
    };
    const Var* find(int32_t id) const;
    friend class ModuleCall;
    std::string var_name(int32_t id) const;
    // Whether a call's record is wanted (kept in the log or seen by the
    // observer). The variable calls build it, name copy and all, only then,
    // so that with the log off they cost what the variable access costs.
    bool recording() const;

    // Ids by name (compared without case), for the look-ups that a table
    // of a hundred thousand points makes; missing_id() when absent; caller
    // holds varsLock_.
    int32_t id_of(const std::string& name) const;
    // Appends a variable; caller holds varsLock_.
    int32_t add_var(const std::string& name, double value);
    int32_t first_id() const { return profile_ == NamedVarProfile::Published ? 0 : 1; }

    NamedVarProfile profile_;
    mutable std::mutex varsLock_;
    std::vector<Var> vars_;  // id = index + first_id()
    std::unordered_map<std::string, int32_t> ids_;  // by folded name

    mutable std::mutex logLock_;
    std::vector<Call> calls_;
    std::atomic<bool> logging_{true};
    std::atomic<bool> observed_{false};
    CallObserver observer_;

    mutable std::mutex trapLock_;
    std::vector<std::string> traps_;
    std::vector<std::string> faults_;  // under trapLock_

    // Sessions are numbered across hosts, so that a thread's session from
    // an earlier host (at or below sessionBase_) reads as none here.
    const uint64_t sessionBase_;
    std::atomic<uint64_t> openSession_{0};

    Ledger ledger_;
    Refusals refusals_;
    std::unique_ptr<PdkRoot> root_;
    std::vector<std::unique_ptr<ServiceObject>> services_;
    std::unique_ptr<EventService> events_;
    std::unique_ptr<SurfaceService> surface_;

    mutable std::mutex terrainLock_;
    std::shared_ptr<const Terrain> terrain_;
    std::atomic<size_t> messageRecordBytes_{kDefaultMessageRecordBytes};
    std::atomic<SubscriptionMode> subscriptionMode_{SubscriptionMode::Counted};
    std::atomic<SurfaceMode> surfaceMode_{SurfaceMode::Normal};
    std::atomic<int> surfaceDelayMs_{0};
    struct ReadRule {
        std::string prefix;
        ReadMode mode;
        int slowMs;
    };
    mutable std::mutex readRulesLock_;
    std::vector<ReadRule> readRules_;
    std::atomic<bool> readRulesSet_{false};  // lets reads skip the look-up while there are none

    mutable std::mutex hangLock_;
    std::condition_variable hangReleased_;
    bool hangOpen_ = false;
    int hanging_ = 0;  // under hangLock_
};

}  // namespace hostsim
