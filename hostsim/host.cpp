// The simulated host's state and its panel-services table.
#include "hostsim/host.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "hostsim/pdk_objects.h"

namespace hostsim {
namespace {

std::atomic<Host*> g_active{nullptr};

// Session numbers are never reused in a process; 0 is none.
std::atomic<uint64_t> g_sessions{0};

// The calling thread's module session, and how deep it is in calls into
// the host (nonzero while the host serves one).
struct ThreadSession {
    uint64_t session = 0;
    int depth = 0;
};
thread_local ThreadSession t_thread;

Host& host() { return *Host::active(); }

// The key names are compared by: ASCII letters in lower case.
std::string folded(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

}  // namespace

const char* profile_name(NamedVarProfile profile) {
    return profile == NamedVarProfile::Published ? "published" : "ids-from-one";
}

bool parse_profile(const std::string& name, NamedVarProfile& profile) {
    for (NamedVarProfile candidate : {NamedVarProfile::Published, NamedVarProfile::IdsFromOne})
        if (name == profile_name(candidate)) {
            profile = candidate;
            return true;
        }
    return false;
}

NamedVarProfile profile_from_environment() {
    NamedVarProfile profile = NamedVarProfile::Published;
    const char* named = std::getenv("TP_HOST_PROFILE");
    if (named && *named && !parse_profile(named, profile))
        throw std::invalid_argument(std::string("TP_HOST_PROFILE is \"") + named +
                                    "\", neither \"published\" nor \"ids-from-one\"");
    return profile;
}

int32_t units_by_name(const char* name) {
    static const std::pair<const char*, int32_t> kUnits[] = {
        {"radians", kUnitsRadians}, {"degrees", kUnitsDegrees}, {"feet", kUnitsFeet}, {"meters", kUnitsMeters}};
    for (const auto& unit : kUnits)
        if (std::strcmp(name, unit.first) == 0) return unit.second;
    return 0;
}

namespace {

// The panel-services entries, plain C functions as a host exports them.
int32_t register_named(const char* name) {
    ModuleCall call(host(), "register", name);
    return host().register_var(name);
}
int32_t look_up_named(const char* name) {
    ModuleCall call(host(), "check", name);
    return host().check_var(name);
}
bool published() { return host().named_var_profile() == NamedVarProfile::Published; }
int32_t ps_check_named_variable(const char* name) {
    return published() ? look_up_named(name) : register_named(name);
}
int32_t ps_register_named_variable(const char* name) {
    return published() ? register_named(name) : look_up_named(name);
}
double ps_get(int32_t id) {
    ModuleCall call(host(), "get", id);
    host().delay_read(id);
    return host().get(id);
}
double ps_get_typed(int32_t id, int32_t units) {
    ModuleCall call(host(), "get_typed", id);
    host().delay_read(id);
    return host().get_typed(id, units);
}
void ps_set(int32_t id, double value) {
    ModuleCall call(host(), "set", id);
    host().set(id, value);
}
void ps_set_typed(int32_t id, double value, int32_t units) {
    ModuleCall call(host(), "set_typed", id);
    host().set_typed(id, value, units);
}
int32_t ps_units(const char* name) {
    ModuleCall call(host(), "units", name);
    return host().units_id(name);
}
int32_t ps_get_pdk(const P3D::Guid& iid, void** root) {
    ModuleCall call(host(), "get_pdk", "the PDK root");
    return host().get_pdk(iid, root);
}

// Element-list services: logged with the root element and the argument
// passed through, answering a value that tells them apart.
constexpr const char* kElementListNames[] = {"element_list_query", "element_list_install",
                                             "element_list_initialise", "element_list_update",
                                             "element_list_generate", "element_list_plot",
                                             "element_list_erase", "element_list_kill"};

uint64_t log_element_list(uint32_t entry, ElementBase* root, uint64_t argument) {
    const char* op = kElementListNames[entry - kElementListQuery];
    std::ostringstream name;
    name << static_cast<const void*>(root);
    ModuleCall call(host(), op, name.str());
    host().log({op, name.str(), static_cast<double>(argument), 0, std::this_thread::get_id()});
    return 0x7000 + entry;
}

template <uint32_t Entry>
uint64_t ps_element_list(ElementBase* root) {
    return log_element_list(Entry, root, 0);
}
uint64_t ps_element_list_install(ElementBase* root, uint64_t resource) {
    return log_element_list(kElementListInstall, root, resource);
}
uint64_t ps_element_list_generate(ElementBase* root, uint32_t phase) {
    return log_element_list(kElementListGenerate, root, phase);
}

// Every entry a module must not call reports itself.
template <uint32_t Entry>
uint64_t ps_trap() {
    ModuleCall call(host(), "entry", std::to_string(Entry));
    host().record_trap(Entry);
    return 0;
}

template <uint32_t... Entries>
std::array<void*, kPanelEntryCount> make_table(std::integer_sequence<uint32_t, Entries...>) {
    return {{reinterpret_cast<void*>(&ps_trap<Entries>)...}};
}

std::array<void*, kPanelEntryCount> build_table() {
    auto table = make_table(std::make_integer_sequence<uint32_t, kPanelEntryCount>{});
    table[kCheckNamedVar] = reinterpret_cast<void*>(&ps_check_named_variable);
    table[kRegisterNamedVar] = reinterpret_cast<void*>(&ps_register_named_variable);
    table[kGetNamedVar] = reinterpret_cast<void*>(&ps_get);
    table[kGetNamedVarTyped] = reinterpret_cast<void*>(&ps_get_typed);
    table[kSetNamedVar] = reinterpret_cast<void*>(&ps_set);
    table[kSetNamedVarTyped] = reinterpret_cast<void*>(&ps_set_typed);
    table[kGetUnitsEnum] = reinterpret_cast<void*>(&ps_units);
    table[kGetPdk] = reinterpret_cast<void*>(&ps_get_pdk);
    table[kElementListQuery] = reinterpret_cast<void*>(&ps_element_list<kElementListQuery>);
    table[kElementListInstall] = reinterpret_cast<void*>(&ps_element_list_install);
    table[kElementListInitialise] = reinterpret_cast<void*>(&ps_element_list<kElementListInitialise>);
    table[kElementListUpdate] = reinterpret_cast<void*>(&ps_element_list<kElementListUpdate>);
    table[kElementListGenerate] = reinterpret_cast<void*>(&ps_element_list_generate);
    table[kElementListPlot] = reinterpret_cast<void*>(&ps_element_list<kElementListPlot>);
    table[kElementListKill] = reinterpret_cast<void*>(&ps_element_list<kElementListKill>);
    return table;
}

const std::array<void*, kPanelEntryCount> g_table = build_table();

}  // namespace

double to_canonical(int32_t units) {
    switch (units) {
    case kUnitsDegrees: return kPi / 180.0;
    case kUnitsMeters: return 1.0 / 0.3048;
    default: return 1.0;
    }
}

// --- Ledger ---

void Ledger::add(const std::string& object) {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& entry : held_)
        if (entry.first == object) {
            ++entry.second;
            return;
        }
    held_.emplace_back(object, 1);
}

bool Ledger::release(const std::string& object) {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& entry : held_)
        if (entry.first == object && entry.second > 0) {
            --entry.second;
            return true;
        }
    ++overReleases_;
    return false;
}

