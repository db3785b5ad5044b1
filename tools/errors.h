// The two kinds of failure probe-host reports before or instead of a run,
// each with its own exit status.
#pragma once

#include <stdexcept>

namespace probe {

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
