// The module as the benchmarks drive it: a simulated host with its call
// log off and flat ground that keeps time, the module loaded and
// initialised, and its vorn gauge installed for a number of points.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hostsim/gauge_system.h"
#include "hostsim/host.h"
#include "hostsim/module.h"
#include "direct_calls.h"
#include "measure.h"

namespace bench {

// The host's panel-services entries, called as a module calls them.
struct PanelCalls {
    explicit PanelCalls(const hostsim::Host& host);
    CheckNamedVarFn check;
    RegisterNamedVarFn registerVar;
    GetNamedVarFn get;
    GetNamedVarTypedFn getTyped;
    SetNamedVarTypedFn setTyped;
};

class Rig {
public:
    explicit Rig(int points);
    ~Rig();
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    hostsim::Host& host() { return host_; }
    hostsim::Module& module() { return module_; }
    hostsim::Gauge& vorn() { return vorn_; }
    CycleClock& clock() { return *clock_; }

    // Code 6, which starts a worker (and builds the table the first time).
    void start_worker();
    // Code 15, then waits for the worker's end; the time between the two in ns.
    int64_t stop_worker();

    // Points the allocation watch at this module's code.
    void watch_module_code();
    // The variables of points 0 to count - 1, as the host numbered them.
    std::vector<PointIds> point_ids(int count) const;

private:
    hostsim::Host host_;
    std::shared_ptr<CycleClock> clock_;
    hostsim::Module module_;
    hostsim::Gauge vorn_;
    bool running_ = false;
};

// A running worker's CPU time per point (sampling must be on and the
// interval 0): the median over `spans` spans of `cyclesPerSpan` cycles.
double worker_ns_per_point(Rig& rig, int points, int cyclesPerSpan, int spans);
// The same for the point calls made directly on the rig's host.
double direct_ns_per_point(Rig& rig, const std::vector<PointIds>& points, int passesPerSpan, int spans);

}  // namespace bench