int Ledger::outstanding() const {
    std::lock_guard<std::mutex> hold(lock_);
    int total = 0;
    for (const auto& entry : held_) total += entry.second;
    return total;
}

int Ledger::over_releases() const {
    std::lock_guard<std::mutex> hold(lock_);
    return overReleases_;
}

std::string Ledger::report() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::ostringstream out;
    for (const auto& entry : held_)
        if (entry.second != 0) out << entry.first << " holds " << entry.second << " reference(s); ";
    if (overReleases_) out << overReleases_ << " release(s) of references never held; ";
    return out.str();
}

// --- Host ---

Host::Host()
    : profile_(profile_from_environment()),
      sessionBase_(g_sessions.load()),
      root_(std::make_unique<PdkRoot>(*this)),
      events_(std::make_unique<EventService>(*this)),
      surface_(std::make_unique<SurfaceService>(*this)),
      terrain_(relief_terrain()) {
    for (int field = 1; field < ids::kServiceCount; ++field)
        services_.push_back(std::make_unique<ServiceObject>(*this, "Service" + std::to_string(field + 1),
                                                            ids::kServices[field].iid));
    Host* expected = nullptr;
    if (!g_active.compare_exchange_strong(expected, this))
        throw std::logic_error("hostsim: only one Host may be active at a time");
}

