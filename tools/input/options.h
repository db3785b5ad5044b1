// probe-host's command line: what a run does, parsed and checked before
// anything is loaded, and the help text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "errors.h"

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
    std::string csvFile;
    std::string renderFile;
    std::string profileFile;
    bool json = false;
    bool version = false;  // print the versions and the module's path instead of running
};

// The options, or nothing when the user asked for the help (printed to
// stdout). Throws UsageError.
std::optional<Options> parse_options(int argc, const char* const* argv);

double default_range_km(Layout layout);

}  // namespace probe
