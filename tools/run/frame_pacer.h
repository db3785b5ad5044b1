// The host's frames by the wall clock: 18 a second from the start of the
// run to its end. A frame that cannot start within its own period (the one
// before it ran late) is missed and counted, never made up; nor is a frame
// begun that, taking as long as the longest so far, would end after the
// run. So a slow frame never stretches the run.
#pragma once

#include <chrono>
#include <cstdint>

namespace probe {

class FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    FramePacer(Clock::time_point start, double framesPerSecond, double seconds);
    // Waits until the next frame is due; false when the run has no more.
    bool wait_next();
    // Waits until the end of the run.
    void wait_end() const;

    uint64_t frames() const { return frames_; }
    uint64_t missed() const { return missed_; }

private:
    Clock::time_point due(uint64_t frame) const;

    Clock::time_point start_;
    double period_;
    double seconds_;
    uint64_t total_;
    uint64_t next_ = 0, frames_ = 0, missed_ = 0;
    Clock::time_point begun_;  // when the frame under way began
    Clock::duration longestFrame_{};
};

}  // namespace probe
