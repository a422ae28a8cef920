// tarnwick-download on Windows: one run of the download window, as a click on the meeting page's download
// element starts it. A windowed executable: started from a console, it writes to that console.
// clang-format off
#include <windows.h>  // first: the headers below build on its types
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on
#undef MessageBox  // the windows' member below, not the system's macro

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>

#include "app/component_folder.h"
#include "app/desktop_integration.h"
#include "app/run.h"
#include "base/ascii.h"
#include "base/escaped_text.h"
#include "launch/launch_link.h"
#include "terminal/terminal_window.h"
#include "win32_console/console_output.h"
#include "win32_fs/win32_file_system.h"
#include "win32_window/win32_window.h"

namespace {

using namespace tarnwick;

constexpr int kSigInt = 2;    // what a Ctrl-C is reported as, as on Linux
constexpr int kSigTerm = 15;  // a Ctrl-Break, or the console window closed

// A link carries the password. Other programs read a process's command line from its memory (the task
// list's command line column, an inventory tool), so once the arguments are read the copies that the system
// keeps there show the scheme and no more, as /proc/PID/cmdline does on Linux. The link is the last
// argument: everything after its scheme goes. So does one typed as an option's value (--log=LINK), which the
// command line then refuses.
template <typename Char>
void HideLinkIn(Char* line) {
  const size_t length = std::char_traits<Char>::length(line);
  for (size_t at = 1; at + kLinkScheme.size() <= length; ++at) {
    const Char before = line[at - 1];
    if (before != ' ' && before != '\t' && before != '"' && before != '=') {
      continue;
    }
    size_t matched = 0;
    while (matched < kLinkScheme.size() && line[at + matched] > 0 && line[at + matched] < 0x80 &&
           ToLowerAscii(static_cast<char>(line[at + matched])) == kLinkScheme[matched]) {
      ++matched;
    }
    if (matched == kLinkScheme.size()) {
      std::fill(line + at + matched, line + length, Char{0});
      return;
    }
  }
}

void HideLinks() {
  HideLinkIn(GetCommandLineW());
  HideLinkIn(GetCommandLineA());
}

// Ctrl-C, Ctrl-Break and a closing console end a run as the close box does: the transfer stops, its
// temporary file goes and the recovery marker stays. The system calls the handler on a thread of its own,
// which hands the interruption to the front end's thread.
class Interruptions {
 public:
  static Interruptions& Instance() {
    static Interruptions instance;
    return instance;
  }

  // The window is closed from the handler's thread.
  template <typename FrontEndWindow>
  void Follow(FrontEndWindow& window) {
    const std::lock_guard lock(mutex_);
    interrupt_ = [&window] { window.InterruptFromAnyThread(); };
    ResetEvent(runEnded_);
    SetConsoleCtrlHandler(OnControl, TRUE);
  }
  void RunEnded() {
    {
      const std::lock_guard lock(mutex_);
      interrupt_ = nullptr;
    }
    SetEvent(runEnded_);
  }
  int Signal() const { return signal_; }

 private:
  Interruptions() : runEnded_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

  static BOOL WINAPI OnControl(DWORD event) {
    auto& self = Instance();
    int none = 0;
    self.signal_.compare_exchange_strong(none, event == CTRL_C_EVENT ? kSigInt : kSigTerm);
    {
      const std::lock_guard lock(self.mutex_);
      if (self.interrupt_) {
        self.interrupt_();
      }
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
      // The process ends when this returns: the run first cleans up (the system allows a few seconds).
      WaitForSingleObject(self.runEnded_, 4000);
    }
    return TRUE;
  }

  std::mutex mutex_;
  std::function<void()> interrupt_;
  std::atomic<int> signal_{0};
  HANDLE runEnded_;
};

std::string ExecutableFolder() { return Utf8FromWide(ExecutablePath().parent_path().wstring()); }

// An installed copy has its component folder's configuration and images beside it, in this folder; the
// zip's copy has none and works in its own folder, as on the meeting machines.
std::filesystem::path InstalledDefaults() { return PathFromUtf8(ExecutableFolder()) / "defaults"; }

bool Installed() {
  std::error_code error;
  return std::filesystem::is_directory(InstalledDefaults(), error);
}

// An installed copy keeps each user's meetings in %LOCALAPPDATA%\tarnwick-download: the program's folder is
// not the user's to write in.
std::string DefaultComponentFolder() {
  if (!Installed()) {
    return ExecutableFolder();
  }
  wchar_t localAppData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                              localAppData))) {
    return ExecutableFolder();
  }
  const auto folder = std::filesystem::path(localAppData) / kApplicationName;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return Utf8FromWide(folder.wstring());
}