Host::~Host() {
    release_hang();
    g_active.store(nullptr);
}

Host* Host::active() { return g_active.load(); }

void Host::set_named_var_profile(NamedVarProfile profile) {
    std::lock_guard<std::mutex> hold(varsLock_);
    if (!vars_.empty() && profile != profile_)
        throw std::logic_error("hostsim: the named-variable profile is chosen before any variable exists");
    profile_ = profile;
}

const Host::Var* Host::find(int32_t id) const {
    int64_t index = static_cast<int64_t>(id) - first_id();
    if (index < 0 || static_cast<size_t>(index) >= vars_.size()) return nullptr;
    return &vars_[static_cast<size_t>(index)];
}

int32_t Host::id_of(const std::string& name) const {
    auto it = ids_.find(folded(name));
    return it == ids_.end() ? missing_id() : it->second;
}

int32_t Host::add_var(const std::string& name, double value) {
    vars_.push_back({name, value});
    auto id = static_cast<int32_t>(vars_.size() - 1) + first_id();
    ids_.emplace(folded(name), id);
    return id;
}

std::string Host::var_name(int32_t id) const {
    std::lock_guard<std::mutex> hold(varsLock_);
    const Var* var = find(id);
    return var ? var->name : "variable " + std::to_string(id);
}

int32_t Host::register_var(const char* name) {
    int32_t id;
    {
        std::lock_guard<std::mutex> hold(varsLock_);
        id = id_of(name);
        if (id == missing_id()) id = add_var(name, 0.0);
    }
    if (recording()) log({"register", name, static_cast<double>(id), 0, std::this_thread::get_id()});
    return id;
}

int32_t Host::check_var(const char* name) const {
    int32_t id;
    {
        std::lock_guard<std::mutex> hold(varsLock_);
        id = id_of(name);
    }
    if (recording())
        const_cast<Host*>(this)->log({"check", name, static_cast<double>(id), 0, std::this_thread::get_id()});
    return id;
}

double Host::get(int32_t id) const { return get_typed(id, 0); }

double Host::get_typed(int32_t id, int32_t units) const {
    bool recorded = recording();
    std::string name;
    double value = 0.0;
    {
        std::lock_guard<std::mutex> hold(varsLock_);
        if (const Var* var = find(id)) {
            if (recorded) name = var->name;
            value = var->value / to_canonical(units);
        }
    }
    if (recorded)
        const_cast<Host*>(this)->log({units ? "get_typed" : "get", name, value, units, std::this_thread::get_id()});
    return value;
}

void Host::set(int32_t id, double value) { set_typed(id, value, 0); }

void Host::set_typed(int32_t id, double value, int32_t units) {
    bool recorded = recording();
    std::string name;
    {
        std::lock_guard<std::mutex> hold(varsLock_);
        if (Var* var = const_cast<Var*>(find(id))) {
            if (recorded) name = var->name;
            var->value = value * to_canonical(units);
        }
    }
    if (recorded) log({units ? "set_typed" : "set", name, value, units, std::this_thread::get_id()});
}

