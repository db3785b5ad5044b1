// The aircraft variables: each held in one unit of its kind, converted to
// the unit a gauge asks for.
#include "hostsim/aircraft_vars.h"

#include <cstring>
#include <strings.h>

#include "hostsim/host.h"
#include "hostsim/terrain.h"

namespace hostsim {
namespace {

enum class Kind { Angle, Length, Speed, Plain };

struct Variable {
    const char* name;
    Kind kind;
    double (*value)(const AircraftState&);  // degrees, feet, knots, or a plain number
};

constexpr double kFpmPerKnot = 1852.0 / 0.3048 / 60.0;

const Variable kVariables[] = {
    {"PLANE LATITUDE", Kind::Angle, [](const AircraftState& a) { return a.latitudeDeg; }},
    {"PLANE LONGITUDE", Kind::Angle, [](const AircraftState& a) { return a.longitudeDeg; }},
    {"PLANE ALTITUDE", Kind::Length, [](const AircraftState& a) { return a.altitudeFt; }},
    {"PLANE ALT ABOVE GROUND", Kind::Length, [](const AircraftState& a) { return a.altitudeFt - a.groundFt; }},
    {"GROUND ALTITUDE", Kind::Length, [](const AircraftState& a) { return a.groundFt; }},
    {"GPS GROUND TRUE TRACK", Kind::Angle, [](const AircraftState& a) { return a.trackDeg; }},
    {"PLANE HEADING DEGREES TRUE", Kind::Angle, [](const AircraftState& a) { return a.headingDeg; }},
    {"GROUND VELOCITY", Kind::Speed, [](const AircraftState& a) { return a.groundSpeedKt; }},
    {"VERTICAL SPEED", Kind::Speed, [](const AircraftState& a) { return a.verticalSpeedFpm / kFpmPerKnot; }},
    {"SIM ON GROUND", Kind::Plain, [](const AircraftState& a) { return a.onGround ? 1.0 : 0.0; }},
};
constexpr int32_t kVariableCount = static_cast<int32_t>(sizeof kVariables / sizeof kVariables[0]);

// The factor from the variable's own unit to the one asked for.
std::optional<double> factor(Kind kind, int32_t units) {
    switch (kind) {
    case Kind::Angle:
        if (units == kUnitsDegrees) return 1.0;
        if (units == kUnitsRadians) return kPi / 180.0;
        break;
    case Kind::Length:
        if (units == kUnitsFeet) return 1.0;
        if (units == kUnitsMeters) return 0.3048;
        break;
    case Kind::Speed:
        if (units == kUnitsKnots) return 1.0;
        if (units == kUnitsFeetPerMinute) return kFpmPerKnot;
        break;
    case Kind::Plain:
        if (units == kUnitsBool || units == kUnitsNumber) return 1.0;
        break;
    }
    return std::nullopt;
}

}  // namespace

int32_t aircraft_units_by_name(const char* name) {
    static const std::pair<const char*, int32_t> kUnits[] = {{"knots", kUnitsKnots},
                                                             {"knot", kUnitsKnots},
                                                             {"feet per minute", kUnitsFeetPerMinute},
                                                             {"feet/minute", kUnitsFeetPerMinute},
                                                             {"bool", kUnitsBool},
                                                             {"number", kUnitsNumber}};
    for (const auto& unit : kUnits)
        if (strcasecmp(name, unit.first) == 0) return unit.second;
    return 0;
}

int32_t aircraft_var_by_name(const char* name) {
    for (int32_t i = 0; i < kVariableCount; ++i)
        if (strcasecmp(name, kVariables[i].name) == 0) return i + 1;
    return 0;
}

const char* aircraft_var_name(int32_t var) { return var >= 1 && var <= kVariableCount ? kVariables[var - 1].name : ""; }

std::optional<double> aircraft_var_value(const AircraftState& aircraft, int32_t var, int32_t units) {
    if (var < 1 || var > kVariableCount) return std::nullopt;
    const Variable& v = kVariables[var - 1];
    std::optional<double> f = factor(v.kind, units);
    if (!f) return std::nullopt;
    return v.value(aircraft) * *f;
}

}  // namespace hostsim
