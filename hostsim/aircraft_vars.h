// The aircraft variables a gauge reads through get_aircraft_var_enum and
// aircraft_varget: the aircraft's state at the current frame, each
// variable by its host name, and each read in the units the gauge names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hostsim {

// The aircraft at one frame, as the host's flight model holds it.
struct AircraftState {
    double latitudeDeg = 0, longitudeDeg = 0;
    double altitudeFt = 0;  // above mean sea level
    double groundFt = 0;    // the terrain model's elevation under the aircraft
    double trackDeg = 0;    // over the ground, true
    double headingDeg = 0;  // true
    double groundSpeedKt = 0;
    double verticalSpeedFpm = 0;
    bool onGround = false;
};

// The units a gauge may name beyond those of the named variables; their
// ids follow the host's others.
constexpr int32_t kUnitsKnots = 80;
constexpr int32_t kUnitsFeetPerMinute = 81;
constexpr int32_t kUnitsBool = 90;
constexpr int32_t kUnitsNumber = 91;

// The speed and plain units by name ("knots", "feet per minute", "bool",
// "number"); 0 for any other.
int32_t aircraft_units_by_name(const char* name);

// The variable's number (from 1) by its host name ("PLANE LATITUDE"), 0
// for one hostsim does not provide.
int32_t aircraft_var_by_name(const char* name);
const char* aircraft_var_name(int32_t var);

// The variable read in units, or nothing when the units are not of its
// kind (an angle in feet) or not known.
std::optional<double> aircraft_var_value(const AircraftState& aircraft, int32_t var, int32_t units);

}  // namespace hostsim
