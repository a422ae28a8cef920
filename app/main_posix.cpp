// tarnwick-download on Linux and other POSIX systems: one run of the download window, as a click on the meeting
// page's download element starts it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "app/component_folder.h"
#include "app/desktop_integration.h"
#include "app/run.h"
#include "base/escaped_text.h"
#include "launch/launch_link.h"
#include "posix_fs/posix_file_system.h"
#include "terminal/terminal_window.h"
#include "window/launcher.h"
#ifdef TARNWICK_WITH_QT
#include "qt_window/qt_window.h"
#endif

namespace {

using namespace tarnwick;

// SIGHUP (the terminal closed), SIGINT and SIGTERM end a run as the close box does: the transfer stops, its
// temporary file goes and the recovery marker stays as it is. The handler only notes the first signal and
// writes to a pipe; the front end's loop watches the pipe and closes the window on its own thread. Later
// signals change nothing, so a second Ctrl-C while the window closes neither hangs nor cuts the clean-up short.
std::atomic<int> caughtSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only touch lock-free atomics");
int signalPipeWrite = -1;

void NoteSignal(int number) {
  const int savedErrno = errno;
  int none = 0;
  caughtSignal.compare_exchange_strong(none, number);
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(signalPipeWrite, &byte, 1);  // a full pipe is readable already
  errno = savedErrno;
}

constexpr int kInterruptions[] = {SIGHUP, SIGINT, SIGTERM};

// The descriptor that becomes readable on SIGHUP, SIGINT or SIGTERM; -1 when the signals cannot be caught.
int CatchInterruptions() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    return -1;
  }
  signalPipeWrite = fds[1];
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  for (const int number : kInterruptions) {
    sigaddset(&action.sa_mask, number);  // one handler at a time, so the first signal is the one noted
  }
  action.sa_flags = SA_RESTART;
  for (const int number : kInterruptions) {
    sigaction(number, &action, nullptr);
  }
  // A closed terminal takes with it what read the output (a pager, tee): saying so must not end the run
  // before it has cleaned up. The run starts no other program, which would inherit this.
  signal(SIGPIPE, SIG_IGN);
  return fds[0];
}

// An installed copy lives in a "bin" folder (/usr/bin say), with what it installs beside it under "share".
bool Installed() { return ExecutablePath().parent_path().filename() == "bin"; }

// The folder that holds the executable: a copy that lives in the component folder, as on the meeting
// machines. An installed copy keeps its meetings in the user's data folder instead: the program's own
// folder is not the user's to write in.
std::string DefaultComponentFolder() {
  const auto exe = ExecutablePath();
  if (exe.empty()) {
    return std::filesystem::current_path().string();
  }
  if (!Installed()) {
    return exe.parent_path().string();
  }
  std::error_code error;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const std::filesystem::path base = dataHome != nullptr && *dataHome != '\0' ? std::filesystem::path(dataHome)
                                     : home != nullptr ? std::filesystem::path(home) / ".local" / "share"
                                                       : std::filesystem::current_path();
  const auto folder = base / kApplicationName;
  std::filesystem::create_directories(folder, error);
  return folder.string();
}

// As the platform reports it: absolute, without a trailing separator except for the root.
std::optional<std::string> ComponentFolder(const std::string& requested) {
  std::error_code error;
  const auto folder = std::filesystem::canonical(requested.empty() ? DefaultComponentFolder() : requested, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    return std::nullopt;
  }
  return folder.string();
}

