// The timed values of the command line: lists of times in seconds
// ("2,3.5", or "off" for none), scripted clicks ("next@2.5,previous@3")
// and variables written at a time ("WZPointLat_0=47.1 degrees@2").
#pragma once

#include <string>
#include <vector>

#include "options.h"

namespace probe {

// Throws UsageError naming the option.
std::vector<double> parse_times(const std::string& option, const std::string& text);
std::vector<Click> parse_clicks(const std::string& option, const std::string& text);
std::vector<Setting> parse_settings(const std::string& option, const std::string& text);

}  // namespace probe