// As the system reports it: absolute, without a trailing separator except for a drive's root.
std::optional<std::string> ComponentFolder(const std::string& requested) {
  const std::wstring wide = WidePath(requested.empty() ? DefaultComponentFolder() : requested);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    return std::nullopt;
  }
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  while (full.size() > 3 && full.back() == L'\\') {
    full.pop_back();
  }
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  return Utf8FromWide(full);
}

// Error boxes go to standard error as well, unless it is where standard output goes (they would show twice).
bool SameDestination(HANDLE a, HANDLE b) {
  if (a == b) {
    return true;
  }
  DWORD mode = 0;
  if (GetConsoleMode(a, &mode) && GetConsoleMode(b, &mode)) {
    return true;
  }
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// A window of our own can be created: not so under Wine without a display, or in a service's session.
bool WindowsAvailable() {
  const HWND probe =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (probe == nullptr) {
    return false;
  }
  DestroyWindow(probe);
  return true;
}

int Run(const Invocation& invocation, const std::string& folder, const StandardStreams& streams) {
  const CommandLine& line = invocation.line;
  if (line.frontEnd != FrontEnd::Terminal) {
    if (WindowsAvailable()) {
      Win32Window window(kApplicationName, line.yes);
      return RunLocked<Win32FileSystem>(window, nullptr, Interruptions::Instance(), invocation, folder);
    }
    if (line.frontEnd == FrontEnd::Window) {
      std::cerr << kApplicationName << ": no window can be shown here (no desktop); --ui terminal runs without one\n"
                << std::flush;
      return kExitErrorBox;
    }
  }
  const TerminalOptions options = TerminalOptionsFor(line, streams.inputIsConsole, streams.outputIsConsole);
  const bool errorsApart = !SameDestination(GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE));
  TerminalWindow window(std::cout, errorsApart ? &std::cerr : nullptr, kApplicationName, options);
  return RunLocked<Win32FileSystem>(window, &window, Interruptions::Instance(), invocation, folder);
}

// The queue timer ticks every 10 ms: the system's default timer resolution (15.6 ms) would stretch every
// gap between two files.
class FineTimerResolution {
 public:
  FineTimerResolution() { timeBeginPeriod(1); }
  ~FineTimerResolution() { timeEndPeriod(1); }
  FineTimerResolution(const FineTimerResolution&) = delete;
  FineTimerResolution& operator=(const FineTimerResolution&) = delete;
};

// The handler of links runs from wherever the browser is: the paths it passes on must not depend on it.
int Register(CommandLine line) {
  if (!line.folder.empty()) {
    const auto folder = ComponentFolder(line.folder);
    if (!folder) {
      std::cerr << kApplicationName << ": no such component folder: " << EscapeControls(line.folder) << "\n"
                << std::flush;
      return kExitArgumentError;
    }
    line.folder = *folder;
  }
  if (!line.logFile.empty()) {
    line.logFile = Utf8FromWide(std::filesystem::absolute(PathFromUtf8(line.logFile)).wstring());
  }
  return RegisterLinkHandler(line);
}

int Main(const StandardStreams& streams) {
  const auto args = CommandLineArguments();
  HideLinks();
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
    std::cerr << kApplicationName << ": no such component folder: " << EscapeControls(line.folder) << "\n"
              << std::flush;
    return kExitArgumentError;
  }
  if (Installed()) {
    // The portal page needs its images, and the trust of links the meeting server's address.
    LayInComponentDefaults(InstalledDefaults(), PathFromUtf8(*folder));
  }
  if (line.action == Action::OpenPortal) {
    return OpenPortalPage(*folder);
  }
  const FineTimerResolution timer;
  return Run(*started, *folder, streams);
}

}  // namespace

int main() {
  const StandardStreams streams = SetUpStandardStreams();
  int status = kExitErrorBox;
  try {
    status = Main(streams);
  } catch (const std::exception& error) {
    // Nothing may end the program unexplained: a page that started it shows no console, so a box too.
    const std::string text = std::string("unexpected error: ") + error.what();
    std::cerr << kApplicationName << ": " << text << "\n";
    MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(kApplicationName).c_str(), MB_OK | MB_ICONERROR);
  }
  std::cout << std::flush;
  std::cerr << std::flush;
  return status;
}
