// Sample rows and the terrain check, on two threads: the checker takes
// every sample from the recorder and checks it, whatever the disk does, and
// the file thread writes the queued rows. The surface service answers in a
// 32-bit float, so the model's value is compared after the same narrowing.
// Rows are formatted with to_chars: a run of a hundred thousand points
// writes millions of them.
#include "sample_writer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "errors.h"
#include "progress_bar.h"

namespace probe {
namespace {

constexpr double kToleranceFt = 0.01;
constexpr size_t kFileBuffer = 1 << 20;
// A pipe's reader sees rows as they come, and a stopped finish leaves
// little behind it, rather than a megabyte of rows.
constexpr size_t kPipeBuffer = 1 << 16;
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr auto kProgressAfter = std::chrono::milliseconds(300);
constexpr size_t kRowsPerChunk = 4096;
constexpr size_t kMaxRow = 192;

char* put(char* at, char* end, double value, int decimals) {
    return std::to_chars(at, end, value, std::chars_format::fixed, decimals).ptr;
}

}  // namespace

SampleWriter::SampleWriter(const std::string& csvPath, std::shared_ptr<const hostsim::Terrain> terrain)
    : path_(csvPath), terrain_(std::move(terrain)) {
    if (path_.empty()) return;
    csv_ = std::fopen(path_.c_str(), "wb");
    if (!csv_) throw FileError("--csv " + path_ + " cannot be written: " + std::strerror(errno));
    // The rows are gathered in blocks here, not in the C library's buffer,
    // so that a failed write tells how much of the file holds rows.
    std::setvbuf(csv_, nullptr, _IONBF, 0);
    blockSize_ = std::filesystem::is_regular_file(path_) ? kFileBuffer : kPipeBuffer;
    block_.reserve(blockSize_ + kMaxRow);
    static constexpr char kColumns[] = "time_s,point,latitude_deg,longitude_deg,altitude_ft,elevation_ft\n";
    block_.assign(kColumns, kColumns + sizeof kColumns - 1);
    if (!write_block()) {
        std::fclose(csv_);
        csv_ = nullptr;
        throw FileError("--csv " + path_ + " cannot be written: " + std::strerror(failure_));
    }
}

SampleWriter::~SampleWriter() {
    ending_ = true;
    if (checker_.joinable()) checker_.join();
    stop_writing();
    if (fileThread_.joinable()) fileThread_.join();
    if (csv_) std::fclose(csv_);
}

void SampleWriter::start(SampleRecorder& recorder) {
    recorder_ = &recorder;
    checker_ = std::thread([this] { check_samples(); });
    if (csv_) fileThread_ = std::thread([this] { write_rows(); });
}

void SampleWriter::check_samples() {
    for (;;) {
        bool last = ending_.load();  // read before taking, so nothing recorded before the end is missed
        std::vector<Sample> samples = recorder_->take_samples();
        for (const Sample& s : samples) check(s);
        if (csv_) queue_rows(samples);
        if (last) break;
        if (samples.empty()) std::this_thread::sleep_for(kPoll);
    }
    std::lock_guard<std::mutex> hold(lock_);
    checkedAll_ = true;
    wake_.notify_all();
}

void SampleWriter::check(const Sample& s) {
    double latitude = hostsim::radians(s.latitudeDeg), longitude = hostsim::radians(s.longitudeDeg);
    if (!terrain_->covers(latitude, longitude)) ++outside_;
    float expected = static_cast<float>(terrain_->elevation_feet(latitude, longitude));
    double difference = std::fabs(s.elevationFt - expected);
    if (!(difference <= kToleranceFt)) ++mismatches_;
    if (difference > largestDifference_ || std::isnan(difference)) largestDifference_ = difference;
    rows_.fetch_add(1, std::memory_order_relaxed);
}

void SampleWriter::queue_rows(const std::vector<Sample>& samples) {
    if (samples.empty() || failed_.load()) return;
    std::lock_guard<std::mutex> hold(lock_);
    for (const Sample& s : samples) {
        if (queue_.size() < kMaxQueuedRows) queue_.push_back(s);
        else ++leftOut_;
    }
    wake_.notify_all();
}

// A chunk of rows at a time, taken out of the queue so that the checker
// never waits for the disk. A failed write ends the file's rows.
void SampleWriter::write_rows() {
    std::vector<Sample> chunk;
    for (bool writing = true; writing;) {
        {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [this] { return !queue_.empty() || checkedAll_ || stopWriting_; });
            if (stopWriting_ || queue_.empty()) break;
            size_t rows = std::min(queue_.size(), kRowsPerChunk);
            chunk.assign(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(rows));
            queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(rows));
        }
        for (const Sample& s : chunk) {
            if (stopWriting_.load(std::memory_order_relaxed)) break;
            write_row(s);
            if (block_.size() >= blockSize_ && !(writing = write_block())) break;
        }
    }
    if (!failed_.load()) write_block();
    done_ = true;
}

