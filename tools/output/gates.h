// The checks a CI job asks for: with --strict, what is otherwise a warning
// (samples outside the terrain, no samples, frames missed beyond a tenth,
// an incomplete CSV, a route that does not cover the run, implausible
// points); --max-age, an absolute bound on the elevation's age; and
// --tolerance, the points file's expected elevations. Each says what it
// found wrong, "" when the run passed it or the gate is off.
#pragma once

#include <string>

#include "session.h"

namespace probe {

std::string strict_outside_check(const RunResult& run);
std::string strict_no_samples_check(const RunResult& run);
std::string strict_missed_frames_check(const RunResult& run);
std::string strict_csv_check(const RunResult& run);
std::string strict_route_check(const RunResult& run);
std::string strict_plausible_check(const RunResult& run);
std::string max_age_check(const RunResult& run);
std::string expected_elevations_check(const RunResult& run);

// Whether the CSV holds every sample checked.
bool csv_complete(const RunResult& run);

}  // namespace probe
