// A progress bar on stderr, drawn only when stderr is a terminal: output
// piped to a file or a script stays clean.
#pragma once

#include <cstdint>
#include <string>

namespace probe {

class ProgressBar {
public:
    static bool wanted();

    explicit ProgressBar(std::string label) : label_(std::move(label)) {}
    void show(uint64_t done, uint64_t total);
    // Ends the bar's line, if one was drawn.
    void close(uint64_t done);

private:
    std::string label_;
    bool drawn_ = false;
};

}  // namespace probe
