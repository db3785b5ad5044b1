// Calls into a user's gauge module (--gauge) under guard: an exception it
// lets out, or a crash (an access violation, an illegal instruction, a
// division by zero) on the thread that called it, ends the run at once
// with exit status 4 and a message naming the gauge and what it was doing,
// saying the fault is that gauge's and not terrain_probe's. Nothing after
// such a fault can be trusted, so nothing more of the run is reported.
#pragma once

#include <functional>
#include <string>

namespace probe {

// Runs call as the gauge (FILE!NAME) doing what ("code 6 (pre-update)").
void call_user_gauge(const std::string& gauge, const std::string& what, const std::function<void()>& call);

// The message the run ends with when that gauge failed so ("crashed
// (segmentation fault)", "threw std::runtime_error: ...").
std::string user_gauge_failure(const std::string& gauge, const std::string& what, const std::string& failure);

}  // namespace probe
