// probe-host's command line: what a run does, parsed and checked before
// anything is loaded, and the help text.
#pragma once

#include <optional>
#include <string>

#include "errors.h"

namespace probe {

// The most points the module takes: its variable names have room for five
// digits of index.
constexpr int kMaxPoints = 100000;

struct Options {
    std::string module;  // empty: the module built beside probe-host
    double seconds = 5.0;
    int count = 5;
    bool countGiven = false;
    std::string pointsFile;
    std::string terrainFile;
    std::optional<double> pauseAt = 2.0;
    std::optional<double> resumeAt = 3.0;
    std::string csvFile;
    bool json = false;
    std::string renderFile;
    bool help = false;
};

// Throws UsageError.
Options parse_options(int argc, const char* const* argv);
std::string help_text();

}  // namespace probe
