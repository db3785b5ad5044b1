// Parsing and checking probe-host's arguments with CLI11, which also makes
// the help text; the checks that involve several options follow the parse.
#include "options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "hostsim/terrain.h"
#include "render.h"
#include "time_lists.h"

namespace probe {
namespace {

constexpr double kLongestRun = 24 * 3600.0;
constexpr double kResumeAfterPause = 1.0;

const char* kDescription =
    "probe-host: run the terrain_probe gauge module in a simulated host and watch it sample the ground.\n\n"
    "It plays the flight simulator: it loads the module, installs its two gauges as a panel configuration\n"
    "would (terrain_probe!vorn with the number of points as its parameter, and terrain_probe!display), sets\n"
    "WZ_Active to 1 and drives both gauges at 18 frames a second by the wall clock. Meanwhile it plays another\n"
    "gauge that places probe points around a flying aircraft: it writes each point's WZPointLat_i and\n"
    "WZPointLon_i (degrees) and WZPointAlt_i (feet), and watches the module publish the ground elevation\n"
    "under the point in WZPointElevation_i (feet).";

const char* kFooter =
    "\nOutput: a line a second (the state now; cycles and samples over the last second; the elevations of\n"
    "the first 8 points), a line for each host message and click, then a summary. Ctrl-C ends the run at\n"
    "the next frame with the normal shutdown and the summary (exit status 130).\n\n"
    "Exit status: 0 when the run completed, 1 when a file cannot be used (module, points, route, terrain\n"
    "or an output), 2 for bad arguments, 130 after Ctrl-C.\n\n"
    "Examples:\n"
    "  probe-host\n"
    "  probe-host --count 12 --seconds 20 --pause-at off --csv samples.csv\n"
    "  probe-host --layout line --count 60 --range 30 --profile profile.png\n"
    "  probe-host --param '  7xyz' --interval -1 --click next@1,next@2,previous@3\n";

struct Raw {
    std::string pauseAt, resumeAt, activeAt, inactiveAt, clicks, layout;
};

// CLI11 takes the next word as an option's value even when it is another
// option ("--csv --seconds 0.2"); a value is never spelt like an option.
std::string not_an_option(const std::string& value) {
    return value.size() > 2 && value.compare(0, 2, "--") == 0 && std::isalpha(static_cast<unsigned char>(value[2]))
               ? "needs a value (" + value + " is an option)"
               : "";
}

void add_options(CLI::App& app, Options& o, Raw& raw) {
    app.add_option("--module", o.module, "the gauge module to run (default: the one built beside probe-host)")
        ->type_name("FILE");
    app.add_option("--seconds", o.seconds, "how long to run (default 5)")
        ->type_name("S")
        ->check(CLI::Number)
        ->check(CLI::Range(1e-3, kLongestRun).description(""));
    app.add_option("--count", o.count, "points to place (default 5)")
        ->type_name("N")
        ->check(CLI::Number)
        ->check(CLI::Range(1, kMaxPoints).description(""));
    static const std::map<std::string, Layout> kLayouts{
        {"fan", Layout::Fan}, {"line", Layout::Line}, {"grid", Layout::Grid}};
    app.add_option("--layout", raw.layout,
                   "where the points go around the aircraft: fan (an arc --range ahead, default 2 km), line (evenly "
                   "along the track to --range, default 20 km) or grid (a square --range wide ahead, default 10 km)")
        ->type_name("fan|line|grid")
        ->check(CLI::IsMember({"fan", "line", "grid"}).description(""))
        ->each([&o](const std::string& name) { o.layout = kLayouts.at(name); });
    app.add_option("--range", o.rangeKm, "the layout's reach in km")->type_name("KM")->check(CLI::Range(0.01, 1000.0).description(""));
    app.add_option("--points", o.pointsFile,
                   "fixed points from a CSV file instead of a layout: latitude,longitude,altitude (degrees, degrees, "
                   "feet) a line; # comments, blank lines, a first line of column names, quoted fields and a UTF-8 "
                   "byte-order mark are allowed")
        ->type_name("FILE");
    app.add_option("--route", o.routeFile,
                   "the aircraft flies this CSV route (time s, latitude, longitude, altitude ft a line), interpolated, "
                   "instead of north-east at 250 kt and 10000 ft")
        ->type_name("FILE");
    app.add_option("--terrain", o.terrainFile,
                   "real ground instead of the built-in relief: any raster elevation model GDAL reads (GeoTIFF, SRTM "
                   ".hgt, ASCII grid .asc, a .zip of them), or a directory of tiles, mosaicked; heights in metres "
                   "unless the raster says feet; the aircraft starts over its middle (native build only)")
        ->type_name("PATH");
    app.add_option("--pause-at", raw.pauseAt,
                   "deliver the pause message (56) at these times (default 2; off for none)")
        ->type_name("S[,S...]");
    app.add_option("--resume-at", raw.resumeAt,
                   "deliver the resume message (57) at these times (default: 1 s after each pause)")
        ->type_name("S[,S...]");
    app.add_option("--active-at", raw.activeAt, "set WZ_Active to 1 at these times (it starts at 0 then)")
        ->type_name("S[,S...]");
    app.add_option("--inactive-at", raw.inactiveAt, "set WZ_Active to 0 at these times")->type_name("S[,S...]");
    app.add_option("--interval", o.intervalMs,
                   "set WZ_UpdateInterval to MS after the vorn gauge's initialisation (0: continuous, -1: once)")
        ->type_name("MS");
    app.add_option("--param", o.parameters, "the vorn gauge's parameter string as given (default: the point count)")
        ->type_name("TEXT");
    app.add_option("--select", o.select, "click Next N times on the display once it is installed")
        ->type_name("N")
        ->check(CLI::Range(0, kMaxPoints).description(""));
    app.add_option("--click", raw.clicks, "click the display's Next or Previous area at these times")
        ->type_name("next@S,previous@S...");
    app.add_option("--csv", o.csvFile, "write every published sample: time, point, latitude, longitude, altitude, "
                                       "elevation")
        ->type_name("FILE");
    app.add_flag("--json", o.json, "print the summary as JSON instead of the live view and the summary text");
    app.add_flag("--version", o.version, "print probe-host's version, the module it would run and that module's version");
    app.add_option("--render", o.renderFile, "draw the display gauge as the host would (native build only)")
        ->type_name("FILE.png");
    app.add_option("--profile", o.profileFile,
                   "draw the terrain profile ahead: published elevations against distance, with the aircraft's "
                   "altitude (native build only)")
        ->type_name("FILE.png");
}

void take_timed_values(Options& o, const Raw& raw, const CLI::App& app) {
    bool pauseGiven = app.count("--pause-at") > 0, resumeGiven = app.count("--resume-at") > 0;
    o.pauseAt = pauseGiven ? parse_times("--pause-at", raw.pauseAt) : std::vector<double>{};
    if (resumeGiven) {
        o.resumeAt = parse_times("--resume-at", raw.resumeAt);
    } else if (!pauseGiven) {
        // The default pause, kept only where it fits the run.
        for (auto [pause, resume] : {std::pair{2.0, 3.0}})
            if (resume < o.seconds) o.pauseAt = {pause}, o.resumeAt = {resume};
    } else {
        for (double t : o.pauseAt) o.resumeAt.push_back(t + kResumeAfterPause);
        o.resumeDerived = !o.resumeAt.empty();
    }
    if (app.count("--active-at")) o.activeAt = parse_times("--active-at", raw.activeAt);
    if (app.count("--inactive-at")) o.inactiveAt = parse_times("--inactive-at", raw.inactiveAt);
    if (app.count("--click")) o.clicks = parse_clicks("--click", raw.clicks);
}

void check(const Options& o, const CLI::App& app) {
    if (!o.pointsFile.empty()) {
        for (const char* layoutOption : {"--count", "--layout", "--range", "--route"})
            if (app.count(layoutOption))
                throw UsageError(std::string(layoutOption) +
                                 " places the points around the aircraft; with --points the file gives the points");
    }
    if (o.intervalMs && !std::isfinite(*o.intervalMs)) throw UsageError("--interval takes a number of milliseconds");
    if (!kRenderAvailable)
        for (const auto& [option, path] : {std::pair{"--render", o.renderFile}, std::pair{"--profile", o.profileFile}})
            if (!path.empty()) throw UsageError(std::string(option) + " " + kRenderUnavailable);
    if (!o.terrainFile.empty() && !hostsim::kTerrainFilesAvailable)
        throw UsageError("--terrain needs the native build: GDAL is not part of the Windows build, which has the "
                         "built-in relief only");
}

}  // namespace

double default_range_km(Layout layout) {
    switch (layout) {
    case Layout::Line: return 20.0;
    case Layout::Grid: return 10.0;
    default: return 2.0;
    }
}

std::optional<Options> parse_options(int argc, const char* const* argv) {
    Options options;
    Raw raw;
    CLI::App app(kDescription, "probe-host");
    app.footer(kFooter);
    app.get_formatter()->column_width(34);
    // A later option overrides an earlier one, so a script's defaults can be
    // followed by the user's own.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.allow_extras();  // leftover words are reported below, after the values spelt like options
    add_options(app, options, raw);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }
    for (const CLI::Option* option : app.get_options())
        for (const std::string& value : option->results())
            if (std::string problem = not_an_option(value); !problem.empty())
                throw UsageError(option->get_name() + " " + problem);
    if (!app.remaining().empty()) {
        std::string word = app.remaining().front();
        throw UsageError((word.compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") + word + "'");
    }
    take_timed_values(options, raw, app);
    check(options, app);
    return options;
}

}  // namespace probe
