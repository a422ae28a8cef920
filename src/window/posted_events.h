// Events that other threads post to a window, kept in order and run one at a time on the window's own
// thread, between its other events.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace tarnwick {

class PostedEvents {
 public:
  // Any thread.
  void Push(std::function<void()> event) {
    const std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  // The oldest event, or an empty function when there is none.
  std::function<void()> Take() {
    const std::lock_guard lock(mutex_);
    if (events_.empty()) {
      return {};
    }
    std::function<void()> event = std::move(events_.front());
    events_.pop_front();
    return event;
  }
  void Clear() {
    const std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> events_;
};

}  // namespace tarnwick