int32_t Host::units_id(const char* name) const {
    int32_t id = units_by_name(name);
    const_cast<Host*>(this)->log({"units", name, static_cast<double>(id), 0, std::this_thread::get_id()});
    return id;
}

double Host::value(const std::string& name) const {
    std::lock_guard<std::mutex> hold(varsLock_);
    const Var* var = find(id_of(name));
    return var ? var->value : std::nan("");
}

double Host::value_in(const std::string& name, const std::string& units) const {
    return value(name) / to_canonical(units_by_name(units.c_str()));
}

void Host::set_value(const std::string& name, double value) { set_value_in(name, value, ""); }

void Host::set_value_in(const std::string& name, double value, const std::string& units) {
    int32_t unitsId = units_by_name(units.c_str());
    std::lock_guard<std::mutex> hold(varsLock_);
    if (Var* var = const_cast<Var*>(find(id_of(name)))) {
        var->value = value * to_canonical(unitsId);
        return;
    }
    add_var(name, value * to_canonical(unitsId));
}

bool Host::has_var(const std::string& name) const {
    std::lock_guard<std::mutex> hold(varsLock_);
    return id_of(name) != missing_id();
}

size_t Host::var_count() const {
    std::lock_guard<std::mutex> hold(varsLock_);
    return vars_.size();
}

void* const* Host::panel_table() const { return g_table.data(); }

std::vector<std::string> Host::traps() const {
    std::lock_guard<std::mutex> hold(trapLock_);
    return traps_;
}

void Host::record_trap(uint32_t entry) {
    std::lock_guard<std::mutex> hold(trapLock_);
    traps_.push_back("entry " + std::to_string(entry));
}

std::vector<std::string> Host::faults() const {
    std::lock_guard<std::mutex> hold(trapLock_);
    return faults_;
}

void Host::record_fault(std::string fault) {
    std::lock_guard<std::mutex> hold(trapLock_);
    faults_.push_back(std::move(fault));
}

void Host::clear_faults() {
    std::lock_guard<std::mutex> hold(trapLock_);
    faults_.clear();
}

void Host::open_session() {
    openSession_ = ++g_sessions;
    enter_module();
}

void Host::close_session() {
    openSession_ = 0;
    enter_module();
}

void Host::enter_module() { t_thread.session = openSession_.load(); }

// The one place that decides. A thread new to this host (or one the
// harness saw between sessions) joins the session open now, if any.
bool Host::admits_call() const {
    uint64_t open = openSession_.load();
    if (t_thread.session <= sessionBase_) t_thread.session = open;
    return t_thread.session == open;
}

// --- ModuleCall ---

ModuleCall::ModuleCall(Host& host, const char* op, const std::string& name) {
    if (outermost_and_late(host)) host.record_fault(std::string(op) + " " + name + " after deinit");
}

ModuleCall::ModuleCall(Host& host, const char* op, int32_t var) {
    if (outermost_and_late(host)) host.record_fault(std::string(op) + " " + host.var_name(var) + " after deinit");
}

ModuleCall::~ModuleCall() { --t_thread.depth; }

bool ModuleCall::outermost_and_late(Host& host) { return t_thread.depth++ == 0 && !host.admits_call(); }

int32_t Host::get_pdk(const P3D::Guid& iid, void** root) {
    log({"get_pdk", iid == ids::kPdkRootPreferred ? "preferred" : iid == ids::kPdkRootFallback ? "fallback" : "other",
         0, 0, std::this_thread::get_id()});
    bool refused = iid == ids::kPdkRootPreferred ? refusals_.rootPreferred
                   : iid == ids::kPdkRootFallback ? refusals_.rootFallback
                                                  : true;
    if (refused || !root) return P3D::kNoInterface;
    *root = static_cast<P3D::IPdkRoot*>(root_.get());
    root_->hand_out();
    return P3D::kOk;
}

