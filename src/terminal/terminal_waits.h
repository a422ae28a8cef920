// How the terminal's loop waits: for events posted from other threads, for its timer, for the Enter that
// answers a prompt, and for an interruption. One implementation per system: terminal_waits_posix.cpp
// (a pipe and ppoll) and src/win32_console/terminal_waits_win32.cpp (event objects).
#pragma once

#include <chrono>
#include <memory>
#include <optional>

namespace tarnwick {

class TerminalWaits {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Woken { Work, Enter, Interrupted };

  TerminalWaits();
  ~TerminalWaits();
  TerminalWaits(const TerminalWaits&) = delete;
  TerminalWaits& operator=(const TerminalWaits&) = delete;

  // From any thread: the waiting loop wakes with Work.
  void Wake();
#ifdef _WIN32
  // From any thread (a console control handler): the waiting loop wakes with Interrupted, now and at every
  // later wait.
  void Interrupt();
#else
  // Once `fd` is readable (a signal handler wrote to its pipe; what is there is read and dropped) the waiting
  // loop wakes with Interrupted. The caller keeps the descriptor open.
  void InterruptWhenReadable(int fd);
#endif

  // Until woken, until `deadline` (none: no limit) with Work, or, when `forEnter`, until a line of standard
  // input has ended (or the input has) with Enter.
  Woken Wait(const std::optional<Clock::time_point>& deadline, bool forEnter);

  struct State;

 private:
  std::shared_ptr<State> state_;  // shared with a thread that reads standard input, where there is one
};

}  // namespace tarnwick
