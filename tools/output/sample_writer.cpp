// Sample rows and the terrain check. The surface service answers in a
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

#include "errors.h"
#include "progress_bar.h"

namespace probe {
namespace {

constexpr double kToleranceFt = 0.01;
constexpr size_t kFileBuffer = 1 << 20;
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr auto kProgressAfter = std::chrono::milliseconds(300);
constexpr size_t kRowsPerChunk = 4096;

char* put(char* at, char* end, double value, int decimals) {
    return std::to_chars(at, end, value, std::chars_format::fixed, decimals).ptr;
}

}  // namespace

SampleWriter::SampleWriter(const std::string& csvPath, std::shared_ptr<const hostsim::Terrain> terrain)
    : path_(csvPath), terrain_(std::move(terrain)) {
    if (path_.empty()) return;
    csv_ = std::fopen(path_.c_str(), "wb");
    if (!csv_) throw FileError("--csv " + path_ + " cannot be written: " + std::strerror(errno));
    buffer_ = std::make_unique<char[]>(kFileBuffer);
    std::setvbuf(csv_, buffer_.get(), _IOFBF, kFileBuffer);
    std::fputs("time_s,point,latitude_deg,longitude_deg,altitude_ft,elevation_ft\n", csv_);
    if (std::fflush(csv_) != 0) {
        std::string reason = std::strerror(errno);
        std::fclose(csv_);
        csv_ = nullptr;
        throw FileError("--csv " + path_ + " cannot be written: " + reason);
    }
}

SampleWriter::~SampleWriter() {
    ending_ = true;
    if (thread_.joinable()) thread_.join();
    if (csv_) std::fclose(csv_);
}

void SampleWriter::start(SampleRecorder& recorder) {
    recorder_ = &recorder;
    thread_ = std::thread([this] { run(); });
}

void SampleWriter::run() {
    for (;;) {
        bool last = ending_.load();  // read before taking, so nothing recorded before the end is missed
        take_and_check();
        if (last) checkedAll_ = true;
        bool wrote = write_some();
        if (last && queue_.empty()) break;
        if (!wrote) std::this_thread::sleep_for(kPoll);
    }
    done_ = true;
}

void SampleWriter::take_and_check() {
    for (const Sample& s : recorder_->take_samples()) {
        check(s);
        if (!csv_ || stopWriting_.load(std::memory_order_relaxed)) continue;
        if (queue_.size() < kMaxQueuedRows) queue_.push_back(s);
        else ++leftOut_;
    }
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

// A chunk at a time, so that samples keep being taken and checked behind a
// slow disk.
bool SampleWriter::write_some() {
    size_t rows = std::min(queue_.size(), kRowsPerChunk);
    for (size_t i = 0; i < rows; ++i) {
        if (stopWriting_.load(std::memory_order_relaxed)) {
            queue_.clear();
            return false;
        }
        write_row(queue_.front());
        queue_.pop_front();
    }
    return rows > 0;
}

void SampleWriter::write_row(const Sample& s) {
    char row[192];
    char* end = row + sizeof row;
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
    std::fwrite(row, 1, static_cast<size_t>(at - row), csv_);
    written_.fetch_add(1, std::memory_order_relaxed);
}

void SampleWriter::check_all() {
    if (!thread_.joinable()) return;
    ending_ = true;
    while (!checkedAll_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// Says what is being finished once it takes a while, and passes a stop on
// to the writing thread.
void SampleWriter::show_finish(const std::function<bool()>& stop) {
    std::unique_ptr<ProgressBar> bar;
    uint64_t total = rows_.load() - leftOut_;  // final: every sample is checked by now
    auto began = std::chrono::steady_clock::now();
    while (!done_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (stop()) stopWriting_ = true;
        if (bar || std::chrono::steady_clock::now() - began < kProgressAfter) {
            if (bar) bar->show(written_.load(), total);
            continue;
        }
        std::fprintf(stderr, "probe-host: finishing --csv %s: %llu of %llu rows written; Ctrl-C stops it at a whole "
                             "line\n",
                     path_.c_str(), static_cast<unsigned long long>(written_.load()),
                     static_cast<unsigned long long>(total));
        if (ProgressBar::wanted()) bar = std::make_unique<ProgressBar>("writing " + path_);
    }
    if (bar) bar->close(written_.load());
}

std::string SampleWriter::finish(const std::function<bool()>& stop) {
    if (!thread_.joinable()) return error_;
    check_all();
    if (csv_) show_finish(stop);
    thread_.join();
    if (!csv_) return error_;
    bool failed = std::ferror(csv_) != 0;
    failed = std::fflush(csv_) != 0 || failed;
    int reason = errno;
    failed = std::fclose(csv_) != 0 || failed;
    csv_ = nullptr;
    if (failed) error_ = "writing --csv " + path_ + " failed: " + std::strerror(reason ? reason : EIO);
    return error_;
}

}  // namespace probe