P3D::IUnknown* Host::service(int field) const {
    if (field == 0) return events_.get();
    return services_.at(static_cast<size_t>(field) - 1).get();
}

EventService& Host::events() const { return *events_; }
SurfaceService& Host::surface() const { return *surface_; }

void Host::set_terrain(std::shared_ptr<const Terrain> terrain) {
    std::lock_guard<std::mutex> hold(terrainLock_);
    terrain_ = std::move(terrain);
}

std::shared_ptr<const Terrain> Host::terrain() const {
    std::lock_guard<std::mutex> hold(terrainLock_);
    return terrain_;
}

void Host::set_surface_mode(SurfaceMode mode, int slowMs) {
    {
        std::lock_guard<std::mutex> hold(hangLock_);
        if (mode == SurfaceMode::Hanging) hangOpen_ = false;
    }
    surfaceDelayMs_ = slowMs;
    surfaceMode_ = mode;
}

void Host::set_read_mode(const std::string& prefix, ReadMode mode, int slowMs) {
    {
        std::lock_guard<std::mutex> hold(hangLock_);
        if (mode == ReadMode::Hanging) hangOpen_ = false;
    }
    std::lock_guard<std::mutex> hold(readRulesLock_);
    auto same = [&](const ReadRule& rule) { return rule.prefix == prefix; };
    readRules_.erase(std::remove_if(readRules_.begin(), readRules_.end(), same), readRules_.end());
    if (mode != ReadMode::Normal) readRules_.push_back({prefix, mode, slowMs});
    readRulesSet_ = !readRules_.empty();
}

void Host::delay_read(int32_t id) {
    if (!readRulesSet_.load(std::memory_order_relaxed)) return;
    std::string name = var_name(id);
    ReadRule rule{"", ReadMode::Normal, 0};
    {
        std::lock_guard<std::mutex> hold(readRulesLock_);
        for (const ReadRule& candidate : readRules_)
            if (name.rfind(candidate.prefix, 0) == 0) rule = candidate;
    }
    if (rule.mode == ReadMode::Slow) std::this_thread::sleep_for(std::chrono::milliseconds(rule.slowMs));
    if (rule.mode == ReadMode::Hanging) wait_while_hanging();
}

void Host::release_hang() {
    {
        std::lock_guard<std::mutex> hold(hangLock_);
        hangOpen_ = true;
    }
    hangReleased_.notify_all();
}

void Host::wait_while_hanging() {
    std::unique_lock<std::mutex> hold(hangLock_);
    ++hanging_;
    hangReleased_.wait(hold, [this] { return hangOpen_; });
    --hanging_;
}

int Host::hanging_calls() const {
    std::lock_guard<std::mutex> hold(hangLock_);
    return hanging_;
}

void Host::deliver_message(uint64_t value) {
    MessageArgs args(*this, value, messageRecordBytes_.load());
    events_->deliver(&args);
}

void Host::deliver_null_message() { events_->deliver(nullptr); }

size_t Host::subscriber_count() const { return events_->subscriber_count(); }

void Host::set_observer(CallObserver observer) {
    std::lock_guard<std::mutex> hold(logLock_);
    observer_ = std::move(observer);
    observed_ = static_cast<bool>(observer_);
}

bool Host::recording() const {
    return logging_.load(std::memory_order_relaxed) || observed_.load(std::memory_order_relaxed);
}

void Host::log(Call call) {
    bool keep = logging_.load(std::memory_order_relaxed);
    if (!keep && !observed_.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> hold(logLock_);
    if (observer_) observer_(call);
    if (keep) calls_.push_back(std::move(call));
}

std::vector<Call> Host::calls() const {
    std::lock_guard<std::mutex> hold(logLock_);
    return calls_;
}

void Host::clear_calls() {
    std::lock_guard<std::mutex> hold(logLock_);
    calls_.clear();
}

}  // namespace hostsim
