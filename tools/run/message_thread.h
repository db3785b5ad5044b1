// The host's message thread: delivers the scripted pause and resume
// messages through the host's event service at their times, from its own
// thread, as a simulator's message loop would.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "hostsim/host.h"
#include "sample_recorder.h"

namespace probe {

struct Message {
    double seconds;  // since the start of the run
    uint64_t value;
};

class MessageThread {
public:
    // script is in time order; before runs on the message thread just
    // before each delivery.
    MessageThread(hostsim::Host& host, std::vector<Message> script, Clock::time_point start,
                  std::function<void(uint64_t)> before);
    ~MessageThread();
    MessageThread(const MessageThread&) = delete;
    MessageThread& operator=(const MessageThread&) = delete;

    // The messages delivered since the last call, with the time each was.
    std::vector<Message> take_delivered();
    void stop();

private:
    void run();

    hostsim::Host& host_;
    std::vector<Message> script_;
    Clock::time_point start_;
    std::function<void(uint64_t)> before_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<Message> delivered_;
    std::thread thread_;
};

}  // namespace probe
