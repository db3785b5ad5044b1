// The two kinds of failure probe-host reports before or instead of a run,
// and the exit statuses of every way a run can end.
#pragma once

#include <stdexcept>

namespace probe {

constexpr int kExitPassed = 0;       // the run completed and passed every check
constexpr int kExitFile = 1;         // a file cannot be used, or an output could not be written
constexpr int kExitUsage = 2;        // bad arguments
constexpr int kExitCheckFailed = 3;  // the run completed and a check failed
constexpr int kExitUserGauge = 4;    // a gauge of the user's (--gauge) crashed or threw: the run ends there
// A signal ended the run, or stopped its outputs' finish: 128 plus its
// number, 129 for SIGHUP, 130 for Ctrl-C and 143 for SIGTERM.
constexpr int kExitHangup = 129;
constexpr int kExitInterrupted = 130;
constexpr int kExitTerminated = 143;

// Bad arguments (exit status 2); the message says which and why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be used (exit status 1); the message names it and,
// for a bad line, the line's number.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace probe
