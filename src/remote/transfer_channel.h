// The way back from a transfer control's worker to the window's thread: the control's settings and
// handlers, and the outcomes, progress and waits that travel through the window's event loop. The control
// and its worker each hold it (shared_ptr), so whatever the worker posts finds it alive; once the control is
// gone (Stop) nothing reaches a handler any more.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/event_poster.h"
#include "platform/transfer_control.h"

namespace tarnwick {

class TransferChannel : public std::enable_shared_from_this<TransferChannel> {
 public:
  struct Request {
    std::string url;
    std::string operation;
    FileChecks checks;
  };

  // How often a control reports the progress of the file in flight at most: a few times a second.
  static constexpr auto kProgressInterval = std::chrono::milliseconds(200);

  TransferChannel(EventPoster& poster, TransferSettings settings);

  const TransferSettings& Settings() const { return settings_; }

  // The window's thread.
  void SetOutcomeHandler(TransferControl::OutcomeHandler handler) { outcomeHandler_ = std::move(handler); }
  void SetProgressHandler(TransferControl::ProgressHandler handler) { progressHandler_ = std::move(handler); }
  void SetWaitHandler(TransferControl::WaitHandler handler) { waitHandler_ = std::move(handler); }
  // From the control's destructor: no outcome, progress or wait reaches a handler after this.
  void Stop() { alive_ = false; }

  // The worker's. Each returns at once; the handler runs later on the window's thread.
  void Deliver(const TransferOutcome& outcome);
  void Report(const TransferProgress& progress);
  void Wait(const TransferWait& wait);
  // `event` on the window's thread, whether or not the control is still there.
  void PostToWindow(std::function<void()> event) { poster_.Post(std::move(event)); }

 private:
  // `event` to the handler, on the window's thread, unless the control has stopped by then.
  template <typename Handler, typename Event>
  void Post(Handler TransferChannel::*handler, Event event) {
    poster_.Post([self = shared_from_this(), handler, event = std::move(event)] {
      const auto& handle = (*self).*handler;
      if (self->alive_ && handle) {
        handle(event);
      }
    });
  }

  EventPoster& poster_;
  const TransferSettings settings_;

  // The window's thread only.
  bool alive_ = true;
  TransferControl::OutcomeHandler outcomeHandler_;
  TransferControl::ProgressHandler progressHandler_;
  TransferControl::WaitHandler waitHandler_;
};

}  // namespace tarnwick
