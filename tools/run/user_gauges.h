// The gauges of the user's own (--gauge) in a run: their modules loaded
// beside terrain_probe, each gauge found in its module's table with its
// parameter string, driven in the host's order on the gauge thread, and
// the aircraft they read set every frame from the run's flight.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "flight.h"
#include "hostsim/gauge_system.h"
#include "hostsim/terrain.h"
#include "hostsim/user_module.h"
#include "options.h"

namespace probe {

// The aircraft as the host's variables give it at that moment of the
// flight: speeds and the track over the frame that follows.
hostsim::AircraftState aircraft_state(const Flight& flight, double seconds, const hostsim::Terrain& terrain);

class UserGauges {
public:
    // Loads every module named (each file once, however many of its gauges
    // are named); throws FileError with the reason.
    UserGauges(hostsim::Host& host, const std::vector<UserGaugeRequest>& requests);
    ~UserGauges();
    UserGauges(const UserGauges&) = delete;
    UserGauges& operator=(const UserGauges&) = delete;

    bool empty() const { return gauges_.empty(); }
    // Each module's init, in the order named.
    void init();
    // Codes 0 to 5 for every gauge, in the order given.
    void install(const hostsim::AircraftState& aircraft);
    // Codes 6 and 7 (and the frame's other codes) for every gauge.
    void frame(const hostsim::AircraftState& aircraft);
    // Codes 15, 12 and 13 for every gauge.
    void unload();
    // Each module's deinit, then its unload.
    void deinit();
    // What the gauges asked for that hostsim does not provide.
    std::vector<std::string> warnings() const { return panel_.warnings(); }
    // "FILE!NAME", one a gauge.
    std::vector<std::string> names() const;

private:
    struct Loaded {
        std::unique_ptr<hostsim::UserModule> module;
        std::string file;
    };
    struct Instance {
        UserGaugeRequest request;
        std::unique_ptr<hostsim::Gauge> gauge;
    };
    void each_gauge(const char* what, void (hostsim::Gauge::*step)());

    hostsim::UserPanel panel_;
    std::vector<Loaded> modules_;
    std::vector<Instance> gauges_;
};

}  // namespace probe
