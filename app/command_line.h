// The command line of tarnwick-download.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

enum class FrontEnd { Auto, Window, Terminal };

struct CommandLine {
  std::string folder;      // the component folder; empty: the folder of the executable
  std::string cookieFile;  // "-" for standard input
  bool yes = false;
  FrontEnd frontEnd = FrontEnd::Auto;
  int timeoutSeconds = 0;  // 0: the window's own request time-out
};

inline constexpr const char* kUsage =
    "usage: tarnwick-download [--folder DIR] --cookie-file FILE [--yes] [--ui auto|window|terminal]\n"
    "                         [--timeout SECONDS]\n"
    "  --folder DIR        component folder (default: the folder that holds the executable)\n"
    "  --cookie-file FILE  file that holds the launch cookie; - reads standard input\n"
    "  --yes               acknowledge every message box and press OK when it is enabled\n"
    "  --ui                front end: the desktop window, the terminal, or auto (window when a display is there)\n"
    "  --timeout SECONDS   time without progress after which an FTP request fails (default 60)\n";

// Nothing, with a reason in `error`, when the arguments cannot be used.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// The cookie is the file's text without one trailing line end.
std::string CookieFromFileText(std::string text);

}  // namespace tarnwick
