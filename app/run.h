// What every build's main does the same way: the command line and the cookie, one run with its journals,
// and the exit status. The system-specific rest (the component folder, the lock, interruptions, the front
// end) is in main_posix.cpp and main_win32.cpp.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "app/command_line.h"
#include "app/folder_lock.h"
#include "curl_transfer/curl_transfer_control.h"
#include "platform/file_system.h"
#include "platform/run_journal.h"
#include "platform/transfer_control.h"
#include "platform/window_host.h"
#include "terminal/terminal_window.h"
#include "window/launcher.h"

namespace tarnwick {

inline constexpr const char* kApplicationName = "tarnwick-download";
inline constexpr int kExitOk = 0;
inline constexpr int kExitErrorBox = 1;
inline constexpr int kExitArgumentError = 2;
inline constexpr int kExitBySignal = 128;  // + the signal's number, as a shell reports a process a signal ended

struct Invocation {
  CommandLine line;
  std::string cookie;
  LaunchSource source = LaunchSource::CookieFile;
  std::string linkRefusal;  // why the link cannot be decoded; the run shows the argument error with it
};

// The arguments (after the program's name) and the cookie they name (none for --register and --unregister).
// An exit status when the program ends here: help or version printed, or an argument error said on standard
// error. A link that cannot be decoded is refused by the run, in a box: it may come from a page, with no
// terminal to read standard error.
std::variant<int, Invocation> ReadInvocation(const std::vector<std::string>& args);

// The terminal front end's options for the command line. A box waits for Enter only where a user can
// press it: not with --yes, not when standard input is no terminal or carries the cookie.
TerminalOptions TerminalOptionsFor(const CommandLine& line, bool inputIsTerminal, bool outputIsTerminal);

int ExitStatusFor(CloseReason reason);

// One run in the component folder, with the front end's journal (may be null) and the log of --log.
int RunOnce(WindowHost& window, RunJournal* frontEndJournal, FileSystem& fs, TransferControlFactory& transfers,
            const Invocation& invocation, const std::string& folder);

// One run under the component folder's lock, taken before the run's window opens and held until the run
// has ended, on the system's file system. `interruptions` is the system's way of asking the program to
// stop (a signal, Ctrl-C, a closing console): it closes the window while the run lasts and says which
// request that was.
template <typename SystemFileSystem, typename FrontEndWindow, typename Interruptions>
int RunLocked(FrontEndWindow& window, RunJournal* frontEndJournal, Interruptions& interruptions,
              const Invocation& invocation, const std::string& folder) {
  const auto lock = LockForRun(folder, window);
  if (!lock) {
    return kExitErrorBox;
  }
  SystemFileSystem fs;
  CurlTransferControlFactory transfers(window, OverridesOf(invocation.line));
  interruptions.Follow(window);
  const int status = RunOnce(window, frontEndJournal, fs, transfers, invocation, folder);
  interruptions.RunEnded();
  // Only an interruption that closed the window counts: one that came after it had closed changed nothing.
  return window.Interrupted() ? kExitBySignal + interruptions.Signal() : status;
}

}  // namespace tarnwick
