// Where published samples go, off the gauge thread: a checker thread takes
// them from the recorder and checks each against the terrain model at the
// position the worker read (so a run shows that the module hands the
// surface service the right position and publishes its answer unchanged),
// and a file thread writes the --csv file. The rows not yet written wait
// in a queue of bounded size; a sample that finds it full is checked but
// left out of the file (counted). What is still to write when the run ends
// is finished after the summary, with a progress bar on a terminal, and
// may be stopped at a whole line.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hostsim/terrain.h"
#include "sample_recorder.h"

namespace probe {

// The rows waiting to be written, at most (about 50 MB).
constexpr size_t kMaxQueuedRows = size_t{1} << 20;

class SampleWriter {
public:
    // An empty path writes no file. Opens the file and writes its column
    // names at once; throws FileError when that fails.
    SampleWriter(const std::string& csvPath, std::shared_ptr<const hostsim::Terrain> terrain);
    ~SampleWriter();
    SampleWriter(const SampleWriter&) = delete;
    SampleWriter& operator=(const SampleWriter&) = delete;

    void start(SampleRecorder& recorder);
    // Once the recorder has seen its last call: returns when every sample
    // is checked, so the check's figures are final.
    void check_all();
    // Writes the rest and closes the file; when `stop` says so, the file
    // ends with the row being written. Returns what went wrong with the
    // file, "" when nothing did; a file whose write failed is cut back to
    // its last whole line, and written() counts the rows it holds.
    std::string finish(const std::function<bool()>& stop);

    uint64_t rows() const { return rows_.load(); }  // samples checked
    uint64_t mismatches() const { return mismatches_; }
    // Samples taken where the terrain model has no data.
    uint64_t outside() const { return outside_; }
    double largest_difference_ft() const { return largestDifference_; }
    uint64_t written() const { return written_.load(); }
    uint64_t left_out() const { return leftOut_; }  // the queue was full; final once check_all returned
    bool stopped() const { return stopWriting_.load() && !failed_.load(); }
    bool failed() const { return failed_.load(); }  // a write failed

private:
    void check_samples();
    void check(const Sample& s);
    void queue_rows(const std::vector<Sample>& samples);
    void write_rows();
    void write_row(const Sample& s);
    bool write_block();
    void keep_whole_lines();
    void stop_writing();
    void show_finish(const std::function<bool()>& stop);

    std::string path_;
    std::FILE* csv_ = nullptr;
    // The file thread's: whole rows not yet handed to the file, in blocks
    // of blockSize_, and the bytes the file took before block_.
    std::vector<char> block_;
    size_t blockSize_ = 0;
    uint64_t blockRows_ = 0, fileBytes_ = 0;
    std::atomic<bool> failed_{false};
    int failure_ = 0;               // errno of the write that failed
    size_t failedBlockTaken_ = 0;   // bytes of block_ it took, as it said
    std::shared_ptr<const hostsim::Terrain> terrain_;
    SampleRecorder* recorder_ = nullptr;
    std::thread checker_, fileThread_;
    std::atomic<bool> ending_{false}, done_{false};
    std::atomic<uint64_t> rows_{0}, written_{0};
    uint64_t mismatches_ = 0, outside_ = 0;  // the checker's, read once it has ended
    double largestDifference_ = 0;
    std::mutex lock_;  // guards the queue, its counts and flags
    std::condition_variable wake_;
    std::deque<Sample> queue_;
    uint64_t leftOut_ = 0;
    bool checkedAll_ = false;
    std::atomic<bool> stopWriting_{false};
    std::string error_;
};

}  // namespace probe
