// probe-host's readers and geometry, tested directly: the points and route
// files as spreadsheets save them, and the flight and the layouts where
// positions wrap at the antimeridian and the poles.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "flight.h"
#include "layout.h"
#include "points_csv.h"
#include "user_gauges.h"

namespace {

using probe::FileError;
using probe::FilePoint;
using probe::Position;

std::vector<FilePoint> points(const std::string& bytes) { return probe::parse_points_csv(bytes, "p.csv"); }

// The message a file is refused with, "" when it is read.
std::string refusal(const std::string& bytes) {
    try {
        points(bytes);
    } catch (const FileError& e) {
        return e.what();
    }
    return "";
}

void expect_point(const FilePoint& p, double lat, double lon, double alt, int line) {
    EXPECT_DOUBLE_EQ(p.position.latitudeDeg, lat) << "line " << p.line;
    EXPECT_DOUBLE_EQ(p.position.longitudeDeg, lon) << "line " << p.line;
    EXPECT_DOUBLE_EQ(p.position.altitudeFt, alt) << "line " << p.line;
    EXPECT_EQ(p.line, line);
}

// UTF-16 of ASCII text, after the byte-order mark.
std::string utf16(const std::string& text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char c : text) {
        bytes += littleEndian ? c : '\0';
        bytes += littleEndian ? '\0' : c;
    }
    return bytes;
}

TEST(PointsFile, ReadsWhatSpreadsheetsSave) {
    // A German locale: semicolons, decimal commas, and old Mac line ends.
    std::vector<FilePoint> german = points("Breite;L\xC3\xA4nge;H\xC3\xB6he\r47,1;11,5;10000\r47,25;-11,5;9000,5\r;;\r");
    ASSERT_EQ(german.size(), 2u);
    expect_point(german[0], 47.1, 11.5, 10000, 2);
    expect_point(german[1], 47.25, -11.5, 9000.5, 3);

    // Excel's line naming the separator comes first where it is written.
    std::vector<FilePoint> named = points("sep=;\nlat;lon;alt\n47,1;11,5;10000\n");
    ASSERT_EQ(named.size(), 1u);
    expect_point(named[0], 47.1, 11.5, 10000, 3);

    // Rows and columns left empty around the data, and one between.
    std::vector<FilePoint> padded = points("lat,,lon,alt,,\n47.1,,11.5,10000,,\n,,,,,\n46.5,,11,\"12000\",,\n,,\n");
    ASSERT_EQ(padded.size(), 2u);
    expect_point(padded[0], 47.1, 11.5, 10000, 2);
    expect_point(padded[1], 46.5, 11, 12000, 4);

    // "Unicode text" in either byte order, tab-separated as saved, or CSV.
    for (bool little : {true, false}) {
        std::vector<FilePoint> wide = points(utf16("lat\tlon\talt\r\n47.1\t11.5\t10000\r\n", little));
        ASSERT_EQ(wide.size(), 1u);
        expect_point(wide[0], 47.1, 11.5, 10000, 2);
        ASSERT_EQ(points(utf16("47.1,11.5,1e4\n", little)).size(), 1u);
    }
    // A byte-order mark and quotes, and a decimal comma that quotes keep
    // inside a comma-separated field.
    std::vector<FilePoint> quoted = points("\xEF\xBB\xBF\"47,5\",\"11.0\",+9000\n");
    ASSERT_EQ(quoted.size(), 1u);
    expect_point(quoted[0], 47.5, 11, 9000, 1);
}

