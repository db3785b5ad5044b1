// lookahead_gauge.cpp: a C++ gauge that looks at the ground ahead through
// terrain_probe. Every frame it places six probe points on a line along the
// aircraft's ground track, 1 to 6 nautical miles ahead at the aircraft's
// altitude, and reads back the ground elevation terrain_probe published
// for each; it keeps the highest ground and the clearance above it in two
// named variables of its own for your other gauges:
//
//   L:Lookahead_HighestGround_ft   the highest ground under the six points
//   L:Lookahead_Clearance_ft       the aircraft's altitude above it
//
// Build it as a gauge module of its own (a DLL) with the simulator's SDK
// (gauges.h), beside terrain_probe.dll, and name both in the panel
// configuration (examples/panel.cfg): terrain_probe!vorn with a point count
// of at least 6, and terrain_lookahead!lookahead.
//
// What needs the simulator: this file itself. It runs only inside the
// simulator, whose panel system calls lookahead_callback and whose
// aircraft variables give the position and the track.
//
// What you can try without it: terrain_probe's side of the exchange. probe-host
// plays a gauge that does what this one does (points along the track,
// WZ_Active set, elevations read back) and shows what the module returns.
// The same six points, 1 to 6 nm (11.112 km) ahead:
//
//   probe-host --layout line --count 6 --range 11.112 --seconds 20 --profile profile.png
//
// and over real ground, with a terrain file (native build; examples/data/
// holds example terrain):
//
//   probe-host --layout line --count 6 --range 11.112 --terrain examples/data/N47E011.asc
//
// profile.png then shows the points' elevations against the distance ahead
// and the lowest clearance, the figures this gauge computes.

#include <gauges.h>  // from the simulator's SDK

#include <cmath>
#include <cstdio>

namespace {

constexpr int kPoints = 6;                  // the vorn gauge's parameter must be at least this
constexpr double kSpacingNm = 1.0;          // between points, and from the aircraft to the first
constexpr double kEarthRadiusNm = 3440.065; // mean radius: a nautical mile is a minute of arc

// The variables this gauge uses, looked up once. A named variable may
// already exist (terrain_probe makes the WZ_ ones when it starts), so each
// is looked up first and registered only when absent.
struct Variables {
    ID active = 0;
    ID lat[kPoints] = {}, lon[kPoints] = {}, alt[kPoints] = {}, elevation[kPoints] = {};
    ID highestGround = 0, clearance = 0;
    ENUM radians = 0, feet = 0;
    ENUM planeLat = 0, planeLon = 0, planeAlt = 0, track = 0;
};
Variables vars;

// register_named_variable answers the existing id when terrain_probe (or
// any gauge) made the variable first, and makes it otherwise; ids start at
// 0, so no id may be tested for 0, and check_named_variable's -1 for an
// absent name is no id at all.
ID named_variable(const char* name) { return register_named_variable(name); }

ID indexed_variable(const char* prefix, int index) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%d", prefix, index);  // WZPointLat_0, WZPointLat_1, ...
    return named_variable(name);
}

void look_up_variables() {
    vars.active = named_variable("WZ_Active");
    for (int i = 0; i < kPoints; ++i) {
        vars.lat[i] = indexed_variable("WZPointLat_", i);
        vars.lon[i] = indexed_variable("WZPointLon_", i);
        vars.alt[i] = indexed_variable("WZPointAlt_", i);
        vars.elevation[i] = indexed_variable("WZPointElevation_", i);
    }
    vars.highestGround = named_variable("Lookahead_HighestGround_ft");
    vars.clearance = named_variable("Lookahead_Clearance_ft");
    vars.radians = get_units_enum("radians");
    vars.feet = get_units_enum("feet");
    vars.planeLat = get_aircraft_var_enum("PLANE LATITUDE");
    vars.planeLon = get_aircraft_var_enum("PLANE LONGITUDE");
    vars.planeAlt = get_aircraft_var_enum("PLANE ALTITUDE");
    vars.track = get_aircraft_var_enum("GPS GROUND TRUE TRACK");
}