void SampleWriter::write_row(const Sample& s) {
    size_t at0 = block_.size();
    block_.resize(at0 + kMaxRow);
    char* row = block_.data() + at0;
    char* end = row + kMaxRow;
    char* at = put(row, end, s.seconds, 6);
    *at++ = ',';
    at = std::to_chars(at, end, s.point).ptr;
    *at++ = ',';
    at = put(at, end, s.latitudeDeg, 9);
    *at++ = ',';
    at = put(at, end, s.longitudeDeg, 9);
    *at++ = ',';
    at = put(at, end, s.altitudeFt, 3);
    *at++ = ',';
    at = put(at, end, s.elevationFt, 4);
    *at++ = '\n';
    block_.resize(at0 + static_cast<size_t>(at - row));
    ++blockRows_;
}

// Hands the block to the file; on a failure the block stays, for
// keep_whole_lines to find where the file's rows end.
bool SampleWriter::write_block() {
    size_t taken = block_.empty() ? 0 : std::fwrite(block_.data(), 1, block_.size(), csv_);
    if (taken < block_.size()) {
        failure_ = errno ? errno : EIO;
        failedBlockTaken_ = taken;
        failed_ = true;
        return false;
    }
    fileBytes_ += taken;
    written_.fetch_add(blockRows_, std::memory_order_relaxed);
    block_.clear();
    blockRows_ = 0;
    return true;
}

// After a failed write, once the file is closed: the rows of the failed
// block that the file took are counted, and a regular file, which says
// itself how much it took, is cut back to its last whole line.
void SampleWriter::keep_whole_lines() {
    std::error_code error;
    bool regular = std::filesystem::is_regular_file(path_, error);
    uint64_t size = regular ? std::filesystem::file_size(path_, error) : 0;
    uint64_t took = !regular || error ? failedBlockTaken_ : size > fileBytes_ ? size - fileBytes_ : 0;
    size_t whole = 0;
    for (size_t i = 0; i < std::min<uint64_t>(took, block_.size()); ++i)
        if (block_[i] == '\n') whole = i + 1, written_.fetch_add(1, std::memory_order_relaxed);
    if (regular && !error) std::filesystem::resize_file(path_, fileBytes_ + whole, error);
}

void SampleWriter::stop_writing() {
    std::lock_guard<std::mutex> hold(lock_);
    stopWriting_ = true;
    wake_.notify_all();
}

void SampleWriter::check_all() {
    ending_ = true;
    if (checker_.joinable()) checker_.join();
}

// Says what is being finished once it takes a while, and passes a stop on
// to the file thread.
void SampleWriter::show_finish(const std::function<bool()>& stop) {
    std::unique_ptr<ProgressBar> bar;
    uint64_t total = rows_.load() - leftOut_;  // final: every sample is checked by now
    auto began = std::chrono::steady_clock::now();
    bool announced = false;
    while (!done_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (stop() && !stopWriting_) {
            stop_writing();
            std::fprintf(stderr, "probe-host: stopping --csv %s at a whole line\n", path_.c_str());
        }
        if (!announced && std::chrono::steady_clock::now() - began >= kProgressAfter) {
            announced = true;
            std::fprintf(stderr, "probe-host: finishing --csv %s: %llu of %llu rows written; Ctrl-C stops it at a "
                                 "whole line\n",
                         path_.c_str(), static_cast<unsigned long long>(written_.load()),
                         static_cast<unsigned long long>(total));
            if (ProgressBar::wanted()) bar = std::make_unique<ProgressBar>("writing " + path_);
        }
        if (bar) bar->show(written_.load(), total);
    }
    if (bar) bar->close(written_.load());
}

std::string SampleWriter::finish(const std::function<bool()>& stop) {
    check_all();
    if (!fileThread_.joinable()) return error_;
    show_finish(stop);
    fileThread_.join();
    int reason = failure_;
    if (std::fclose(csv_) != 0 && !reason) reason = errno ? errno : EIO;
    csv_ = nullptr;
    if (failed_.load()) keep_whole_lines();
    if (reason) error_ = "writing --csv " + path_ + " failed: " + std::strerror(reason);
    return error_;
}

}  // namespace probe
