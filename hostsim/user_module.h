// A panel developer's own gauge module, hosted beside terrain_probe: loaded
// as the module is (a fresh copy, its ImportTable and Linkage checked),
// handed a panel-services table of its own, its init and deinit called.
//
// Its table answers the named-variable, element-list and PDK entries as
// the host's does, and adds what a gauge of the simulator's reads: the
// aircraft variables (get_aircraft_var_enum, aircraft_varget) and their
// units. Every other entry, and an aircraft variable or unit hostsim does
// not provide, answers 0 and is noted as a warning naming it: the user's
// gauge is never left to call a trap, and terrain_probe's own table keeps
// its traps.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hostsim/aircraft_vars.h"
#include "hostsim/module.h"

namespace hostsim {

// The table every user module gets, and the aircraft it reads. One is
// active at a time, as a Host is; it must outlive the modules given it.
class UserPanel {
public:
    explicit UserPanel(Host& host);
    ~UserPanel();
    UserPanel(const UserPanel&) = delete;
    UserPanel& operator=(const UserPanel&) = delete;

    static UserPanel* active();
    Host& host() const { return host_; }
    void* const* table() const { return table_.data(); }

    // The aircraft the gauges read from now on; set on the gauge thread.
    void set_aircraft(const AircraftState& aircraft) { aircraft_ = aircraft; }
    const AircraftState& aircraft() const { return aircraft_; }

    // What the gauges asked for that hostsim does not provide, each once.
    void warn(const std::string& warning);
    std::vector<std::string> warnings() const;

private:
    Host& host_;
    std::vector<void*> table_;
    AircraftState aircraft_;
    mutable std::mutex lock_;
    std::vector<std::string> warnings_;
};

class UserModule {
public:
    // Loads the module at path; throws LoadError with a reason.
    UserModule(UserPanel& panel, const std::string& path);
    void init();
    void deinit();
    Module& module() { return module_; }
    const std::string& path() const { return path_; }

private:
    UserPanel& panel_;
    std::string path_;
    Module module_;
};

}  // namespace hostsim