// The points along the track, written in radians and feet: terrain_probe
// reads latitude and longitude in radians and altitude in feet whatever
// unit they were written in. Over a few miles the ground is flat enough
// for this step along the track; near a pole the longitude step grows
// without bound, so it is left at the aircraft's there.
void place_points() {
    double lat = aircraft_varget(vars.planeLat, vars.radians, 0);
    double lon = aircraft_varget(vars.planeLon, vars.radians, 0);
    double alt = aircraft_varget(vars.planeAlt, vars.feet, 0);
    double track = aircraft_varget(vars.track, vars.radians, 0);
    double cosLat = std::cos(lat);
    for (int i = 0; i < kPoints; ++i) {
        double angle = kSpacingNm * (i + 1) / kEarthRadiusNm;  // the distance as an arc, radians
        double pointLon = std::fabs(cosLat) > 1e-6 ? lon + angle * std::sin(track) / cosLat : lon;
        set_named_variable_typed_value(vars.lat[i], lat + angle * std::cos(track), vars.radians);
        set_named_variable_typed_value(vars.lon[i], pointLon, vars.radians);
        set_named_variable_typed_value(vars.alt[i], alt, vars.feet);
    }
}

// The elevations terrain_probe published, at most one interval (about
// 55 ms) behind the points just written. A point never sampled yet reads 0.
void read_elevations() {
    double highest = 0.0;
    for (int i = 0; i < kPoints; ++i)
        highest = std::fmax(highest, get_named_variable_typed_value(vars.elevation[i], vars.feet));
    double alt = aircraft_varget(vars.planeAlt, vars.feet, 0);
    set_named_variable_typed_value(vars.highestGround, highest, vars.feet);
    set_named_variable_typed_value(vars.clearance, alt - highest, vars.feet);
}

}  // namespace

// The simulator calls this with each service code of the gauge's life.
void FSAPI lookahead_callback(PGAUGEHDR, SINT32 service_id, UINT_PTR) {
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
        look_up_variables();
        // Sampling runs while WZ_Active is not 0; it starts at 0.
        set_named_variable_value(vars.active, 1.0);
        break;
    case PANEL_SERVICE_PRE_UPDATE:
        place_points();
        read_elevations();
        break;
    case PANEL_SERVICE_PRE_KILL:
        // Nobody else looking ahead: let terrain_probe's worker rest.
        set_named_variable_value(vars.active, 0.0);
        break;
    default:
        break;
    }
}

// The gauge's declaration as the SDK describes it: a 1 x 1 image (any
// bitmap, here resource 0x100 of this module's resource script:
// `0x100 BITMAP "lookahead.bmp"`), drawn transparent, no mouse areas.
#define GAUGE_NAME "lookahead"
#define GAUGEHDR_VAR_NAME gaugehdr_lookahead
#define GAUGE_W 1
#define BMP_LOOKAHEAD 0x100

char lookahead_gauge_name[] = GAUGE_NAME;
extern PELEMENT_HEADER lookahead_list;
extern MOUSERECT lookahead_mouse_rect[];

GAUGE_CALLBACK lookahead_callback;
GAUGE_HEADER_FS700(GAUGE_W, lookahead_gauge_name, &lookahead_list, lookahead_mouse_rect, lookahead_callback, 0, 0, 0);

MAKE_STATIC(lookahead_image, BMP_LOOKAHEAD, NULL, NULL, IMAGE_USE_TRANSPARENCY, 0, 0, 0)
PELEMENT_HEADER lookahead_list = &lookahead_image.header;

MOUSE_BEGIN(lookahead_mouse_rect, HELP_NONE, 0, 0)
MOUSE_END

// This module's gauge table: terrain_lookahead!lookahead.
GAUGE_TABLE_BEGIN()
GAUGE_TABLE_ENTRY(&gaugehdr_lookahead)
GAUGE_TABLE_END()
