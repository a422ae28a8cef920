// Hands work from a background thread to the window's event loop, which runs it on its own thread.
#pragma once

#include <functional>

namespace tarnwick {

class EventPoster {
 public:
  virtual ~EventPoster() = default;
  // Thread-safe; the event runs later on the loop's thread, never inside this call.
  virtual void Post(std::function<void()> event) = 0;
};

}  // namespace tarnwick
