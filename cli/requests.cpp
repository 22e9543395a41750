// What may stop a request early: Ctrl-C and --deadline (Requests, app.h).
#include <algorithm>
#include <chrono>
#include <mutex>

#include "cli.h"
#include "sys.h"

namespace cli {

void Requests::opened(net::Transport *t) {
    std::lock_guard<std::mutex> lk(lock_);
    open_.push_back(t);
}

void Requests::closed(net::Transport *t) {
    std::lock_guard<std::mutex> lk(lock_);
    open_.erase(std::remove(open_.begin(), open_.end(), t), open_.end());
}

void Requests::interrupt() {
    std::lock_guard<std::mutex> lk(lock_);
    // Between requests (no watch running), or a second Ctrl-C while the
    // first one is being honoured: nothing to wait for.
    if (interrupted_ || (!busy_ && !watching_)) {
        out::print(stderr, "\nkova: cancelled\n");
        sys::quit_now(EXIT_CANCELLED);
    }
    interrupted_ = true;
    if (busy_)
        for (auto *t : open_) net::cancel(t);
    rested_.notify_all();
}

void Requests::enter() {
    std::lock_guard<std::mutex> lk(lock_);
    if (deadline_passed_) throw DeadlinePassed{};
    if (interrupted_) throw Interrupted{};  // a watch's Ctrl-C between its requests
    busy_ = true;
}

void Requests::watching() {
    std::lock_guard<std::mutex> lk(lock_);
    watching_ = true;
}

bool Requests::rest(int32_t ms) {
    std::unique_lock<std::mutex> lk(lock_);
    rested_.wait_for(lk, std::chrono::milliseconds(ms), [this] { return interrupted_ || deadline_passed_; });
    if (interrupted_) return false;
    if (deadline_passed_) throw DeadlinePassed{};
    return true;
}

void Requests::leave(int32_t rc) {
    std::lock_guard<std::mutex> lk(lock_);
    busy_ = false;
    if (interrupted_) throw Interrupted{};
    // A request that was done when the deadline came keeps its answer; the
    // next one will not start.
    if (cut_ && rc < 0) throw DeadlinePassed{};
}

void Requests::start_deadline(int32_t ms) {
    deadline_ms_ = ms;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    watchdog_ = std::thread([this, until] {
        std::unique_lock<std::mutex> lk(lock_);
        if (wake_.wait_until(lk, until, [this] { return stop_watching_; })) return;
        deadline_passed_ = true;
        rested_.notify_all();
        if (!busy_) return;  // the next request will not start
        cut_ = true;
        for (auto *t : open_) net::cancel(t);
    });
}

void Requests::stop_deadline() {
    if (!watchdog_.joinable()) return;
    {
        std::lock_guard<std::mutex> lk(lock_);
        stop_watching_ = true;
    }
    wake_.notify_all();
    watchdog_.join();
}

void on_interrupt(void *app) { static_cast<App *>(app)->requests.interrupt(); }

}  // namespace cli
