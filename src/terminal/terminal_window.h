// The download window in a terminal.
//
// - [x] the caption and the status label
// - [x] a line of progress redrawn in place, a few times a second at most: the bar, the files started of
//       the total, the file in flight with its bytes so far of the size the server announced, the rate
// - [x] a line per file instead when the output is not a terminal
// - [x] a summary at the end of a completed run: files, bytes, time, rate, names no longer listed
// - [x] message boxes as blocks with their title and a line that says what happened; error boxes also on
//       a separate error stream
// - [x] the OK button as a prompt that Enter answers
// - [x] the 10 ms timer; events posted from other threads
// - [x] an interruption, which closes the window as a close box would and says so
// - [x] quiet: only error boxes and the OK prompt that waits
// - [x] control and bidirectional-format characters in the run's texts printed as escapes
// - [x] auto-confirm: every box acknowledged at once, OK pressed as soon as it is enabled
// - [ ] mouse events: no hover emphasis, no credits box
// - [ ] a close box
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "platform/event_poster.h"
#include "platform/run_journal.h"
#include "platform/window_host.h"
#include "terminal/terminal_waits.h"
#include "window/posted_events.h"
#include "window/tick_grid.h"

namespace tarnwick {

struct TerminalOptions {
  bool autoConfirm = false;       // no box and no OK waits for Enter
  bool outputIsTerminal = false;  // redraw in place
  bool quiet = false;             // only errors
};

class TerminalWindow : public WindowHost, public EventPoster, public RunJournal {
 public:
  // Error boxes go to `errors` too, unless it is null (the same place as `out`).
  TerminalWindow(std::ostream& out, std::ostream* errors, std::string applicationName, TerminalOptions options);

  void ShowModal(WindowEvents& events) override;
  void RepaintNow() override;
  void Close() override;
  void MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                  const std::string& detail) override;
  void Post(std::function<void()> event) override;

  void FileStarted(const std::string& name, size_t position, size_t count) override;
  void FileProgress(std::uint64_t bytes, std::uint64_t size) override;
  void FileFetched(const std::string& name, std::uint64_t bytes) override;
  void RunCompleted(const RunSummary& summary) override;

#ifdef _WIN32
  // From any thread (the console's Ctrl-C handler): the window closes as a close box would: not OK, and a
  // box no longer waits for Enter.
  void InterruptFromAnyThread();
#else
  // Once `fd` is readable (what is there is read and dropped) the window closes as a close box would:
  // not OK, and a box no longer waits for Enter. The caller keeps the descriptor open.
  void CloseWhenReadable(int fd);
#endif
  bool Interrupted() const { return interrupted_; }

 private:
  using Clock = std::chrono::steady_clock;

  void RunLoop();
  bool RunPostedEvents();
  void WaitForWork();
  void RunTimerIfDue();
  void PressOkWhenReady();
  void Draw();
  void DrawProgressLine(bool evenIfJustDrawn);
  void EndProgressLine();
  void WaitForEnter();
  void Interrupt();

  std::ostream& out_;
  std::ostream* errors_;
  std::string applicationName_;
  bool autoConfirm_;
  bool outputIsTerminal_;
  bool quiet_;

  WindowEvents* events_ = nullptr;
  bool open_ = false;
  TickGrid ticks_;
  bool okPromptShown_ = false;
  bool progressLineOpen_ = false;
  WindowControls drawn_;
  bool drawnOnce_ = false;

  // The file in flight, for the line of progress.
  Clock::time_point runStarted_;
  std::string fileName_;
  size_t filePosition_ = 0;
  size_t fileCount_ = 0;
  std::uint64_t fileBytes_ = 0;
  std::uint64_t fileSize_ = 0;
  Clock::time_point fileStarted_;
  Clock::time_point lastProgressDrawn_;

  PostedEvents posted_;
  TerminalWaits waits_;
  bool interrupted_ = false;
};

}  // namespace tarnwick
