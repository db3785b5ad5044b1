// Sample rows and the terrain check. The surface service answers in a
// 32-bit float, so the model's value is compared after the same narrowing.
#include "sample_sink.h"

#include <cmath>
#include <cstdio>

#include "errors.h"

namespace probe {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToleranceFt = 0.01;

}  // namespace

SampleSink::SampleSink(const std::string& csvPath, std::shared_ptr<const hostsim::Terrain> terrain)
    : path_(csvPath), terrain_(std::move(terrain)) {
    if (path_.empty()) return;
    csv_.open(path_, std::ios::trunc);
    if (!csv_) throw FileError("cannot write " + path_);
    csv_ << "time_s,point,latitude_deg,longitude_deg,altitude_ft,elevation_ft\n";
}

void SampleSink::add(const std::vector<Sample>& samples) {
    char row[160];
    for (const Sample& s : samples) {
        double latitudeRad = s.latitudeDeg * kPi / 180.0, longitudeRad = s.longitudeDeg * kPi / 180.0;
        float expected = static_cast<float>(terrain_->elevation_feet(latitudeRad, longitudeRad));
        if (!terrain_->covers(latitudeRad, longitudeRad)) ++outside_;
        double difference = std::fabs(s.elevationFt - expected);
        if (!(difference <= kToleranceFt)) ++mismatches_;
        if (difference > largestDifference_ || std::isnan(difference)) largestDifference_ = difference;
        ++rows_;
        if (!csv_.is_open()) continue;
        std::snprintf(row, sizeof row, "%.6f,%d,%.9f,%.9f,%.3f,%.4f\n", s.seconds, s.point, s.latitudeDeg,
                      s.longitudeDeg, s.altitudeFt, s.elevationFt);
        csv_ << row;
    }
}

void SampleSink::finish() {
    if (!csv_.is_open()) return;
    csv_.flush();
    if (!csv_) throw FileError("writing " + path_ + " failed");
    csv_.close();
}

}  // namespace probe
