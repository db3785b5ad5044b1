// Sample rows and the terrain check. The surface service answers in a
// 32-bit float, so the model's value is compared after the same narrowing.
// Rows are formatted with to_chars: a run of a hundred thousand points
// writes millions of them.
#include "sample_writer.h"

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
        std::vector<Sample> samples = recorder_->take_samples();
        write(samples);
        if (last && samples.empty()) break;
        if (samples.empty()) std::this_thread::sleep_for(kPoll);
    }
    done_ = true;
}

void SampleWriter::write(const std::vector<Sample>& samples) {
    char row[192];
    char* end = row + sizeof row;
    for (const Sample& s : samples) {
        double latitude = hostsim::radians(s.latitudeDeg), longitude = hostsim::radians(s.longitudeDeg);
        if (!terrain_->covers(latitude, longitude)) ++outside_;
        float expected = static_cast<float>(terrain_->elevation_feet(latitude, longitude));
        double difference = std::fabs(s.elevationFt - expected);
        if (!(difference <= kToleranceFt)) ++mismatches_;
        if (difference > largestDifference_ || std::isnan(difference)) largestDifference_ = difference;
        rows_.fetch_add(1, std::memory_order_relaxed);
        if (!csv_) continue;
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
    }
}

void SampleWriter::show_progress() {
    ProgressBar bar("writing " + path_);
    auto began = std::chrono::steady_clock::now();
    while (!done_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (std::chrono::steady_clock::now() - began < kProgressAfter) continue;
        uint64_t total = rows_.load() + recorder_->pending();
        bar.show(rows_.load(), total);
    }
    bar.close(rows_.load());
}

std::string SampleWriter::finish() {
    if (!thread_.joinable()) return error_;
    ending_ = true;
    if (csv_ && ProgressBar::wanted()) show_progress();
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
