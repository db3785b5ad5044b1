// Parsing and checking probe-host's arguments with CLI11, which also makes
// the help text; the checks that involve several options follow the parse.
#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "file_checks.h"
#include "hostsim/module.h"
#include "hostsim/ascii_grid.h"
#include "hostsim/terrain.h"
#include "render.h"
#include "time_lists.h"

namespace probe {
namespace {

namespace fs = std::filesystem;

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
    "\nValues: --opt value or --opt=value (use --opt=value for an empty value or one starting with --).\n"
    "No output may be an input or another output.\n\n"
    "Output: a line a second (the state now; cycles and samples over the last second; the elevations of\n"
    "the first 8 points), a line for each host message, click and --set write, then a summary ending in\n"
    "the verdict: every check the summary makes (samples against the terrain, samples while paused,\n"
    "references returned, forbidden calls, hostsim's fault record, the stop latency's bound, the\n"
    "elevation's age against the rest of the cycle under way, plus the interval in force, plus one\n"
    "cycle) decides the run; warnings do not.\n"
    "The CSV's rest is finished after the summary; its queue holds at most 1048576 rows, and rows beyond\n"
    "are left out (checked, counted, the CSV called incomplete).\n\n"
    "Ctrl-C, SIGTERM or SIGHUP ends the run at the next frame with the normal shutdown, the summary and\n"
    "every output completed (exit status 130, 143, 129); a repeated SIGTERM is the same request. A second\n"
    "Ctrl-C cuts the CSV's finish short at a whole line, the summary and JSON calling it incomplete; a\n"
    "third stops at once. While the CSV is being finished, the first signal stops it at a whole line.\n\n"
    "Exit status: 0 when the run passed every check, 1 when a file cannot be used (module, points, route,\n"
    "terrain) or an output could not be written, 2 for bad arguments, 3 when a check failed, 4 when a gauge\n"
    "of your own (--gauge) crashed or threw (the run ends there; it is that gauge's fault, not the module's),\n"
    "130 after Ctrl-C, 143 after SIGTERM, 129 after SIGHUP.\n\n"
    "Gates for CI: --strict fails the run (exit status 3) on the warnings of a run that shows little\n"
    "(samples_inside_terrain, samples_taken, frames_run: more than a tenth missed, csv_complete,\n"
    "route_covers_run, points_plausible); --max-age MS (elevation_age_max) and --tolerance FT against the\n"
    "points file's expected_ft or expected_m column (expected_elevations) fail it likewise.\n\n"
    "Examples:\n"
    "  probe-host\n"
    "  probe-host --count 12 --seconds 20 --pause-at off --csv samples.csv\n"
    "  probe-host --layout line --count 60 --range 30 --profile profile.png\n"
    "  probe-host --param '  7xyz' --interval -1 --click next@1,next@2,previous@3\n"
    "  probe-host --layout grid --count 900 --range 20 --map map.png\n"
    "  probe-host --set 'WZ_UpdateInterval=500@2,WZ_UpdateInterval=55@3'\n";

// Values kept as the user wrote them and converted after the parse, so
// that a refusal can say what the option takes in the user's terms.
struct Raw {
    std::string pauseAt, resumeAt, activeAt, inactiveAt, clicks, layout, settings;
    std::string seconds, count, range, interval, select, maxAge, tolerance;
    std::vector<std::string> gauges, watch;
    std::string hostProfile;
};

// The numeric options: what each takes, and its bounds. NaN, infinities
// and anything but a plain decimal number are refused.
struct Numeric {
    const char* option;
    std::string Raw::*text;
    const char* takes;
    double least, most;
    bool whole;
    void (*store)(Options&, double);
};

// The interval's bounds are the 32-bit wait times the module turns it into.
const Numeric kNumerics[] = {
    {"--seconds", &Raw::seconds, "the run time in seconds", 1e-3, kLongestRun, false,
     [](Options& o, double v) { o.seconds = v; }},
    {"--count", &Raw::count, "the number of points", 1, kMaxPoints, true,
     [](Options& o, double v) { o.count = static_cast<int>(v); }},
    {"--range", &Raw::range, "the layout's reach in km", 0.01, 1000, false,
     [](Options& o, double v) { o.rangeKm = v; }},
    {"--interval", &Raw::interval, "WZ_UpdateInterval in milliseconds", -4294967296.0, 4294967296.0, false,
     [](Options& o, double v) { o.intervalMs = v; }},
    {"--select", &Raw::select, "the number of Next clicks", 0, kMaxPoints, true,
     [](Options& o, double v) { o.select = static_cast<int>(v); }},
    {"--max-age", &Raw::maxAge, "the elevation's largest age in milliseconds", 0, 86400000, false,
     [](Options& o, double v) { o.maxAgeMs = v; }},
    {"--tolerance", &Raw::tolerance, "the feet a published elevation may differ from the expected", 0, 2000000, false,
     [](Options& o, double v) { o.toleranceFt = v; }},
};

double parse_number(const Numeric& n, const std::string& text) {
    char* end = nullptr;
    bool plain = !text.empty() && text.find_first_not_of("0123456789+-.eE") == std::string::npos;
    double value = plain ? std::strtod(text.c_str(), &end) : 0.0;
    if (!plain || *end != '\0' || !std::isfinite(value) || value < n.least || value > n.most ||
        (n.whole && value != std::floor(value))) {
        char range[96];
        std::snprintf(range, sizeof range, "%s from %.10g to %.10g", n.whole ? "a whole number" : "a number", n.least,
                      n.most);
        throw UsageError(std::string(n.option) + " takes " + n.takes + ", " + range + ", not '" + text + "'");
    }
    return value;
}

void take_numbers(Options& o, const Raw& raw, const CLI::App& app) {
    for (const Numeric& n : kNumerics)
        if (app.count(n.option)) n.store(o, parse_number(n, raw.*n.text));
}

bool spelt_like_an_option(const std::string& word) {
    return word.size() > 2 && word.compare(0, 2, "--") == 0 && std::isalpha(static_cast<unsigned char>(word[2]));
}

bool asks_for_help(const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(), [](const std::string& w) { return w == "--help" || w == "-h"; });
}

// The words as CLI11 is to parse them: "--opt=value" split in two (CLI11
// would take "--param=" as no value and use the next word), and an option
// that takes a value checked to have one. CLI11 takes the next word even
// when it is another option ("--csv --seconds 0.2"), so a value given as a
// separate word is never spelt like an option.
std::vector<std::string> words_to_parse(const CLI::App& app, const std::vector<std::string>& words) {
    std::vector<std::string> out;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        size_t equals = word.find('=');
        if (spelt_like_an_option(word) && equals != std::string::npos) {
            out.push_back(word.substr(0, equals));
            out.push_back(word.substr(equals + 1));
            continue;
        }
        out.push_back(word);
        const CLI::Option* option = app.get_option_no_throw(word);
        if (!option || option->get_items_expected_max() == 0) continue;
        if (i + 1 == words.size()) throw UsageError(word + " needs a value");
        const std::string& next = words[i + 1];
        if (spelt_like_an_option(next))
            throw UsageError(word + " needs a value (" + next +
                             (app.get_option_no_throw(next) ? " is an option)"
                                                            : " is spelt like one; give it as " + word + "=" + next + ")"));
        out.push_back(words[++i]);
    }
    std::reverse(out.begin(), out.end());  // CLI11 takes them last first
    return out;
}

