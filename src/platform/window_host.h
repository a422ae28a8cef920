// What the logic needs of the windowing system: a modal window that reports its events to the logic
// (WindowEvents), draws the logic's controls (WindowControls), and shows blocking message boxes.
#pragma once

#include <string>

namespace tarnwick {

enum class MessageIcon { None, Critical, Information };
enum class MouseButton { Left, Right, Middle };

struct LabelState {
  std::string caption;
  int left = 0, top = 0, width = 0, height = 0;  // twips
};

struct ProgressBarState {
  double min = 0, max = 100, value = 0;
  bool visible = true;
};

struct ButtonState {
  std::string caption;
  bool enabled = false;
  bool bold = false;
  double fontSize = 9.75;
};

struct TimerState {
  bool enabled = false;
  int intervalMs = 10;
};

// The visible state that the logic keeps; a front end draws it after every event it delivers.
struct WindowControls {
  LabelState lblwait;
  ProgressBarState progressBar1;
  ButtonState cmdOk;
  TimerState timer1;
};

class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void Form_Load() = 0;    // the window opens: its controls are created
  virtual void Form_Unload() = 0;  // the window has closed: its controls are gone
  virtual void Form_Resize() = 0;
  virtual void CmdOk_Click() = 0;
  virtual void CmdOk_MouseMove() = 0;
  virtual void Form_MouseMove() = 0;
  virtual void Form_MouseDown(MouseButton button) = 0;
  virtual void Timer1_Timer() = 0;
  virtual const WindowControls& Controls() const = 0;
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Opens the window without an owner and returns only when it has closed.
  virtual void ShowModal(WindowEvents& form) = 0;
  virtual void RepaintNow() = 0;
  // Ends the modal show once the current event has been handled.
  virtual void Close() = 0;
  // One OK button; blocks until dismissed. An empty title shows the application's name.
  virtual void MessageBox(const std::string& text, const std::string& title, MessageIcon icon) = 0;
};

}  // namespace tarnwick
