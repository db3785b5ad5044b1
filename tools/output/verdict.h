// The run's verdict: every check the summary makes decides it, and a
// failed one fails the run with an exit status of its own. Warnings do not.
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace probe {

struct FailedCheck {
    std::string check;  // its name, as the JSON gives it
    std::string says;   // what it found
};

struct Verdict {
    std::vector<FailedCheck> failed;
    int exitStatus = 0;
};

// The checks, then the exit status: a signal's (130, 143) when one ended
// the run or its finish, else 3 when a check failed, else 1 when an output
// could not be written, else 0.
Verdict judge(const RunResult& run);

}  // namespace probe
