// The message thread's loop: sleep until the next message is due (or the
// run ends), deliver it, note it for the live view.
#include "message_thread.h"

namespace probe {

MessageThread::MessageThread(hostsim::Host& host, std::vector<Message> script, Clock::time_point start,
                             std::function<void(uint64_t)> before)
    : host_(host), script_(std::move(script)), start_(start), before_(std::move(before)) {
    thread_ = std::thread([this] { run(); });
}

MessageThread::~MessageThread() { stop(); }

void MessageThread::stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::vector<Message> MessageThread::take_delivered() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<Message> taken;
    taken.swap(delivered_);
    return taken;
}

void MessageThread::run() {
    for (const Message& message : script_) {
        auto due = start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(message.seconds));
        {
            std::unique_lock<std::mutex> hold(lock_);
            if (wake_.wait_until(hold, due, [this] { return stopping_; })) return;
        }
        if (before_) before_(message.value);
        host_.deliver_message(message.value);
        double at = std::chrono::duration<double>(Clock::now() - start_).count();
        std::lock_guard<std::mutex> hold(lock_);
        delivered_.push_back({at, message.value});
    }
}

}  // namespace probe