TEST(PointsFile, RefusesWhatIsNotAPointInPlainWords) {
    struct Case {
        std::string bytes, says;
    } cases[] = {
        {"0x2F,11,100\n", "p.csv line 1, column 1: latitude '0x2F' is not a number"},
        {"47,inf,100\n", "longitude 'inf' is not a number"},
        {"47,11,nan\n", "altitude 'nan' is not a number"},
        {"47,11,1e\n", "altitude '1e' is not a number"},
        {"47,11.5.2,100\n", "longitude '11.5.2' is not a number"},
        {"47;11,5,2;100\n", "longitude '11,5,2' is not a number"},
        {"47.1,11.5,100\n47.2,,100\n", "line 2, column 2: longitude is empty"},
        {"91,11,100\n", "latitude 91 is outside -90..90"},
        {"47,11,1e999\n", "altitude 1e999 is outside"},
        {"47.1,11.5,100,7\n", "expected latitude,longitude,altitude (3 fields), found 4"},
        {",,\n;;\n\n\"\";\n", "holds no points"},
        {";;\n47,1;11,5;1000\n47.2,11.5,1000\n", "line 3: expected latitude,longitude,altitude (3 fields), found 1"},
        {std::string("4\0007\000,\0001\0001\000", 10), "is not text: it holds NUL bytes"},
        // Thousands separators that fit neither reading, or either.
        {"lat,lon,alt\n47.1,11.2,\"1,23,456\"\n",
         "line 2, column 3: altitude '1,23,456' is not a number as this file writes them (decimal points, commas "
         "between thousands)"},
        {"\"47,5\",\"11.0\",\"12.500\"\n", "altitude '12.500' could be read with either decimal mark"},
        {"lat;lon;alt_m\n47,1;11,1;700.000\n",
         "altitude 700.000 m (read as 700000, in a file of decimal commas, points between thousands) is outside "
         "-609600..609600 m"},
        // Headers whose names decide the columns, and their columns counted
        // as the file has them.
        {"lat,,lon,alt\n47,,x,100\n", "line 2, column 3: longitude 'x' is not a number"},
        {"lat,lon\n47,11\n", "line 1: the header names no altitude column (name it alt, altitude"},
        {"lat,Latitude,lon,alt\n", "line 1, column 2: columns 1 and 2 both give the latitude"},
        {"lat,lon,alt (furlongs)\n47,11,1\n",
         "line 1, column 3: 'alt (furlongs)': the altitude's unit 'furlongs' is not one probe-host reads (ft, m)"},
        {"lat,lon,alt\n47,11,100,5\n", "line 2: 4 fields where the header on line 1 names 3"},
    };
    for (const Case& c : cases) {
        std::string message = refusal(c.bytes);
        EXPECT_NE(message.find(c.says), std::string::npos) << "'" << message << "' for " << c.bytes;
    }
}

// A header's names decide the columns and their units; numbers are read
// with the thousands separators of the file's decimal mark.
TEST(PointsFile, ReadsColumnsByTheirNamesAndNumbersByTheirMarks) {
    struct Case {
        std::string bytes;
        double lat, lon, alt;
        std::string name;
        std::optional<double> expected;
    } cases[] = {
        {"lat,lon,alt\n47.5,11.5,\"12,500\"\n", 47.5, 11.5, 12500, "", {}},
        {"lat;lon;alt\n47,5;11,5;12.500\n", 47.5, 11.5, 12500, "", {}},
        {"47;11;12.500\n", 47, 11, 12500, "", {}},  // semicolons: decimal commas unless a number says otherwise
        {"lat,lon,alt\n47.1,11.2,\"1,234.5\"\n", 47.1, 11.2, 1234.5, "", {}},
        {"lat;lon;alt\n47,1;11,2;1.234,5\n", 47.1, 11.2, 1234.5, "", {}},
        {"lon,lat,alt\n11.5,47.5,10000\n", 47.5, 11.5, 10000, "", {}},
        {"Name,ALT_M,Latitude,LNG\nZugspitze,2962,47.421,10.985\n", 47.421, 10.985, 2962 / 0.3048, "Zugspitze", {}},
        {"lat,lon,altitude (m)\n47,11,3048\n", 47, 11, 10000, "", {}},
        {"lat,lon,alt [ft]\n47,11,3048\n", 47, 11, 3048, "", {}},
        {"id;elevation_m;lat;lon\nP\x1B" "1;304,8;47;11\n", 47, 11, 1000, "P\\x1B1", {}},
        {"lat (rad),long,alt\n0.5,11,100\n", 28.64788975654116, 11, 100, "", {}},
        {"time,lat,lon,alt,expected_m\n0,47,11,9000,1000\n", 47, 11, 9000, "", 1000 / 0.3048},
        {"lat,lon,alt,expected_ft\n47,11,9000,\n", 47, 11, 9000, "", {}},
        {"Breite;L\xC3\xA4nge;H\xC3\xB6he\n47,1;11,5;10000\n", 47.1, 11.5, 10000, "", {}},  // names of its own
    };
    for (const Case& c : cases) {
        std::vector<FilePoint> read = points(c.bytes);
        ASSERT_EQ(read.size(), 1u) << c.bytes;
        EXPECT_NEAR(read[0].position.latitudeDeg, c.lat, 1e-9) << c.bytes;
        EXPECT_NEAR(read[0].position.longitudeDeg, c.lon, 1e-9) << c.bytes;
        EXPECT_NEAR(read[0].position.altitudeFt, c.alt, 1e-9) << c.bytes;
        EXPECT_EQ(read[0].name, c.name) << c.bytes;
        EXPECT_EQ(read[0].expectedFt.has_value(), c.expected.has_value()) << c.bytes;
        if (c.expected) {
            EXPECT_NEAR(*read[0].expectedFt, *c.expected, 1e-9) << c.bytes;
        }
    }
}

