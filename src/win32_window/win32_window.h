// The download window as a native Windows window, on the wide-character Win32 API and the common controls.
//
// - [x] the window as designed: caption, 422 x 119 client pixels at 96 dots per inch, pale yellow, fixed tool
//       window with a close box, centred on the work area, modal without an owner, with a taskbar button
// - [x] DPI scaling: the design's pixels and fonts at the DPI of the window's monitor (the program's manifest
//       declares per-monitor awareness, v2 with the per-monitor fallback), laid out anew on WM_DPICHANGED;
//       the system's DPI before Windows 10 1607
// - [x] visual styles: the common controls 6 (the program's manifest); the OK button keeps its own colour
// - [x] the program's icon (its resource 1) on the taskbar button and in Alt+Tab; a tool window's caption has
//       none
// - [x] every control at its design place: the status label, a common-controls progress bar, the OK
//       button in its own colour (drawn by the window), "&OK" with Alt+O and Enter
// - [x] Thai text through UTF-16, at the design's sizes, in the first face installed with the Thai
//       character set that has the letters: Microsoft Sans Serif (the design's MS Sans Serif with Thai),
//       Tahoma, Leelawadee UI, then Loma or Garuda (the TLWG fonts under Wine), else any other
// - [x] hover emphasis, the right-click credits box
// - [x] the 10 ms timer on a fixed grid, waited for with a high-resolution waitable timer (Windows 10
//       1803 and later; a plain waitable timer elsewhere)
// - [x] events posted from other threads
// - [x] message boxes (MessageBoxW, owned by the window, in the system's font, the detail on a line of
//       its own below the text); control and bidirectional-format characters in them shown as escapes
// - [x] an interruption from any thread, which closes open boxes and then the window as the close box does
// - [x] auto-confirm: no box shown; each printed to standard output (UTF-8) as "[title] text", its
//       detail on the next line; OK pressed as soon as it is enabled
// - [ ] resizing
// - [ ] DPI awareness in a program without the manifest (its own resources): the system stretches the window
// - [ ] Thai letters on a system without a Thai face, and in message boxes when the system's font has
//       none (Wine's Tahoma, unless the prefix links it to a Thai face)
// - [ ] queue ticks finer than the system timer (15.6 ms) while a message box is open (the box's own
//       loop runs them from WM_TIMER)
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/event_poster.h"
#include "platform/window_host.h"
#include "window/posted_events.h"
#include "window/tick_grid.h"

namespace tarnwick {

class Win32Window : public WindowHost, public EventPoster {
 public:
  Win32Window(std::string applicationName, bool autoConfirm);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  void ShowModal(WindowEvents& events) override;
  void RepaintNow() override;
  void Close() override;
  void MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                  const std::string& detail) override;
  void Post(std::function<void()> event) override;

  // Thread-safe (a console control handler calls it): closes open message boxes, then the window as the
  // close box does (not OK). Boxes shown afterwards are skipped.
  void InterruptFromAnyThread();
  // An interruption closed the window; one that came after it had closed changed nothing.
  bool Interrupted() const { return interrupted_; }

 private:
  struct Native;  // the Win32 handles and the window procedures (win32_window.cpp)

  std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
  void CreateWindowAndControls();
  void DestroyWindowAndControls();
  void RunLoop();
  void WaitForWork();
  void RunPostedEvents();
  void RunTimerIfDue();
  void StopQueueTimer();
  void StopForInterruption();
  void Sync();
  void PressOk();

  std::string applicationName_;
  bool autoConfirm_;
  std::unique_ptr<Native> native_;
  WindowEvents* events_ = nullptr;
  bool open_ = false;
  bool okPressed_ = false;
  WindowControls drawn_;  // what the controls show, so that a tick that changes nothing redraws nothing
  bool drawnOnce_ = false;

  TickGrid ticks_;
  PostedEvents posted_;
  std::mutex mutex_;  // guards the window's handle, which other threads post to
  std::atomic<bool> interruptRequested_{false};
  bool interrupted_ = false;
};

}  // namespace tarnwick
