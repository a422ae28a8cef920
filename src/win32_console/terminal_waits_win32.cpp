// The terminal's waits on Windows: event objects and one wait for all of them.
#include <windows.h>

#include <atomic>
#include <thread>

#include "terminal/terminal_waits.h"

namespace tarnwick {

// Shared with the thread that reads standard input, which may outlive the waits: a read of a console or a
// pipe cannot be called off, so the thread is left to the process's end.
struct TerminalWaits::State {
  HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);       // auto-reset: one wake per Post
  HANDLE interrupt = CreateEventW(nullptr, TRUE, FALSE, nullptr);   // manual: stays interrupted
  HANDLE lineEnded = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // auto-reset: one Enter per line
  std::atomic<bool> inputEnded{false};
  bool readerStarted = false;

  ~State() {
    CloseHandle(wake);
    CloseHandle(interrupt);
    CloseHandle(lineEnded);
  }
};

namespace {

// Reads standard input a byte at a time (a console hands over a line at a time anyway) and signals each
// line end; at the input's end every later wait for Enter ends at once, as on Linux.
void ReadLines(const std::shared_ptr<TerminalWaits::State>& state) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  for (;;) {
    char byte = 0;
    DWORD got = 0;
    if (!ReadFile(input, &byte, 1, &got, nullptr) || got == 0) {
      state->inputEnded = true;
      SetEvent(state->lineEnded);
      return;
    }
    if (byte == '\n') {
      SetEvent(state->lineEnded);
    }
  }
}

}  // namespace

TerminalWaits::TerminalWaits() : state_(std::make_shared<State>()) {}

TerminalWaits::~TerminalWaits() = default;

void TerminalWaits::Wake() { SetEvent(state_->wake); }

void TerminalWaits::Interrupt() { SetEvent(state_->interrupt); }

TerminalWaits::Woken TerminalWaits::Wait(const std::optional<Clock::time_point>& deadline, bool forEnter) {
  if (forEnter && !state_->readerStarted) {
    state_->readerStarted = true;
    std::thread(ReadLines, state_).detach();
  }
  if (forEnter && state_->inputEnded) {
    return Woken::Enter;
  }
  DWORD timeoutMs = INFINITE;
  if (deadline) {
    // Rounded up: a wait that ends before the deadline only waits again.
    const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
    timeoutMs = static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
  }
  const HANDLE handles[] = {state_->interrupt, state_->wake, state_->lineEnded};
  const DWORD count = forEnter ? 3 : 2;
  switch (WaitForMultipleObjects(count, handles, FALSE, timeoutMs)) {
    case WAIT_OBJECT_0:
      return Woken::Interrupted;
    case WAIT_OBJECT_0 + 2:
      return Woken::Enter;
    default:
      return Woken::Work;
  }
}

}  // namespace tarnwick
