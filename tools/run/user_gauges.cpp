// The user's gauges through a run, every call into their code guarded.
#include "user_gauges.h"

#include <algorithm>

#include "errors.h"
#include "gauge_guard.h"

namespace probe {
namespace {

constexpr double kFrameSeconds = 1.0 / 18.0;
constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;
constexpr double kOnGroundFt = 1.0;  // wheels on the ground: within this of the terrain

}  // namespace

hostsim::AircraftState aircraft_state(const Flight& flight, double seconds, const hostsim::Terrain& terrain) {
    Aircraft now = flight.at(seconds), next = flight.at(seconds + kFrameSeconds);
    hostsim::AircraftState state;
    state.latitudeDeg = now.position.latitudeDeg;
    state.longitudeDeg = now.position.longitudeDeg;
    state.altitudeFt = now.position.altitudeFt;
    state.groundFt =
        terrain.elevation_feet(hostsim::radians(state.latitudeDeg), hostsim::radians(state.longitudeDeg));
    state.headingDeg = now.headingDeg;
    double metres = distance_m(now.position, next.position);
    state.groundSpeedKt = metres / kFrameSeconds * kKnotsPerMetrePerSecond;
    state.trackDeg = metres > 0 ? bearing_deg(now.position, next.position) : now.headingDeg;
    if (state.trackDeg < 0) state.trackDeg += 360.0;
    state.verticalSpeedFpm = (next.position.altitudeFt - now.position.altitudeFt) / kFrameSeconds * 60.0;
    state.onGround = state.altitudeFt - state.groundFt <= kOnGroundFt;
    return state;
}

UserGauges::UserGauges(hostsim::Host& host, const std::vector<UserGaugeRequest>& requests) : panel_(host) {
    for (const UserGaugeRequest& request : requests) {
        auto loaded = std::find_if(modules_.begin(), modules_.end(), [&](const Loaded& l) { return l.file == request.file; });
        if (loaded == modules_.end()) {
            try {
                modules_.push_back({std::make_unique<hostsim::UserModule>(panel_, request.file), request.file});
            } catch (const hostsim::LoadError& e) {
                throw FileError("--gauge " + request.text + ": " + e.what());
            }
            loaded = modules_.end() - 1;
        }
        try {
            gauges_.push_back({request, std::make_unique<hostsim::Gauge>(loaded->module->module(), request.name, request.parameters)});
        } catch (const hostsim::LoadError&) {
            throw FileError("--gauge " + request.text + ": " + request.file + " declares no gauge named " + request.name);
        }
    }
}

// A module that was never given its deinit (a run that failed before the
// end) is unloaded without it, as a host that is killed would.
UserGauges::~UserGauges() {
    gauges_.clear();
    modules_.clear();
}

std::vector<std::string> UserGauges::names() const {
    std::vector<std::string> names;
    for (const Instance& g : gauges_) names.push_back(g.request.text);
    return names;
}

void UserGauges::init() {
    for (Loaded& loaded : modules_)
        call_user_gauge(loaded.file, "its module's init", [&] { loaded.module->init(); });
}

void UserGauges::each_gauge(const char* what, void (hostsim::Gauge::*step)()) {
    for (Instance& g : gauges_) call_user_gauge(g.request.text, what, [&] { (g.gauge.get()->*step)(); });
}

void UserGauges::install(const hostsim::AircraftState& aircraft) {
    panel_.set_aircraft(aircraft);
    each_gauge("its installation (codes 0 to 5)", &hostsim::Gauge::install);
}

void UserGauges::frame(const hostsim::AircraftState& aircraft) {
    panel_.set_aircraft(aircraft);
    each_gauge("a frame (codes 6 to 11)", &hostsim::Gauge::frame);
}

void UserGauges::unload() { each_gauge("its unload (codes 15, 12 and 13)", &hostsim::Gauge::unload); }

void UserGauges::deinit() {
    gauges_.clear();
    for (Loaded& loaded : modules_)
        call_user_gauge(loaded.file, "its module's deinit", [&] { loaded.module->deinit(); });
    modules_.clear();
}

}  // namespace probe
