// Fuzz target: the points and route files probe-host reads, from any bytes.
//  - The reader gives points and route points within their ranges (a
//    route with at least two, its times increasing), or refuses with a
//    FileError; any other exception, or a crash, is a finding.
//  - A refusal's message, and a point's name, are text a terminal shows as
//    it is: UTF-8 with no control character, escape or reordering mark,
//    whatever the file held.
//  - The flight along a route read, and the layouts placed around it, stay
//    on the globe with their longitudes in -180..180, at any time.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "flight.h"
#include "layout.h"
#include "points_csv.h"

namespace {

void check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "fuzz finding: %s\n", what);
        std::abort();
    }
}

// The length of the UTF-8 character at text[i] that a terminal shows as
// a character, 0 for anything else.
size_t shown_character(const std::string& text, size_t i) {
    auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0x20 && lead < 0x7F) return 1;
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (!length || lead > 0xF4 || i + length > text.size()) return 0;
    uint32_t code = lead & (0x3Fu >> (length - 1));
    for (size_t k = 1; k < length; ++k) {
        auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    bool control = code < 0xA0 || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
                   (code >= 0x2066 && code <= 0x2069);
    bool valid = code >= (length == 3 ? 0x800u : length == 4 ? 0x10000u : 0x80u) && code <= 0x10FFFF &&
                 !(code >= 0xD800 && code < 0xE000);
    return valid && !control ? length : 0;
}

void check_message(const std::string& message) {
    for (size_t i = 0; i < message.size();) {
        size_t length = shown_character(message, i);
        check(length > 0, "a refusal's message holds a byte a terminal would not show as text");
        i += length;
    }
}

bool on_globe(const probe::Position& p) {
    return p.latitudeDeg >= -90 && p.latitudeDeg <= 90 && p.longitudeDeg >= -180 && p.longitudeDeg < 180 &&
           std::isfinite(p.altitudeFt);
}

void check_points(const std::string& bytes) {
    try {
        std::vector<probe::FilePoint> points = probe::parse_points_csv(bytes, "p.csv");
        check(!points.empty() && points.size() <= static_cast<size_t>(probe::kMaxPoints), "points count");
        int line = 0;
        for (const probe::FilePoint& p : points) {
            check(p.position.latitudeDeg >= -90 && p.position.latitudeDeg <= 90, "point latitude out of range");
            check(p.position.longitudeDeg >= -180 && p.position.longitudeDeg <= 180, "point longitude out of range");
            check(std::fabs(p.position.altitudeFt) <= 2000000, "point altitude out of range");
            check(p.line > line, "point lines out of order");
            check(!p.expectedFt || std::fabs(*p.expectedFt) <= 2000000, "expected elevation out of range");
            check_message(p.name);  // shown in the summary as it is
            line = p.line;
        }
    } catch (const probe::FileError& e) {
        check_message(e.what());
    }
}

// The flight at its points' times, between them and beyond both ends, and
// a small layout of each kind around it.
void check_flight(const std::vector<probe::RoutePoint>& route) {
    probe::Flight flight = probe::Flight::route(route, "r.csv");
    std::vector<double> times{-1.0, route.back().seconds + 1};
    for (size_t i = 0; i < route.size() && i < 64; ++i) {
        times.push_back(route[i].seconds);
        if (i + 1 < route.size()) times.push_back((route[i].seconds + route[i + 1].seconds) / 2);
    }
    std::vector<probe::Position> placed;
    for (double t : times) {
        probe::Aircraft aircraft = flight.at(t);
        check(on_globe(aircraft.position), "the aircraft leaves the globe");
        check(aircraft.headingDeg >= 0 && aircraft.headingDeg <= 360, "heading out of range");
        for (probe::Layout layout : {probe::Layout::Fan, probe::Layout::Line, probe::Layout::Grid}) {
            probe::Probes::around(layout, 4, 20).place(aircraft, placed);
            for (const probe::Position& p : placed)
                check(std::isfinite(p.latitudeDeg) && p.longitudeDeg >= -180 && p.longitudeDeg < 180,
                      "a layout point's longitude out of range");
        }
    }
}

void check_route(const std::string& bytes) {
    try {
        std::vector<probe::RoutePoint> route = probe::parse_route_csv(bytes, "r.csv");
        check(route.size() >= 2, "a route of fewer than two points");
        for (size_t i = 1; i < route.size(); ++i)
            check(route[i].seconds > route[i - 1].seconds, "route times not increasing");
        check_flight(route);
    } catch (const probe::FileError& e) {
        check_message(e.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    check_points(bytes);
    check_route(bytes);
    return 0;
}