// Whatever a field holds, a message shows it as text: no byte a terminal
// acts on, nothing that is not UTF-8, and no more than a few dozen bytes.
TEST(PointsFile, QuotesFieldsSafelyInMessages) {
    std::string hostile = "\x1B]0;owned\x07\x1B[2J\xC2\x9B" "31m\xE2\x80\xAE\xFF\xC0\xAF" + std::string(500, 'x');
    std::string message = refusal("47,11,100\n47," + hostile + ",100\n");
    ASSERT_NE(message.find("longitude '\\x1B]0;owned\\x07\\x1B[2J\\xC2\\x9B31m\\xE2\\x80\\xAE\\xFF\\xC0\\xAFxx"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("x...'"), std::string::npos) << message;
    EXPECT_LT(message.size(), 150u);
    for (unsigned char c : message) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
    // Text that is only unusual comes through as it is.
    EXPECT_NE(refusal("47,\xC3\xA9l\xC3\xA9vation,100\n").find("'\xC3\xA9l\xC3\xA9vation'"), std::string::npos);
}

TEST(Antimeridian, RouteFliesTheShortWayRound) {
    auto route = probe::parse_route_csv("Time [ms],Lon,Lat,Alt_m\n0,179.95,47,3048\n10000,-179.95,47,3048\n", "r.csv");
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(route[1].seconds, 10);
    EXPECT_NEAR(route[1].position.altitudeFt, 10000, 1e-9);
    probe::Flight flight = probe::Flight::route(route, "r.csv");
    for (double t = 0; t <= 10; t += 0.5) {
        probe::Aircraft a = flight.at(t);
        double east = probe::longitude_difference(179.95, a.position.longitudeDeg);
        EXPECT_NEAR(east, 0.01 * t, 1e-9) << t << " s";
        EXPECT_GE(a.position.longitudeDeg, -180.0);
        EXPECT_LT(a.position.longitudeDeg, 180.0);
        EXPECT_NEAR(a.headingDeg, 90.0, 0.1);
    }
    // About 7.6 km along the 47th parallel, not 27000 km back round.
    EXPECT_NEAR(probe::distance_m(route[0].position, route[1].position), 7580, 10);
    // Westwards likewise.
    auto back = probe::Flight::route({{0, {-10, -179.9, 0}, 1, ""}, {4, {-10, 179.9, 0}, 2, ""}}, "back");
    EXPECT_NEAR(back.at(1).position.longitudeDeg, -179.95, 1e-9);
    EXPECT_NEAR(back.at(3).position.longitudeDeg, 179.95, 1e-9);
    EXPECT_NEAR(back.at(2).headingDeg, 270.0, 0.1);
}

TEST(Antimeridian, LayoutsAroundTheAircraftWrapTheirLongitudes) {
    probe::Aircraft aircraft{{-16.5, 179.99, 5000}, 90.0};
    std::vector<Position> out;
    for (probe::Layout layout : {probe::Layout::Line, probe::Layout::Fan, probe::Layout::Grid}) {
        probe::Probes probes = probe::Probes::around(layout, 9, 20);
        probes.place(aircraft, out);
        ASSERT_EQ(out.size(), 9u);
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_GE(out[i].longitudeDeg, -180.0) << i;
            EXPECT_LT(out[i].longitudeDeg, 180.0) << i;
            EXPECT_LT(probe::distance_m(aircraft.position, out[i]), 20001.0) << i;
        }
    }
    // The line runs east across the meridian, its points 20/9 km apart.
    probe::Probes::around(probe::Layout::Line, 9, 20).place(aircraft, out);
    EXPECT_LT(out.back().longitudeDeg, -179.8);
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_NEAR(probe::distance_m(aircraft.position, out[i]), 20000.0 * (i + 1) / 9, 1.0) << i;
    // Over a pole the line comes down the other side, half the world round,
    // and at the pole itself every point is still somewhere.
    probe::Probes::around(probe::Layout::Line, 4, 20).place({{89.95, 10, 5000}, 0.0}, out);
    EXPECT_NEAR(out.back().latitudeDeg, 180 - 89.95 - 20000 / 111194.9, 1e-3);
    EXPECT_NEAR(out.back().longitudeDeg, -170, 1e-9);
    probe::Probes::around(probe::Layout::Fan, 4, 20).place({{90, 10, 5000}, 0.0}, out);
    for (const Position& p : out) EXPECT_TRUE(std::isfinite(p.longitudeDeg) && p.latitudeDeg <= 90);
    // The default flight heads north-east from where it starts.
    probe::Position later = probe::Flight::straight(10, 179.999).at(60).position;
    EXPECT_GT(later.longitudeDeg, -180.0);
    EXPECT_LT(later.longitudeDeg, -179.9);
}


