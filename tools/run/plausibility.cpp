// Checked once, before the run or at a --set write: never in the frame.
#include "plausibility.h"

#include <cmath>
#include <cstdio>

#include "csv_records.h"

namespace probe {
namespace {

constexpr size_t kNamed = 5;  // points a warning names before "and N more"
constexpr double kMetresPerFoot = 0.3048;
constexpr double kKnotsPerMps = 3600.0 / 1852.0;

// The findings as one warning: "what: a, b, c and 4 more".
class Listing {
public:
    void add(const std::string& item) {
        if (count_++ < kNamed) text_ += (text_.empty() ? "" : ", ") + item;
    }
    std::string said(const std::string& what) const {
        if (!count_) return "";
        return what + ": " + text_ + (count_ > kNamed ? " and " + std::to_string(count_ - kNamed) + " more" : "");
    }

private:
    size_t count_ = 0;
    std::string text_;
};

// The ground under a position, or false where the terrain has no data.
bool ground_under(const Position& p, const hostsim::Terrain& terrain, double& groundFt) {
    double lat = hostsim::radians(p.latitudeDeg), lon = hostsim::radians(p.longitudeDeg);
    if (!terrain.covers(lat, lon)) return false;
    groundFt = terrain.elevation_feet(lat, lon);
    return true;
}

std::string below(const std::string& label, const Position& p, double groundFt) {
    char text[96];
    std::snprintf(text, sizeof text, " at %.0f ft, %.0f ft under the ground", p.altitudeFt, groundFt - p.altitudeFt);
    return label + text;
}

}  // namespace

std::string points_below_ground(const std::vector<FilePoint>& points, const hostsim::Terrain& terrain,
                                const std::string& path) {
    Listing listing;
    double ground = 0;
    for (const FilePoint& p : points)
        if (ground_under(p.position, terrain, ground) && p.position.altitudeFt < ground)
            listing.add(below(record_label(p.line, p.name), p.position, ground));
    return listing.said(path + ": points placed below the terrain model's ground (altitudes are feet unless the "
                               "header says alt_m)");
}

std::vector<std::string> route_findings(const std::vector<RoutePoint>& route, const hostsim::Terrain& terrain,
                                        const std::string& path) {
    Listing under, fast;
    double ground = 0;
    for (size_t i = 0; i < route.size(); ++i) {
        const RoutePoint& p = route[i];
        if (ground_under(p.position, terrain, ground) && p.position.altitudeFt < ground)
            under.add(below(record_label(p.line, p.name), p.position, ground));
        if (i == 0) continue;
        const RoutePoint& a = route[i - 1];
        double metres = std::hypot(distance_m(a.position, p.position),
                                   (p.position.altitudeFt - a.position.altitudeFt) * kMetresPerFoot);
        double mps = metres / (p.seconds - a.seconds);
        if (mps > kFastestMps) {
            char text[96];
            std::snprintf(text, sizeof text, "lines %d to %d at %.0f kt (Mach %.1f)", a.line, p.line,
                          mps * kKnotsPerMps, mps / 340.29);
            fast.add(text);
        }
    }
    std::vector<std::string> findings;
    for (const std::string& finding :
         {under.said(path + ": route points below the terrain model's ground"),
          fast.said(path + ": legs faster than any aircraft flies (above Mach 3; are the times in seconds?)")})
        if (!finding.empty()) findings.push_back(finding);
    return findings;
}

std::string beyond_globe(const std::string& variable, bool latitude, double degrees, const std::string& written) {
    double limit = latitude ? 90.0 : 180.0;
    if (std::fabs(degrees) <= limit) return "";
    char text[160];
    std::snprintf(text, sizeof text, " reads back as %.6g degrees, beyond %s%.0f: ", degrees, "\xC2\xB1", limit);
    return variable + " (--set " + written + ")" + text +
           "a value written without units is taken as radians; give its units, as in '47.1 degrees'";
}

}  // namespace probe
