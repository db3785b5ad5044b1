// Where published samples go: the --csv file, and a check of each against
// the terrain model at the position the worker read, so a run shows that
// the module hands the surface service the right position and publishes
// its answer unchanged.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/terrain.h"
#include "sample_recorder.h"

namespace probe {

class SampleSink {
public:
    // An empty path writes no file. Throws FileError when it cannot be written.
    SampleSink(const std::string& csvPath, std::shared_ptr<const hostsim::Terrain> terrain);

    void add(const std::vector<Sample>& samples);
    // Flushes the file; throws FileError when writing failed.
    void finish();

    uint64_t rows() const { return rows_; }
    uint64_t mismatches() const { return mismatches_; }
    // Samples at positions the terrain model has no data for.
    uint64_t outside() const { return outside_; }
    double largest_difference_ft() const { return largestDifference_; }

private:
    std::string path_;
    std::ofstream csv_;
    std::shared_ptr<const hostsim::Terrain> terrain_;
    uint64_t rows_ = 0, mismatches_ = 0, outside_ = 0;
    double largestDifference_ = 0;
};

}  // namespace probe