// What a user's gauge reads of the aircraft: a route climbing north at a
// known speed over level ground at 1000 ft, read in each unit it may name.
TEST(AircraftVariables, GiveTheFlightInTheUnitsTheGaugeNames) {
    // 0.1 degree of latitude (11119.5 m on the mean sphere) in 100 s,
    // climbing 1000 ft: 216.2 kt and 600 ft/min, track north.
    probe::Flight flight = probe::Flight::route({{0, {47.0, 11.0, 5000}, 0, ""}, {100, {47.1, 11.0, 6000}, 0, ""}}, "climb");
    auto ground = hostsim::flat_terrain(1000.0);
    hostsim::AircraftState a = probe::aircraft_state(flight, 50.0, *ground);
    double knots = probe::distance_m({47.0, 11.0, 0}, {47.1, 11.0, 0}) / 100.0 * 3600.0 / 1852.0;
    auto read = [&](const char* var, const char* units) {
        int32_t id = hostsim::aircraft_var_by_name(var);
        int32_t unitId = hostsim::aircraft_units_by_name(units);
        if (!unitId) unitId = hostsim::units_by_name(units);
        return hostsim::aircraft_var_value(a, id, unitId);
    };
    struct Case {
        const char* var;
        const char* units;
        double expected, tolerance;
    } cases[] = {
        {"PLANE LATITUDE", "degrees", 47.05, 1e-9},
        {"PLANE LATITUDE", "radians", hostsim::radians(47.05), 1e-11},
        {"PLANE LONGITUDE", "degrees", 11.0, 1e-9},
        {"PLANE ALTITUDE", "feet", 5500, 1e-6},
        {"PLANE ALTITUDE", "meters", 5500 * 0.3048, 1e-6},
        {"PLANE ALT ABOVE GROUND", "feet", 4500, 1e-6},
        {"GROUND ALTITUDE", "meters", 304.8, 1e-6},
        {"GPS GROUND TRUE TRACK", "degrees", 0.0, 1e-3},
        {"PLANE HEADING DEGREES TRUE", "degrees", 0.0, 1e-3},
        {"GROUND VELOCITY", "knots", knots, 0.01},
        {"VERTICAL SPEED", "feet per minute", 600, 0.01},
        {"SIM ON GROUND", "bool", 0, 0},
        {"plane altitude", "feet", 5500, 1e-6},  // names compare without case
    };
    for (const Case& c : cases) {
        std::optional<double> value = read(c.var, c.units);
        ASSERT_TRUE(value) << c.var << " in " << c.units;
        EXPECT_NEAR(*value, c.expected, c.tolerance) << c.var << " in " << c.units;
    }
    // An angle asked for in feet, a variable hostsim lacks: no value, so
    // the host warns instead of answering with a number in the wrong unit.
    EXPECT_FALSE(read("PLANE LATITUDE", "feet"));
    EXPECT_EQ(hostsim::aircraft_var_by_name("AIRSPEED INDICATED"), 0);
    // Parked on the ground at the route's end: on the ground, at rest.
    hostsim::AircraftState parked =
        probe::aircraft_state(probe::Flight::route({{0, {47.0, 11.0, 1000}, 0, ""}, {1, {47.0, 11.001, 1000}, 0, ""}}, "taxi"), 5.0, *ground);
    EXPECT_TRUE(parked.onGround);
    EXPECT_EQ(parked.groundSpeedKt, 0.0);
}

}  // namespace
