// Frame k is due k / rate seconds into the run.
#include "frame_pacer.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace probe {

FramePacer::FramePacer(Clock::time_point start, double framesPerSecond, double seconds)
    : start_(start), period_(1.0 / framesPerSecond), seconds_(seconds),
      total_(static_cast<uint64_t>(std::ceil(seconds * framesPerSecond - 1e-9))) {}

FramePacer::Clock::time_point FramePacer::due(uint64_t frame) const {
    return start_ + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(period_ * static_cast<double>(frame)));
}

bool FramePacer::wait_next() {
    if (frames_ > 0) longestFrame_ = std::max(longestFrame_, Clock::now() - begun_);
    if (next_ >= total_) return false;
    double late = std::chrono::duration<double>(Clock::now() - due(next_)).count();
    if (late >= period_) {
        uint64_t skipped = std::min<uint64_t>(static_cast<uint64_t>(late / period_), total_ - next_);
        missed_ += skipped;
        next_ += skipped;
        if (next_ >= total_) return false;
    }
    Clock::time_point end = start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds_));
    if (std::max(due(next_), Clock::now()) + longestFrame_ > end) {
        missed_ += total_ - next_;
        next_ = total_;
        return false;
    }
    std::this_thread::sleep_until(due(next_));
    begun_ = Clock::now();
    ++next_;
    ++frames_;
    return true;
}

// A sleep may end a little before its time (a Windows sleep rounds to the
// timer's tick), and the run lasts its whole length.
void FramePacer::wait_end() const {
    Clock::time_point end = start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds_));
    while (Clock::now() < end) std::this_thread::sleep_until(end);
}

}  // namespace probe
