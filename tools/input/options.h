// probe-host's command line: what a run does, parsed and checked before
// anything is loaded, and the help text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "errors.h"
#include "hostsim/host.h"

namespace probe {

// The most points the module takes: its variable names have room for five
// digits of index.
constexpr int kMaxPoints = 100000;

enum class Layout { Fan, Line, Grid };
enum class Button { Previous, Next };

struct Click {
    double seconds;
    Button button;
};

// A named variable written at a time, as another gauge would write it.
struct Setting {
    std::string name;
    double value = 0;
    std::string units;  // empty: written untyped
    double seconds = 0;
};

// A gauge of the user's own to host beside terrain_probe's:
// FILE!NAME[:PARAMETERS] as given to --gauge.
struct UserGaugeRequest {
    std::string file;
    std::string name;
    std::optional<std::string> parameters;  // empty: the gauge gets none
    std::string text;                        // FILE!NAME, for messages
};

struct Options {
    std::string module;  // empty: the module built beside probe-host
    double seconds = 5.0;
    int count = 5;
    std::string pointsFile;
    std::string terrainFile;
    std::string routeFile;
    Layout layout = Layout::Fan;
    std::optional<double> rangeKm;  // empty: the layout's own default
    // Host messages: pause (56) and resume (57) times, in time order.
    std::vector<double> pauseAt, resumeAt;
    bool resumeDerived = false;  // the resumes follow the user's pauses by a second
    // "WZ_Active" changes; with no --active-at it is 1 from the start.
    std::vector<double> activeAt, inactiveAt;
    std::optional<double> intervalMs;
    std::optional<std::string> parameters;  // the vorn gauge's raw parameter string
    int select = 0;
    std::vector<Click> clicks;
    std::vector<Setting> settings;  // in time order
    std::string csvFile;
    std::string renderFile;
    std::string profileFile;
    std::string mapFile;
    std::vector<UserGaugeRequest> gauges;  // --gauge, in the order given
    std::vector<std::string> watch;     // named variables shown live and summarised
    // Whether probe-host places points of its own; with --gauge and no
    // --layout, --range or --points the user's gauges place them.
    bool placesPoints = true;
    bool json = false;
    // Gates: warnings that fail the run, and absolute bounds.
    bool strict = false;
    std::optional<double> maxAgeMs;
    std::optional<double> toleranceFt;  // of the points file's expected elevations
    bool version = false;  // print the versions and the module's path instead of running
    hostsim::NamedVarProfile hostProfile = hostsim::NamedVarProfile::Published;
};

// A file an option names, and the extension an output must have ("" for any).
struct NamedFile {
    const char* option;
    std::string path;
    const char* extension = "";
};

// The files a run reads.
std::vector<NamedFile> input_files(const Options& options);
// The gauge modules --gauge names.
std::vector<NamedFile> user_gauge_files(const Options& options);
// The files a run writes, one line each in options.cpp: a new output added
// there is checked against the inputs and the other outputs, and named in
// the summary and the JSON.
std::vector<NamedFile> output_files(const Options& options);

// The options, or nothing when the user asked for the help (printed to
// stdout). Throws UsageError.
// "FILE!NAME[:PARAMETERS]"; throws UsageError naming --gauge.
UserGaugeRequest parse_gauge_request(const std::string& text);
// "NAME[,NAME...]"; throws UsageError naming --watch.
std::vector<std::string> parse_watch_list(const std::string& text);

std::optional<Options> parse_options(int argc, const char* const* argv);

double default_range_km(Layout layout);

}  // namespace probe
