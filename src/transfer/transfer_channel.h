// The way between the window's thread and an FTP transfer control's worker, the same for every control:
// the requests in call order, the handlers, and the outcomes and progress that travel back through the
// window's event loop. The control and its worker each hold it (shared_ptr), so whatever the worker posts
// finds it alive; once the control is gone (Stop) nothing reaches a handler any more.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/event_poster.h"
#include "platform/transfer_control.h"

namespace tarnwick {

class TransferChannel : public std::enable_shared_from_this<TransferChannel> {
 public:
  struct Request {
    std::string url;
    std::string operation;
  };

  // How often a control reports the progress of the file in flight at most: a few times a second.
  static constexpr auto kProgressInterval = std::chrono::milliseconds(200);

  TransferChannel(EventPoster& poster, TransferSettings settings);

  const TransferSettings& Settings() const { return settings_; }

  // The window's thread.
  void SetOutcomeHandler(TransferControl::OutcomeHandler handler) { outcomeHandler_ = std::move(handler); }
  void SetProgressHandler(TransferControl::ProgressHandler handler) { progressHandler_ = std::move(handler); }
  void SetWaitHandler(TransferControl::WaitHandler handler) { waitHandler_ = std::move(handler); }
  void Push(const std::string& url, const std::string& operation);
  // From the control's destructor: no request starts after this and no outcome or progress reaches a
  // handler. `cut` runs under the channel's lock, to end the request in flight.
  void Stop(const std::function<void()>& cut);

  // The worker: the next request, waiting for one; nothing once stopped.
  std::optional<Request> Next();
  // Runs `step` under the channel's lock unless stopped (then false): the control's own state that Stop's
  // `cut` reaches, such as the connection in use, changes only here.
  bool UnlessStopped(const std::function<void()>& step);
  // Both return at once; the handler runs later on the window's thread.
  void Deliver(const TransferOutcome& outcome);
  void Report(const TransferProgress& progress);
  void Wait(const TransferWait& wait);

 private:
  EventPoster& poster_;
  const TransferSettings settings_;

  std::mutex mutex_;  // guards the requests and `stopped_`
  std::condition_variable wake_;
  std::deque<Request> requests_;
  bool stopped_ = false;

  // The window's thread only.
  bool alive_ = true;
  TransferControl::OutcomeHandler outcomeHandler_;
  TransferControl::ProgressHandler progressHandler_;
  TransferControl::WaitHandler waitHandler_;
};

}  // namespace tarnwick
