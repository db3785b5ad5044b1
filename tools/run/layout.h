// Where the probe points are at each moment: laid out around the aircraft
// (fan, line or grid, moving with it), or fixed points from a file.
#pragma once

#include <string>
#include <vector>

#include "flight.h"
#include "options.h"

namespace probe {

class Probes {
public:
    static Probes around(Layout layout, int count, double rangeKm);
    static Probes fixed(const std::vector<FilePoint>& points);

    int count() const { return static_cast<int>(offsets_.empty() ? fixed_.size() : offsets_.size()); }
    bool moving() const { return !offsets_.empty(); }
    Layout layout() const { return layout_; }
    // The points' positions around the aircraft, into out (resized).
    void place(const Aircraft& aircraft, std::vector<Position>& out) const;
    std::string describe() const;

private:
    struct Offset {
        double aheadM, rightM;
    };
    Layout layout_ = Layout::Fan;
    double rangeKm_ = 0;
    std::vector<Offset> offsets_;
    std::vector<Position> fixed_;
};

}  // namespace probe
