// The download window in a terminal.
//
// Supports: the caption, the status label, the progress bar (redrawn in place on a terminal, one line
//   per change otherwise), message boxes as blocks with their title, the OK button as a prompt that
//   Enter answers, the 10 ms timer, events posted from other threads; an interruption, which closes the
//   window as a close box would. Control characters in the run's texts are printed as escapes.
// Does not support: mouse events (no hover emphasis, no credits box), a close box.
// With auto-confirm every box is acknowledged at once and OK is pressed as soon as it is enabled.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include "platform/event_poster.h"
#include "platform/window_host.h"

namespace tarnwick {

class TerminalWindow : public WindowHost, public EventPoster {
 public:
  TerminalWindow(std::ostream& out, std::string applicationName, bool autoConfirm, bool outputIsTerminal);
  ~TerminalWindow() override;

  void ShowModal(WindowEvents& events) override;
  void RepaintNow() override;
  void Close() override;
  void MessageBox(const std::string& text, const std::string& title, MessageIcon icon) override;
  void Post(std::function<void()> event) override;

  // Once `fd` is readable (what is there is read and dropped) the window closes as a close box would:
  // not OK, and a box no longer waits for Enter. The caller keeps the descriptor open.
  void CloseWhenReadable(int fd);
  bool Interrupted() const { return interrupted_; }

 private:
  using Clock = std::chrono::steady_clock;

  void RunLoop();
  bool RunPostedEvents();
  void WaitForWork();
  void RunTimerIfDue();
  void PressOkWhenReady();
  void Draw();
  void DrawProgress(const ProgressBarState& bar);
  void EndProgressLine();
  void WaitForEnter();
  void Interrupt();

  std::ostream& out_;
  std::string applicationName_;
  bool autoConfirm_;
  bool outputIsTerminal_;

  WindowEvents* events_ = nullptr;
  bool open_ = false;
  bool timerRunning_ = false;
  Clock::time_point nextTick_;
  bool okPromptShown_ = false;
  bool progressLineOpen_ = false;
  WindowControls drawn_;
  bool drawnOnce_ = false;

  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  int interruptFd_ = -1;
  bool interrupted_ = false;
};

}  // namespace tarnwick
