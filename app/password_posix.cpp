#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <iterator>

#include <sodium.h>

#include "app/password.h"

namespace tarnwick {
namespace {

termios shownTerminal;  // the terminal as it was, with echo

// A signal that ends the program while the password is typed leaves the terminal echoing again.
void RestoreAndEnd(int signal) {
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &shownTerminal);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A byte at a time: nothing after the line is taken from a script's input.
bool ReadLine(Password& password) {
  char byte = 0;
  bool any = false;
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, &byte, 1);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    any = true;
    if (!password.Take(byte)) {
      break;
    }
  }
  sodium_memzero(&byte, sizeof byte);
  return any;
}

}  // namespace

bool ReadPassword(const std::string& prompt, Password& password) {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &shownTerminal) != 0) {
    return ReadLine(password);
  }
  struct sigaction restore {};
  restore.sa_handler = RestoreAndEnd;
  struct sigaction before[std::size(kEndingSignals)];
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    sigaction(kEndingSignals[i], &restore, &before[i]);
  }
  termios hidden = shownTerminal;
  hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  hidden.c_lflag |= ECHONL;  // the line end still shows, so that what follows starts a line of its own
  // Hidden before the prompt shows: the flush drops only what was typed before it.
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
  std::cerr << prompt << std::flush;
  const bool any = ReadLine(password);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &shownTerminal);
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    sigaction(kEndingSignals[i], &before[i], nullptr);
  }
  return any;
}

}  // namespace tarnwick