void add_options(CLI::App& app, Options& o, Raw& raw) {
    app.add_option("--module", o.module, "the gauge module to run (default: the one built beside probe-host)")
        ->type_name("FILE");
    app.add_option("--seconds", raw.seconds, "how long to run (default 5, at most 86400)")->type_name("S");
    app.add_option("--count", raw.count, "points to place (default 5, at most 100000)")->type_name("N");
    static const std::map<std::string, Layout> kLayouts{
        {"fan", Layout::Fan}, {"line", Layout::Line}, {"grid", Layout::Grid}};
    app.add_option("--layout", raw.layout,
                   "where the points go around the aircraft: fan (an arc --range ahead, default 2 km), line (evenly "
                   "along the track to --range, default 20 km) or grid (a square --range wide ahead, default 10 km)")
        ->type_name("fan|line|grid")
        ->check(CLI::IsMember({"fan", "line", "grid"}).description(""))
        ->each([&o](const std::string& name) { o.layout = kLayouts.at(name); });
    app.add_option("--range", raw.range, "the layout's reach in km, from 0.01 to 1000")->type_name("KM");
    app.add_option("--points", o.pointsFile,
                   "fixed points from a CSV file instead of a layout: latitude,longitude,altitude (degrees, degrees, "
                   "feet) a line; # comments, blank lines, quoted fields and a UTF-8 byte-order mark are allowed; a "
                   "first line of column names (lat, lon, alt in any order and case, units as in alt_m or altitude "
                   "(m), a name or id column, expected_ft or expected_m for --tolerance) decides the columns; "
                   "thousands separators are read as the file's decimal mark implies (12,500 beside decimal points)")
        ->type_name("FILE");
    app.add_option("--route", o.routeFile,
                   "the aircraft flies this CSV route (time s, latitude, longitude, altitude ft a line, read as "
                   "--points is, a time column named time), interpolated, instead of north-east at 250 kt and 10000 "
                   "ft; a route that starts after the run's end or flies a leg above Mach 3 is warned about")
        ->type_name("FILE");
    app.add_option("--terrain", o.terrainFile,
                   "real ground instead of the built-in relief: any raster elevation model GDAL reads (GeoTIFF, SRTM "
                   ".hgt, ASCII grid .asc, a .zip of them), or a directory of tiles, mosaicked; heights in metres "
                   "unless the raster says feet; the aircraft starts over its middle (the Windows build reads ASCII grids "
                   "only)")
        ->type_name("PATH");
    app.add_option("--pause-at", raw.pauseAt,
                   "deliver the pause message (56) at these times (default 2; off for none)")
        ->type_name("S[,S...]");
    app.add_option("--resume-at", raw.resumeAt,
                   "deliver the resume message (57) at these times (default: 1 s after each pause; off for none)")
        ->type_name("S[,S...]");
    app.add_option("--active-at", raw.activeAt, "set WZ_Active to 1 at these times (it starts at 0 then; off for none)")
        ->type_name("S[,S...]");
    app.add_option("--inactive-at", raw.inactiveAt, "set WZ_Active to 0 at these times (off for none)")->type_name("S[,S...]");
    app.add_option("--interval", raw.interval,
                   "set WZ_UpdateInterval to MS after the vorn gauge's initialisation (0: continuous, -1: once; from "
                   "-4294967296 to 4294967296)")
        ->type_name("MS");
    app.add_option("--param", o.parameters, "the vorn gauge's parameter string as given, \"\" or --param= for none (default: the point count)")
        ->type_name("TEXT");
    app.add_option("--select", raw.select, "click Next N times on the display once it is installed (0 to 100000)")->type_name("N");
    app.add_option("--click", raw.clicks, "click the display's Next or Previous area at these times")
        ->type_name("next@S,previous@S...");
    app.add_option("--set", raw.settings,
                   "write any named variable at these times, as another gauge would: the module's controls, a "
                   "point's position, a variable of another gauge; in UNITS (radians, degrees, feet, meters) where "
                   "given, for example WZ_UpdateInterval=500@2 or 'WZPointLat_0=47.1 degrees@2'")
        ->type_name("NAME=VALUE[ UNITS]@S[,...]");
    app.add_option("--csv", o.csvFile, "write every published sample: time, point, latitude, longitude, altitude, "
                                       "elevation (a file: - is refused)")
        ->type_name("FILE");
    app.add_flag("--strict", o.strict,
                 "fail the run (exit status 3) on what is otherwise a warning: samples outside the terrain, no "
                 "samples at all, more than a tenth of the frames missed, an incomplete CSV, a route shorter than the "
                 "run, implausible points (beyond 90 or 180 degrees as the module reads them, below the ground, a "
                 "route leg above Mach 3)");
    app.add_option("--max-age", raw.maxAge,
                   "fail the run when a published elevation was older than MS milliseconds (or none was measured)")
        ->type_name("MS");
    app.add_option("--tolerance", raw.tolerance,
                   "fail the run when the module's last published elevation for a point differs by more than FT "
                   "from the expected_ft (or expected_m) column of --points")
        ->type_name("FT");
    app.add_option("--gauge", raw.gauges,
                   "host a gauge of your own beside terrain_probe's (repeatable): its module FILE (a DLL, natively a "
                   ".so, built against the gauge SDK) loaded as terrain_probe is, the gauge NAME of its table with "
                   "the parameter string given; it reads the run's aircraft through aircraft_varget; without "
                   "--layout, --range or --points it places the points itself")
        ->type_name("FILE!NAME[:PARAMETERS]")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--watch", raw.watch,
                   "show these named variables (a gauge's outputs, such as Lookahead_Clearance_ft) in the live view, "
                   "with their last, lowest and highest values in the summary")
        ->type_name("NAME[,NAME...]")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--json", o.json, "print the summary as JSON instead of the live view and the summary text");
    app.add_flag("--version", o.version, "print probe-host's version, the module it would run and that module's version");
    app.add_option("--render", o.renderFile, "draw the display gauge as the host would, as PNG (native build only)")
        ->type_name("FILE.png");
    app.add_option("--profile", o.profileFile,
                   "draw the terrain profile ahead: published elevations against distance, with the aircraft's "
                   "altitude; --layout line only, where the points lie along the track (native build only)")
        ->type_name("FILE.png");
    app.add_option("--map", o.mapFile,
                   "draw the plan view: every point from above around the aircraft, coloured in the bands of a "
                   "ground-proximity terrain page by the published elevation against the altitude (terrain more "
                   "than 2000 ft above, 1000 to 2000 ft above, 500 ft below to 1000 ft above, 500 to 1000 ft below, "
                   "1000 to 2000 ft below, more than 2000 ft below; none published), with a legend; a fan as a "
                   "navigation display's arc, heading up, range arcs in NM (native build only)")
        ->type_name("FILE.png");
    app.add_option("--host-profile", raw.hostProfile,
                   "how the host answers named variables: published (as the host's published SDK does: ids from 0, "
                   "-1 from check_named_variable for an absent name; default) or ids-from-one (ids from 1, the "
                   "look-up and the registration at each other's entries, 0 for an absent name)")
        ->type_name("published|ids-from-one")
        ->check(CLI::IsMember({"published", "ids-from-one"}).description(""))
        ->each([&o](const std::string& name) { hostsim::parse_profile(name, o.hostProfile); });
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
    if (app.count("--set")) o.settings = parse_settings("--set", raw.settings);
}

