// Point variables through their ids.
#include "point_writer.h"

#include <string>

namespace probe {

int32_t variable_id(hostsim::Host& host, const std::string& name) { return host.register_var(name.c_str()); }

PointWriter::PointWriter(hostsim::Host& host, int count)
    : host_(host), degrees_(host.units_id("degrees")), feet_(host.units_id("feet")) {
    extend(count);
}

void PointWriter::extend(int count) {
    points_.reserve(static_cast<size_t>(count));
    for (int i = static_cast<int>(points_.size()); i < count; ++i) {
        std::string index = std::to_string(i);
        points_.push_back({variable_id(host_, "WZPointLat_" + index), variable_id(host_, "WZPointLon_" + index),
                           variable_id(host_, "WZPointAlt_" + index), variable_id(host_, "WZPointElevation_" + index)});
    }
}

void PointWriter::write(const std::vector<Position>& positions) {
    for (size_t i = 0; i < positions.size() && i < points_.size(); ++i) {
        host_.set_typed(points_[i].lat, positions[i].latitudeDeg, degrees_);
        host_.set_typed(points_[i].lon, positions[i].longitudeDeg, degrees_);
        host_.set_typed(points_[i].alt, positions[i].altitudeFt, feet_);
    }
}

double PointWriter::elevation_ft(int point) const { return host_.get(points_[static_cast<size_t>(point)].elevation); }

Position PointWriter::position(int point) const {
    const Ids& ids = points_[static_cast<size_t>(point)];
    return {host_.get_typed(ids.lat, degrees_), host_.get_typed(ids.lon, degrees_), host_.get_typed(ids.alt, feet_)};
}

}  // namespace probe
