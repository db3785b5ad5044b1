// Where published samples go, off the gauge thread: a thread of its own
// takes them from the recorder, checks each against the terrain model at
// the position the worker read (so a run shows that the module hands the
// surface service the right position and publishes its answer unchanged)
// and writes the --csv file. What is still to write when the run ends is
// finished after it, with a progress bar on a terminal.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "hostsim/terrain.h"
#include "sample_recorder.h"

namespace probe {

class SampleWriter {
public:
    // An empty path writes no file. Opens the file and writes its column
    // names at once; throws FileError when that fails.
    SampleWriter(const std::string& csvPath, std::shared_ptr<const hostsim::Terrain> terrain);
    ~SampleWriter();
    SampleWriter(const SampleWriter&) = delete;
    SampleWriter& operator=(const SampleWriter&) = delete;

    void start(SampleRecorder& recorder);
    // Once the recorder has seen its last call: writes the rest and closes
    // the file. Returns what went wrong with the file, "" when nothing did.
    std::string finish();

    uint64_t rows() const { return rows_.load(); }
    uint64_t mismatches() const { return mismatches_; }
    // Samples taken where the terrain model has no data.
    uint64_t outside() const { return outside_; }
    double largest_difference_ft() const { return largestDifference_; }

private:
    void run();
    void write(const std::vector<Sample>& samples);
    void show_progress();

    std::string path_;
    std::FILE* csv_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::shared_ptr<const hostsim::Terrain> terrain_;
    SampleRecorder* recorder_ = nullptr;
    std::thread thread_;
    std::atomic<bool> ending_{false}, done_{false};
    std::atomic<uint64_t> rows_{0};
    uint64_t mismatches_ = 0, outside_ = 0;
    double largestDifference_ = 0;
    std::string error_;
};

}  // namespace probe