void take_user_gauges(Options& o, const Raw& raw, const CLI::App& app) {
    for (const std::string& text : raw.gauges) o.gauges.push_back(parse_gauge_request(text));
    for (const std::string& text : raw.watch)
        for (std::string& name : parse_watch_list(text)) o.watch.push_back(std::move(name));
    o.placesPoints = o.gauges.empty() || app.count("--layout") || app.count("--range") || !o.pointsFile.empty();
}

bool has_extension(const std::string& path, const std::string& extension) {
    std::string actual = fs::path(path).extension().string();
    std::transform(actual.begin(), actual.end(), actual.begin(), [](unsigned char c) { return std::tolower(c); });
    return extension.empty() || actual == extension;
}

void check(const Options& o, const CLI::App& app) {
    if (!o.pointsFile.empty()) {
        for (const char* layoutOption : {"--count", "--layout", "--range", "--route"})
            if (app.count(layoutOption))
                throw UsageError(std::string(layoutOption) +
                                 " places the points around the aircraft; with --points the file gives the points");
    }
    if (o.toleranceFt && o.pointsFile.empty())
        throw UsageError("--tolerance checks the expected_ft (or expected_m) column of a --points file: give one");
    if (o.csvFile == "-")
        throw UsageError("--csv - would write a file named '-': the CSV goes to a file, not to standard output "
                         "(name it ./- if that is the file you want)");
    for (const NamedFile& output : output_files(o))
        if (!output.path.empty() && !has_extension(output.path, output.extension))
            throw UsageError(std::string(output.option) + " " + output.path + ": probe-host writes " +
                             output.extension + " files only: give it a name ending in " + output.extension);
    std::vector<NamedFile> inputs = input_files(o), gauges = user_gauge_files(o);
    inputs.insert(inputs.end(), gauges.begin(), gauges.end());
    check_files_distinct(inputs, output_files(o));
    if (!kRenderAvailable)
        for (const auto& [option, path] : {std::pair{"--render", o.renderFile}, std::pair{"--profile", o.profileFile},
                                           std::pair{"--map", o.mapFile}})
            if (!path.empty()) throw UsageError(std::string(option) + " " + kRenderUnavailable);
    // A profile joins the points in order of distance: only a line's points
    // lie one behind the other along the track.
    if (!o.profileFile.empty() && (!o.pointsFile.empty() || o.layout != Layout::Line))
        throw UsageError(std::string("--profile draws the ground along the track, where --layout line puts the "
                                     "points; ") +
                         (o.pointsFile.empty() ? "the points of a fan or a grid lie across it"
                                               : "the points of --points lie wherever the file puts them") +
                         ": draw them from above with --map FILE.png");
    if (!o.terrainFile.empty() && !hostsim::kTerrainFilesAvailable && !hostsim::AsciiGridTerrain::reads(o.terrainFile))
        throw UsageError("--terrain " + o.terrainFile + ": the Windows build reads ESRI ASCII grids (.asc) only; the "
                         "other raster formats need the native build, which has GDAL");
}

}  // namespace

