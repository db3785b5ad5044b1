// The other gauge's part: it looks up (or registers) each point's
// variables once, as a gauge does when it is installed, and from then on
// writes positions and reads elevations through the ids, so a frame of a
// hundred thousand points makes no name look-ups.
#pragma once

#include <cstdint>
#include <vector>

#include "hostsim/host.h"
#include "points_csv.h"

namespace probe {

class PointWriter {
public:
    PointWriter(hostsim::Host& host, int count);

    // Ids for points up to count, where the module's table is longer than
    // the points placed.
    void extend(int count);
    void write(const std::vector<Position>& positions);
    double elevation_ft(int point) const;
    // The point's position as its variables hold it, whoever wrote them last.
    Position position(int point) const;
    int count() const { return static_cast<int>(points_.size()); }

private:
    struct Ids {
        int32_t lat, lon, alt, elevation;
    };
    hostsim::Host& host_;
    int32_t degrees_, feet_;
    std::vector<Ids> points_;
};

// A variable's id, registered when the host has none of that name yet.
int32_t variable_id(hostsim::Host& host, const std::string& name);

}  // namespace probe
