#include "app/command_line.h"

#include <charconv>

namespace tarnwick {
namespace {

bool TakesValue(const std::string& option) {
  return option == "--folder" || option == "--cookie-file" || option == "--ui" || option == "--timeout" ||
         option == "--log";
}

// Stores the value of an option that takes one; false with a reason when it cannot be used.
bool StoreValue(CommandLine& line, const std::string& option, const std::string& value, std::string& error) {
  if (value.empty()) {
    error = option + " needs a value";
    return false;
  }
  if (option == "--folder") {
    line.folder = value;
  } else if (option == "--cookie-file") {
    line.cookieFile = value;
  } else if (option == "--log") {
    line.logFile = value;
  } else if (option == "--ui") {
    if (value == "auto") {
      line.frontEnd = FrontEnd::Auto;
    } else if (value == "window") {
      line.frontEnd = FrontEnd::Window;
    } else if (value == "terminal") {
      line.frontEnd = FrontEnd::Terminal;
    } else {
      error = "--ui takes auto, window or terminal";
      return false;
    }
  } else {  // --timeout
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), line.timeoutSeconds);
    if (ec != std::errc() || end != value.data() + value.size() || line.timeoutSeconds <= 0) {
      error = "--timeout takes a positive number of seconds";
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
  CommandLine line;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const std::string option = arg.substr(0, equals);
    if (TakesValue(option)) {
      if (equals == std::string::npos && i + 1 >= args.size()) {
        error = option + " needs a value";
        return std::nullopt;
      }
      if (!StoreValue(line, option, equals == std::string::npos ? args[++i] : arg.substr(equals + 1), error)) {
        return std::nullopt;
      }
      continue;
    }
    if (equals != std::string::npos &&
        (option == "--yes" || option == "--quiet" || option == "--help" || option == "--version")) {
      error = option + " takes no value";
      return std::nullopt;
    }
    if (arg == "-h" || arg == "--help") {
      line.action = Action::Help;
      return line;
    }
    if (arg == "--version") {
      line.action = Action::Version;
      return line;
    }
    if (arg == "--yes") {
      line.yes = true;
    } else if (arg == "-q" || arg == "--quiet") {
      line.quiet = true;
    } else if (arg.starts_with("-")) {
      error = "unknown option: " + option;
      return std::nullopt;
    } else {
      error = "unexpected argument: " + arg;
      return std::nullopt;
    }
  }
  if (line.cookieFile.empty()) {
    error = "--cookie-file is required";
    return std::nullopt;
  }
  return line;
}

std::string CookieFromFileText(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

}  // namespace tarnwick