std::vector<NamedFile> input_files(const Options& o) {
    return {{o.module.empty() ? "the default --module" : "--module",
             o.module.empty() ? hostsim::default_module_path() : o.module},
            {"--terrain", o.terrainFile},
            {"--points", o.pointsFile},
            {"--route", o.routeFile}};
}

std::vector<NamedFile> user_gauge_files(const Options& o) {
    std::vector<NamedFile> files;
    for (const UserGaugeRequest& gauge : o.gauges) files.push_back({"--gauge", gauge.file});
    return files;
}

std::vector<NamedFile> output_files(const Options& o) {
    return {{"--csv", o.csvFile},
            {"--render", o.renderFile, ".png"},
            {"--profile", o.profileFile, ".png"},
            {"--map", o.mapFile, ".png"}};
}

UserGaugeRequest parse_gauge_request(const std::string& text) {
    UserGaugeRequest request;
    size_t bang = text.find('!');
    if (bang == std::string::npos || bang == 0 || bang + 1 == text.size() || text[bang + 1] == ':')
        throw UsageError("--gauge takes FILE!NAME[:PARAMETERS], the gauge module and the gauge of its table, not '" +
                         text + "'");
    request.file = text.substr(0, bang);
    std::string rest = text.substr(bang + 1);
    size_t colon = rest.find(':');
    request.name = rest.substr(0, colon);
    if (colon != std::string::npos) request.parameters = rest.substr(colon + 1);
    request.text = request.file + "!" + request.name;
    return request;
}

std::vector<std::string> parse_watch_list(const std::string& text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.empty()) throw UsageError("--watch takes NAME[,NAME...], named variables, not '" + text + "'");
        names.push_back(name);
        if (comma == std::string::npos) return names;
        start = comma + 1;
    }
}

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
    app.allow_extras();  // leftover words are reported below, in the user's terms
    add_options(app, options, raw);
    std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (asks_for_help(words)) {
        std::fputs(app.help().c_str(), stdout);
        return std::nullopt;
    }
    std::vector<std::string> reversed = words_to_parse(app, words);
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }
    if (!app.remaining().empty()) {
        std::string word = app.remaining().front();
        throw UsageError((word.compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") + word + "'");
    }
    take_numbers(options, raw, app);
    take_timed_values(options, raw, app);
    take_user_gauges(options, raw, app);
    check(options, app);
    return options;
}

}  // namespace probe
