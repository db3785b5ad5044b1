// Where the probe points are at each moment of a run: a fan of points ahead
// of an aircraft flying a straight track, or fixed points from a file.
#pragma once

#include <string>
#include <vector>

#include "points_csv.h"

namespace probe {

class Probes {
public:
    // count points on an arc 2 km ahead of an aircraft that starts at the
    // given place and flies north-east at 250 knots and 10000 ft.
    static Probes fan(int count, double startLatitudeDeg, double startLongitudeDeg);
    static Probes fixed(const std::vector<FilePoint>& points);

    int count() const { return count_; }
    // The points' positions seconds into the run.
    std::vector<Position> at(double seconds) const;
    std::string describe() const;

private:
    int count_ = 0;
    bool moving_ = false;
    Position start_;
    std::vector<Position> fixed_;
};

}  // namespace probe
