// The timed values of the command line: lists of times in seconds
// ("2,3.5", or "off" for none) and scripted clicks ("next@2.5,previous@3").
#pragma once

#include <string>
#include <vector>

#include "options.h"

namespace probe {

// Throws UsageError naming the option.
std::vector<double> parse_times(const std::string& option, const std::string& text);
std::vector<Click> parse_clicks(const std::string& option, const std::string& text);

}  // namespace probe
