#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "terminal/terminal_waits.h"

namespace tarnwick {
namespace {

void Drain(int fd) {
  char bytes[256];
  while (read(fd, bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

struct TerminalWaits::State {
  int wakeRead = -1;
  int wakeWrite = -1;
  int interruptFd = -1;
};

TerminalWaits::TerminalWaits() : state_(std::make_shared<State>()) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::runtime_error("cannot create the event loop's wake-up pipe");
  }
  state_->wakeRead = fds[0];
  state_->wakeWrite = fds[1];
}

TerminalWaits::~TerminalWaits() {
  close(state_->wakeRead);
  close(state_->wakeWrite);
}

void TerminalWaits::Wake() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(state_->wakeWrite, &byte, 1);  // a full pipe already wakes the loop
}

void TerminalWaits::InterruptWhenReadable(int fd) { state_->interruptFd = fd; }

TerminalWaits::Woken TerminalWaits::Wait(const std::optional<Clock::time_point>& deadline, bool forEnter) {
  // ppoll waits to the nanosecond: a tick that wakes late lengthens the gap between two files.
  timespec timeout{};
  const timespec* wait = nullptr;
  if (deadline) {
    const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timeout = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    wait = &timeout;
  }
  // poll passes over a negative descriptor.
  pollfd fds[3] = {
      {state_->wakeRead, POLLIN, 0}, {state_->interruptFd, POLLIN, 0}, {forEnter ? STDIN_FILENO : -1, POLLIN, 0}};
  if (ppoll(fds, 3, wait, nullptr) < 0) {
    return Woken::Work;  // EINTR: a signal handler ran on this thread; what it wrote is seen on the next round
  }
  if (fds[0].revents & POLLIN) {
    Drain(state_->wakeRead);
  }
  if (fds[1].revents & POLLIN) {
    Drain(state_->interruptFd);
    return Woken::Interrupted;
  }
  if (forEnter && (fds[2].revents & (POLLIN | POLLHUP))) {
    char byte = 0;
    const ssize_t got = read(STDIN_FILENO, &byte, 1);
    if (got <= 0 || byte == '\n') {
      return Woken::Enter;
    }
  }
  return Woken::Work;
}

}  // namespace tarnwick
