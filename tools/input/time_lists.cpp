// Times are seconds from the start of the run, 0 or more; each list comes
// out in time order, whatever order the user wrote it in.
#include "time_lists.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

}  // namespace

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
