// Parsing and checking probe-host's arguments.
#include "options.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "hostsim/terrain.h"
#include "render.h"

namespace probe {
namespace {

constexpr double kLongestRun = 24 * 3600.0;

double parse_number(const std::string& option, const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw UsageError(option + " takes a number of seconds, not '" + text + "'");
    return value;
}

double parse_seconds(const std::string& option, const std::string& text) {
    double value = parse_number(option, text);
    if (value <= 0 || value > kLongestRun) throw UsageError(option + " must be above 0 and at most 86400 seconds");
    return value;
}

std::optional<double> parse_moment(const std::string& option, const std::string& text) {
    if (text == "off") return std::nullopt;
    double value = parse_number(option, text);
    if (value < 0) throw UsageError(option + " must be 0 or more seconds, or off");
    return value;
}

int parse_count(const std::string& text) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > kMaxPoints)
        throw UsageError("--count takes a whole number of points from 1 to " + std::to_string(kMaxPoints) + ", not '" +
                         text + "'");
    return static_cast<int>(value);
}

// Splits "--name=value"; a bare "--name" leaves value empty.
void split(const std::string& argument, std::string& name, std::optional<std::string>& value) {
    size_t equals = argument.find('=');
    name = argument.substr(0, equals);
    if (equals != std::string::npos) value = argument.substr(equals + 1);
}

void check(const Options& options) {
    if (options.countGiven && !options.pointsFile.empty())
        throw UsageError("--count sets the size of the default fan; with --points the file gives the points");
    if (options.pauseAt && options.resumeAt && *options.resumeAt <= *options.pauseAt)
        throw UsageError("--resume-at must come after --pause-at");
    if (!options.renderFile.empty() && !kRenderAvailable)
        throw UsageError("--render needs the native build: FreeType and libpng are not part of the Windows build");
    if (!options.terrainFile.empty() && !hostsim::kTerrainFilesAvailable)
        throw UsageError("--terrain needs the native build: GDAL is not part of the Windows build, which has the "
                         "built-in relief only");
}

}  // namespace

Options parse_options(int argc, const char* const* argv) {
    Options options;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name;
        std::optional<std::string> inlineValue;
        split(args[i], name, inlineValue);
        if (name == "-h" || name == "--help") {
            options.help = true;
            continue;
        }
        if (name == "--json") {
            options.json = true;
            continue;
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            return args[++i];
        };
        if (name == "--module") options.module = value();
        else if (name == "--seconds") options.seconds = parse_seconds(name, value());
        else if (name == "--count") options.count = parse_count(value()), options.countGiven = true;
        else if (name == "--points") options.pointsFile = value();
        else if (name == "--terrain") options.terrainFile = value();
        else if (name == "--pause-at") options.pauseAt = parse_moment(name, value());
        else if (name == "--resume-at") options.resumeAt = parse_moment(name, value());
        else if (name == "--csv") options.csvFile = value();
        else if (name == "--render") options.renderFile = value();
        else throw UsageError("unknown argument '" + args[i] + "'");
    }
    check(options);
    return options;
}

std::string help_text() {
    return R"(probe-host: run the terrain_probe gauge module in a simulated host and watch it
sample the ground.

Usage: probe-host [options]

probe-host plays the flight simulator: it loads the module, installs its two
gauges as a panel configuration would (terrain_probe!vorn with the number of
points as its parameter, and terrain_probe!display), sets WZ_Active to 1 and
drives both gauges at 18 frames a second. Meanwhile it plays another gauge
that places probe points: it writes each point's WZPointLat_i and
WZPointLon_i (degrees) and WZPointAlt_i (feet), and watches the module
publish the ground elevation under the point in WZPointElevation_i (feet).

Options:
  --module FILE      the gauge module to run (default: the one built beside
                     probe-host, terrain_probe.so or terrain_probe.dll)
  --seconds S        how long to run (default 5)
  --count N          points in the default fan (default 5): a fan 2 km ahead
                     of an aircraft flying at 250 knots, moving every frame
  --points FILE      fixed points from a CSV file instead of the fan, one per
                     line: latitude,longitude,altitude (degrees, degrees,
                     feet). Blank lines and lines starting with # are
                     skipped; a first line of column names is allowed.
  --terrain PATH     real ground instead of the built-in synthetic relief:
                     any raster elevation model GDAL reads (GeoTIFF, SRTM
                     .hgt, ASCII grid .asc, a .zip of them), or a directory
                     of tiles, mosaicked; heights in metres unless the
                     raster says feet. The fan then flies over its middle
                     (native build only)
  --pause-at S       pause the simulation (host message 56) at S seconds
                     (default 2; "off" for none)
  --resume-at S      resume it (host message 57) at S seconds (default 3;
                     "off" for none)
  --csv FILE         write every sample the module published: time, point,
                     latitude, longitude, altitude, elevation
  --json             print the summary as JSON instead of the live view and
                     the summary text
  --render FILE.png  draw the display gauge as the host would, into a PNG
                     (native build only)
  -h, --help         show this text

Output: a line a second with the sampling worker's cycles, the samples it
wrote and each point's elevation, then a summary: WZ_PDK and WZ_pSurface (1
when the module got the host's PDK and surface service), cycles and samples,
the measured cycle period against WZ_UpdateInterval, how long the worker
took to stop after the gauge was disconnected, and the display's texts.

Exit status: 0 when the run completed, 1 when a file cannot be used (module,
points, terrain or output), 2 for bad arguments.

Examples:
  probe-host
  probe-host --count 12 --seconds 20 --pause-at off --csv samples.csv
  probe-host --terrain N47E011.hgt --points peaks.csv --render display.png
)";
}

}  // namespace probe
