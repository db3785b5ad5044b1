// Times are seconds from the start of the run, 0 or more; each list comes
// out in time order, whatever order the user wrote it in.
#include "time_lists.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "hostsim/host.h"

namespace probe {
namespace {

std::vector<std::string> split_commas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

double parse_time(const std::string& option, const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0)
        throw UsageError(option + " takes times of 0 or more seconds separated by commas, not '" + text + "'");
    return value;
}

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// NAME=VALUE[ UNITS]@SECONDS
Setting parse_setting(const std::string& option, const std::string& part) {
    size_t equals = part.find('='), at = part.rfind('@');
    std::string form = option + " takes NAME=VALUE@SECONDS or NAME=VALUE UNITS@SECONDS separated by commas, not '" +
                       part + "'";
    if (equals == std::string::npos || at == std::string::npos || at < equals) throw UsageError(form);
    Setting s;
    s.name = trimmed(part.substr(0, equals));
    if (s.name.empty() || s.name.find(' ') != std::string::npos) throw UsageError(form);
    std::string value = trimmed(part.substr(equals + 1, at - equals - 1));
    size_t space = value.find(' ');
    if (space != std::string::npos) {
        s.units = trimmed(value.substr(space + 1));
        value.resize(space);
        if (hostsim::units_by_name(s.units.c_str()) == 0)
            throw UsageError(option + " " + s.name + ": the host knows no units '" + s.units +
                             "' (it knows radians, degrees, feet and meters)");
    }
    char* end = nullptr;
    s.value = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !std::isfinite(s.value))
        throw UsageError(option + " " + s.name + ": '" + value + "' is not a number");
    s.seconds = parse_time(option, part.substr(at + 1));
    return s;
}

}  // namespace

std::vector<Setting> parse_settings(const std::string& option, const std::string& text) {
    std::vector<Setting> settings;
    for (const std::string& part : split_commas(text)) settings.push_back(parse_setting(option, part));
    std::stable_sort(settings.begin(), settings.end(),
                     [](const Setting& a, const Setting& b) { return a.seconds < b.seconds; });
    return settings;
}

std::vector<double> parse_times(const std::string& option, const std::string& text) {
    if (text == "off") return {};
    std::vector<double> times;
    for (const std::string& part : split_commas(text)) times.push_back(parse_time(option, part));
    std::sort(times.begin(), times.end());
    return times;
}

std::vector<Click> parse_clicks(const std::string& option, const std::string& text) {
    std::vector<Click> clicks;
    for (const std::string& part : split_commas(text)) {
        size_t at = part.find('@');
        std::string button = part.substr(0, at);
        if (at == std::string::npos || (button != "next" && button != "previous"))
            throw UsageError(option + " takes next@SECONDS or previous@SECONDS separated by commas, not '" + part + "'");
        clicks.push_back({parse_time(option, part.substr(at + 1)), button == "next" ? Button::Next : Button::Previous});
    }
    std::stable_sort(clicks.begin(), clicks.end(), [](const Click& a, const Click& b) { return a.seconds < b.seconds; });
    return clicks;
}

}  // namespace probe
