// What the logic needs of the windowing system: a modal window that reports its events to the logic
// (WindowEvents), draws the logic's controls (WindowControls), and shows blocking message boxes.
#pragma once

#include <string>

namespace tarnwick {

enum class MessageIcon { None, Critical, Information };
enum class MouseButton { Left, Right, Middle };

struct StatusLabelState {
  std::string caption;
  int left = 0, top = 0, width = 0, height = 0;  // twips
};

struct ProgressBarState {
  double min = 0, max = 100, value = 0;
  bool visible = true;
};

struct OkButtonState {
  bool enabled = false;
  bool bold = false;
  double fontSize = 9.75;
};

struct QueueTimerState {
  bool enabled = false;
  int intervalMs = 10;
};

// The visible state that the logic keeps; a front end draws it after every event it delivers.
struct WindowControls {
  StatusLabelState status;
  ProgressBarState progress;
  OkButtonState okButton;
  QueueTimerState queueTimer;
};

class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void Opened() = 0;  // the window opens: its controls are created
  virtual void Closed() = 0;  // the window has closed: its controls are gone
  virtual void Shown() = 0;   // the window is on the screen: a run starts
  virtual void OkPressed() = 0;
  virtual void PointerOverOk() = 0;
  virtual void PointerOverSurface() = 0;
  virtual void MouseDown(MouseButton button) = 0;
  virtual void QueueTick() = 0;  // every interval of the queue timer while it is enabled
  virtual const WindowControls& Controls() const = 0;
  // The component folder holds the recovery marker: a window closed now, without OK, leaves the next run
  // to fetch everything again. A front end that says why a run ended words it by this.
  virtual bool RecoveryPending() const = 0;
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Opens the window without an owner and returns only when it has closed.
  virtual void ShowModal(WindowEvents& window) = 0;
  virtual void RepaintNow() = 0;
  // Ends the modal show once the current event has been handled.
  virtual void Close() = 0;
  // One OK button; blocks until dismissed. An empty title shows the application's name. `detail` says in
  // plain words what happened (empty when the text says it all); a front end may show it beside the text.
  virtual void MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                          const std::string& detail) = 0;
};

}  // namespace tarnwick
