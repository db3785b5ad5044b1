// The user modules' panel-services table: the host's entries where hostsim
// provides them, the aircraft variables, and a noting stand-in for every
// other entry.
#include "hostsim/user_module.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>

namespace hostsim {
namespace {

std::atomic<UserPanel*> g_panel{nullptr};

UserPanel& panel() { return *UserPanel::active(); }

// The entries of the published table by byte offset: the SDK's name, and
// whether the host's own entry serves a user's gauge as it is.
struct EntryName {
    uint32_t offset;
    const char* name;
    bool host;
};
constexpr EntryName kEntries[] = {
    {176, "element_list_query", true},
    {184, "element_list_install", true},
    {192, "element_list_initialize", true},
    {200, "element_list_update", true},
    {208, "element_list_generate", true},
    {216, "element_list_plot", true},
    {224, "element_list_erase", false},
    {232, "element_list_kill", true},
    {392, "check_named_variable", false},
    {400, "register_named_variable", false},
    {408, "get_named_variable_value", true},
    {416, "get_named_variable_typed_value", true},
    {424, "set_named_variable_value", true},
    {432, "set_named_variable_typed_value", true},
    {456, "get_name_of_named_variable", false},
    {568, "get_units_enum", false},
    {576, "get_aircraft_var_enum", false},
    {584, "aircraft_varget", false},
    {712, "query_pdk", true},
};
constexpr uint32_t kCheckEntry = 392 / 8, kRegisterEntry = 400 / 8;
constexpr uint32_t kUnitsEntry = 568 / 8, kAircraftVarEntry = 576 / 8, kAircraftGetEntry = 584 / 8;

std::string entry_text(uint32_t index) {
    std::string text = "panel entry at offset " + std::to_string(index * 8);
    for (const EntryName& e : kEntries)
        if (e.offset == index * 8) text += " (" + std::string(e.name) + ")";
    return text;
}

template <uint32_t Index>
uint64_t unprovided_entry() {
    panel().warn("a user gauge called the " + entry_text(Index) + ", which hostsim does not provide; it answered 0");
    return 0;
}

template <uint32_t... Indices>
std::vector<void*> unprovided_table(std::integer_sequence<uint32_t, Indices...>) {
    return {reinterpret_cast<void*>(&unprovided_entry<Indices>)...};
}

int32_t user_units(const char* name) {
    if (int32_t units = aircraft_units_by_name(name)) return units;
    auto hostUnits = reinterpret_cast<GetUnitsEnumFn>(panel().host().panel_table()[kUnitsEntry]);
    int32_t units = hostUnits(name);
    if (units == 0) panel().warn("a user gauge asked for the units \"" + std::string(name) + "\", which hostsim does not know");
    return units;
}

int32_t user_aircraft_var(const char* name) {
    int32_t var = aircraft_var_by_name(name);
    if (var == 0) {
        panel().warn("a user gauge asked for the aircraft variable \"" + std::string(name) +
                     "\", which hostsim does not provide; it reads 0");
        return -1;
    }
    return var;
}

double user_aircraft_get(int32_t var, int32_t units, int32_t) {
    if (var == -1) return 0.0;  // already warned of by name
    std::optional<double> value = aircraft_var_value(panel().aircraft(), var, units);
    if (value) return *value;
    std::string name = *aircraft_var_name(var) ? "\"" + std::string(aircraft_var_name(var)) + "\""
                                               : "number " + std::to_string(var);
    panel().warn("a user gauge read the aircraft variable " + name + " in units " + std::to_string(units) +
                 ", which hostsim does not give it in; it read 0");
    return 0.0;
}

// A user's gauge is built against the published SDK, so its look-up and
// registration keep the SDK's entries and its -1 for an absent name under
// either of the host's profiles; the profile still numbers the ids.
int32_t user_check(const char* name) {
    Host& host = panel().host();
    int32_t id = host.check_var(name);
    return id == host.missing_id() ? -1 : id;
}

int32_t user_register(const char* name) { return panel().host().register_var(name); }

std::vector<void*> build_table(Host& host) {
    std::vector<void*> table = unprovided_table(std::make_integer_sequence<uint32_t, kPanelEntryCount>{});
    for (const EntryName& e : kEntries)
        if (e.host) table[e.offset / 8] = host.panel_table()[e.offset / 8];
    table[kCheckEntry] = reinterpret_cast<void*>(&user_check);
    table[kRegisterEntry] = reinterpret_cast<void*>(&user_register);
    table[kUnitsEntry] = reinterpret_cast<void*>(&user_units);
    table[kAircraftVarEntry] = reinterpret_cast<void*>(&user_aircraft_var);
    table[kAircraftGetEntry] = reinterpret_cast<void*>(&user_aircraft_get);
    return table;
}

}  // namespace

UserPanel::UserPanel(Host& host) : host_(host), table_(build_table(host)) {
    UserPanel* expected = nullptr;
    if (!g_panel.compare_exchange_strong(expected, this))
        throw std::logic_error("hostsim: only one UserPanel may be active at a time");
}

UserPanel::~UserPanel() { g_panel.store(nullptr); }

UserPanel* UserPanel::active() { return g_panel.load(); }

void UserPanel::warn(const std::string& warning) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const std::string& w : warnings_)
        if (w == warning) return;
    warnings_.push_back(warning);
}

std::vector<std::string> UserPanel::warnings() const {
    std::lock_guard<std::mutex> hold(lock_);
    return warnings_;
}

UserModule::UserModule(UserPanel& panel, const std::string& path)
    : panel_(panel), path_(path), module_(panel.host(), path) {}

// The module's own ImportTable gets the user table: terrain_probe's keeps
// the host's, traps and all.
void UserModule::init() {
    module_.import_table().entries[0].table = const_cast<void**>(panel_.table());
    panel_.host().enter_module();
    if (module_.linkage().init) module_.linkage().init();
}

void UserModule::deinit() {
    panel_.host().enter_module();
    if (module_.linkage().deinit) module_.linkage().deinit();
}

}  // namespace hostsim
