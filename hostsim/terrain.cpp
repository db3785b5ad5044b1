// Terrain models.
#include "hostsim/terrain.h"

#include <cmath>

namespace hostsim {
namespace {

class FlatTerrain : public Terrain {
public:
    explicit FlatTerrain(double feet) : feet_(feet) {}
    double elevation_feet(double, double) const override { return feet_; }

private:
    double feet_;
};

// A sum of smooth waves of a few kilometres' wavelength, with a broad swell
// under them: continuous and differentiable everywhere, so a point that
// moves a little sees its elevation change a little.
class ReliefTerrain : public Terrain {
public:
    double elevation_feet(double lat, double lon) const override {
        constexpr double kMetresPerRadian = 6371000.0;
        double north = lat * kMetresPerRadian / 1000.0;                 // km
        double east = lon * std::cos(lat) * kMetresPerRadian / 1000.0;  // km
        double ridges = std::sin(north / 3.1) * std::cos(east / 4.3);
        double peaks = std::sin(north / 1.7 + 0.8) * std::sin(east / 2.3 + 1.9);
        double swell = std::sin((north + east) / 23.0);
        double h = 4200.0 + 2600.0 * ridges + 1300.0 * peaks + 1400.0 * swell;
        return h < 0.0 ? 0.0 : h;
    }
};

}  // namespace

std::shared_ptr<const Terrain> flat_terrain(double feet) { return std::make_shared<FlatTerrain>(feet); }

std::shared_ptr<const Terrain> relief_terrain() { return std::make_shared<ReliefTerrain>(); }

}  // namespace hostsim
