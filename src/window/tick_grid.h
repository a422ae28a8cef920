// The queue timer's ticks, kept on a fixed grid from the moment the timer starts: a tick that runs late
// does not push the later ones back, so a file that has arrived waits for the next tick, never a whole
// interval more. For front ends that wait for the ticks themselves.
#pragma once

#include <chrono>

namespace tarnwick {

class TickGrid {
 public:
  using Clock = std::chrono::steady_clock;

  void Start(std::chrono::milliseconds interval) {
    interval_ = interval;
    next_ = Clock::now() + interval;
    running_ = true;
  }
  void Stop() { running_ = false; }
  bool Running() const { return running_; }
  // When the next tick is due, while running.
  Clock::time_point Next() const { return next_; }

  // True when a tick is due now; the grid then moves on past now.
  bool TakeDue() {
    const auto now = Clock::now();
    if (!running_ || now < next_) {
      return false;
    }
    while (next_ <= now) {
      next_ += interval_;
    }
    return true;
  }

 private:
  bool running_ = false;
  std::chrono::milliseconds interval_{0};
  Clock::time_point next_;
};

}  // namespace tarnwick