// Error boxes go to standard error as well, unless it is where standard output goes (they would show twice).
bool SameFile(int a, int b) {
  struct stat first {};
  struct stat second {};
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// Signals close the window through the pipe that CatchInterruptions makes.
class SignalInterruptions {
 public:
  template <typename FrontEndWindow>
  void Follow(FrontEndWindow& window) {
    if (const int readable = CatchInterruptions(); readable >= 0) {
      window.CloseWhenReadable(readable);
    }
  }
  void RunEnded() {}
  int Signal() const { return caughtSignal.load(); }
};

int Run(const Invocation& invocation, const std::string& folder, int argc, char** argv) {
  const CommandLine& line = invocation.line;
#ifdef TARNWICK_WITH_QT
  const bool useWindow =
      line.frontEnd == FrontEnd::Window || (line.frontEnd == FrontEnd::Auto && QtWindow::DisplayAvailable());
  if (useWindow) {
    QtWindow window(argc, argv, kApplicationName, line.yes);
    SignalInterruptions interruptions;
    return RunLocked<PosixFileSystem>(window, nullptr, interruptions, invocation, folder);
  }
#else
  (void)argc;
  (void)argv;
  if (line.frontEnd == FrontEnd::Window) {
    std::cerr << kApplicationName << ": built without the desktop window; using the terminal\n";
  }
#endif
  const TerminalOptions options = TerminalOptionsFor(line, isatty(STDIN_FILENO) != 0, isatty(STDOUT_FILENO) != 0);
  TerminalWindow window(std::cout, SameFile(STDOUT_FILENO, STDERR_FILENO) ? nullptr : &std::cerr, kApplicationName,
                        options);
  SignalInterruptions interruptions;
  return RunLocked<PosixFileSystem>(window, &window, interruptions, invocation, folder);
}

// The handler of links runs from wherever the browser is: the paths it passes on must not depend on it.
int Register(CommandLine line) {
  if (!line.folder.empty()) {
    const auto folder = ComponentFolder(line.folder);
    if (!folder) {
      std::cerr << kApplicationName << ": no such component folder: " << EscapeControls(line.folder) << "\n";
      return kExitArgumentError;
    }
    line.folder = *folder;
  }
  if (!line.logFile.empty()) {
    line.logFile = std::filesystem::absolute(PathFromUtf8(line.logFile)).string();
  }
  return RegisterLinkHandler(line);
}

// A link carries the password: once read, its bytes are overwritten, so that the process list
// (/proc/PID/cmdline) shows the scheme and no more. So is one typed as an option's value (--log=LINK),
// which the command line then refuses.
void HideLinks(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char* link = argv[i];
    if (!IsLaunchLink(link)) {
      char* equals = std::strchr(link, '=');
      link = std::strncmp(link, "--", 2) == 0 && equals != nullptr && IsLaunchLink(equals + 1) ? equals + 1 : nullptr;
    }
    if (link != nullptr) {
      std::memset(link + kLinkScheme.size(), 0, std::strlen(link) - kLinkScheme.size());
    }
  }
}

int Main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  HideLinks(argc, argv);
  const auto invocation = ReadInvocation(args);
  const auto* started = std::get_if<Invocation>(&invocation);
  if (started == nullptr) {
    return *std::get_if<int>(&invocation);
  }
  const CommandLine& line = started->line;
  if (line.action == Action::Register) {
    return Register(line);
  }
  if (line.action == Action::Unregister) {
    return UnregisterLinkHandler();
  }
  const auto folder = ComponentFolder(line.folder);
  if (!folder) {
    std::cerr << kApplicationName << ": no such component folder: " << EscapeControls(line.folder) << "\n";
    return kExitArgumentError;
  }
  // The run joins its paths with "\": one inside the folder's own path would send writes and deletions
  // to another folder.
  if (folder->find('\\') != std::string::npos) {
    std::cerr << kApplicationName
              << ": the component folder's path must not hold a backslash: " << EscapeControls(*folder) << "\n";
    return kExitArgumentError;
  }
  if (Installed()) {
    // The portal page needs its images, and the trust of links the meeting server's address.
    LayInComponentDefaults(ExecutablePath().parent_path().parent_path() / "share" / kApplicationName / "component",
                           *folder);
  }
  if (line.action == Action::OpenPortal) {
    return OpenPortalPage(*folder);
  }
  return Run(*started, *folder, argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << kApplicationName << ": unexpected error: " << EscapeControls(error.what()) << "\n";
    return kExitErrorBox;
  }
}
