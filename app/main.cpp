// tarnwick-download: one run of the download window, as a click on the meeting page's download element starts it.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "app/command_line.h"
#include "curl_ftp/curl_transfer_control.h"
#include "posix_fs/posix_file_system.h"
#include "terminal/terminal_window.h"
#include "window/launcher.h"
#ifdef TARNWICK_WITH_QT
#include "qt_window/qt_window.h"
#endif

namespace {

using namespace tarnwick;

constexpr const char* kApplicationName = "tarnwick-download";
constexpr int kExitOk = 0;
constexpr int kExitErrorBox = 1;
constexpr int kExitArgumentError = 2;

std::optional<std::string> ReadCookie(const std::string& file) {
  std::stringstream text;
  if (file == "-") {
    text << std::cin.rdbuf();
  } else {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      return std::nullopt;
    }
    text << in.rdbuf();
  }
  return CookieFromFileText(text.str());
}

std::string ExecutableFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path().string() : exe.parent_path().string();
}

// As the platform reports it: absolute, without a trailing separator except for the root.
std::optional<std::string> ComponentFolder(const std::string& requested) {
  std::error_code error;
  const auto folder = std::filesystem::canonical(requested.empty() ? ExecutableFolder() : requested, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    return std::nullopt;
  }
  return folder.string();
}

int ExitStatusFor(CloseReason reason) {
  switch (reason) {
    case CloseReason::Ok:
      return kExitOk;
    case CloseReason::ArgumentError:
      return kExitArgumentError;
    default:
      return kExitErrorBox;
  }
}

int RunOnce(WindowHost& window, EventPoster& poster, const CommandLine& line, const std::string& cookie,
            const std::string& folder) {
  PosixFileSystem fs;
  CurlTransferControlFactory transfers(poster, line.timeoutSeconds);
  Platform platform{fs, window, transfers};
  Launcher launcher(platform, folder);
  return ExitStatusFor(launcher.Click(cookie));
}

int Run(const CommandLine& line, const std::string& cookie, const std::string& folder, int argc, char** argv) {
#ifdef TARNWICK_WITH_QT
  const bool useWindow =
      line.frontEnd == FrontEnd::Window || (line.frontEnd == FrontEnd::Auto && QtWindow::DisplayAvailable());
  if (useWindow) {
    QtWindow window(argc, argv, kApplicationName, line.yes);
    return RunOnce(window, window, line, cookie, folder);
  }
#else
  (void)argc;
  (void)argv;
  if (line.frontEnd == FrontEnd::Window) {
    std::cerr << kApplicationName << ": built without the desktop window; using the terminal\n";
  }
#endif
  const bool interactive = !line.yes && isatty(STDIN_FILENO) && line.cookieFile != "-";
  TerminalWindow window(std::cout, kApplicationName, !interactive, isatty(STDOUT_FILENO) != 0);
  return RunOnce(window, window, line, cookie, folder);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!line) {
    std::cerr << kApplicationName << ": " << error << "\n" << kUsage;
    return kExitArgumentError;
  }
  const auto cookie = ReadCookie(line->cookieFile);
  if (!cookie) {
    std::cerr << kApplicationName << ": cannot read the cookie file " << line->cookieFile << "\n";
    return kExitArgumentError;
  }
  const auto folder = ComponentFolder(line->folder);
  if (!folder) {
    std::cerr << kApplicationName << ": no such component folder: " << line->folder << "\n";
    return kExitArgumentError;
  }
  return Run(*line, *cookie, *folder, argc, argv);
}
