#include "app/command_line.h"

#include <charconv>

namespace tarnwick {

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
  CommandLine line;
  bool haveCookie = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--folder" || arg == "--cookie-file" || arg == "--ui" || arg == "--timeout";
    if (takesValue && i + 1 >= args.size()) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    if (arg == "--folder") {
      line.folder = args[++i];
    } else if (arg == "--cookie-file") {
      line.cookieFile = args[++i];
      haveCookie = true;
    } else if (arg == "--yes") {
      line.yes = true;
    } else if (arg == "--ui") {
      const std::string& value = args[++i];
      if (value == "auto") {
        line.frontEnd = FrontEnd::Auto;
      } else if (value == "window") {
        line.frontEnd = FrontEnd::Window;
      } else if (value == "terminal") {
        line.frontEnd = FrontEnd::Terminal;
      } else {
        error = "--ui takes auto, window or terminal";
        return std::nullopt;
      }
    } else if (arg == "--timeout") {
      const std::string& value = args[++i];
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), line.timeoutSeconds);
      if (ec != std::errc() || end != value.data() + value.size() || line.timeoutSeconds <= 0) {
        error = "--timeout takes a positive number of seconds";
        return std::nullopt;
      }
    } else {
      error = "unknown argument: " + arg;
      return std::nullopt;
    }
  }
  if (!haveCookie) {
    error = "--cookie-file is required";
    return std::nullopt;
  }
  return line;
}

std::string CookieFromFileText(std::string text) {
  if (text.ends_with("\r\n")) {
    text.resize(text.size() - 2);
  } else if (text.ends_with('\n') || text.ends_with('\r')) {
    text.pop_back();
  }
  return text;
}

}  // namespace tarnwick
