// Loading a gauge module as a host does: a fresh copy of the file each
// time (so its global state starts at zero), the ImportTable and Linkage
// checks, the panel-services table written in, init and deinit.
#pragma once

#include <stdexcept>
#include <string>

#include "host/gauge_records.h"
#include "host/panel_services.h"
#include "hostsim/host.h"

namespace hostsim {

// A file that is missing, cannot be loaded, or is not a gauge module.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a module file is loaded. A private copy per load keeps every load's
// global state apart; the file itself is what a real host loads, so a load
// while an earlier instance is still mapped (its worker holding it) gets
// that instance back, globals as they were.
enum class LoadMode { PrivateCopy, SameFile };

class Module {
public:
    // Loads the module at path for host; throws LoadError with a reason.
    Module(Host& host, const std::string& path, LoadMode mode = LoadMode::PrivateCopy);
    // Unloads, with no deinit if the caller never called it, as a host that
    // is killed would.
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    void init();
    void deinit();
    bool initialised() const { return initialised_; }

    Host& host() const { return host_; }
    LinkageRecord& linkage() const { return *linkage_; }
    ImportTableRecord& import_table() const { return *importTable_; }
    // The gauge of that name in Linkage's gauge table, or null.
    GaugeHeader* gauge(const std::string& name) const;
    // The bitmap resource of that id as a device-independent bitmap (the
    // information header, any colour table and the rows); empty if none.
    std::string bitmap(uint32_t resourceId) const;
    void* native_handle() const { return handle_; }
    // The file the system loaded: the private copy, or the file itself.
    const std::string& loaded_path() const { return copy_.empty() ? path_ : copy_; }

private:
    void remove_copy();

    Host& host_;
    std::string path_;
    std::string copy_;  // the private copy; empty when the file itself is loaded
    void* handle_ = nullptr;
    LinkageRecord* linkage_ = nullptr;
    ImportTableRecord* importTable_ = nullptr;
    bool initialised_ = false;
};

// A further handle on a loaded module, as a host that keeps its add-on
// modules loaded across an aircraft change holds one. While it lives the
// instance stays mapped, so that a Module of the same file (LoadMode::
// SameFile) unloaded and loaded again gets that instance back, globals as
// the last session left them, with no worker of the module's involved.
class ModuleHold {
public:
    explicit ModuleHold(const Module& module);
    ~ModuleHold();
    ModuleHold(const ModuleHold&) = delete;
    ModuleHold& operator=(const ModuleHold&) = delete;

private:
    void* handle_;
};

// The module that TP_MODULE names, else the one built beside the running
// program (terrain_probe.dll or .so): a build of the module against
// another C runtime runs the same test programs.
std::string default_module_path();
// The directory of the running program.
std::string program_directory();

}  // namespace hostsim
