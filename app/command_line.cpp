#include "app/command_line.h"

#include <charconv>

#include "curl_transfer/proxy_route.h"
#include "launch/launch_link.h"

namespace tarnwick {
namespace {

// Enough for a server that is busy for minutes; more would keep a participant waiting without end.
constexpr int kMaxTries = 20;
// An hour without progress: no meeting server answers later, and libcurl keeps every time-out up to this
// (it refuses one past about 24 days, and would then wait its own default instead of the one the box names).
constexpr int kMaxTimeoutSeconds = 3600;
// An hour of waiting for a busy server: a meeting is long over by then.
constexpr int kMaxBusyWaitSeconds = 3600;

bool TakesValue(const std::string& option) {
  return option == "--folder" || option == "--cookie-file" || option == "--ui" || option == "--timeout" ||
         option == "--log" || option == "--tls" || option == "--tries" || option == "--busy-wait" ||
         option == "--proxy";
}

// Stores the value of an option that takes one; false with a reason when it cannot be used.
bool StoreValue(CommandLine& line, const std::string& option, const std::string& value, std::string& error) {
  if (value.empty()) {
    error = option + " needs a value";
    return false;
  }
  // A link carries the password: never echoed, never taken as a path (a log file named after it).
  if (IsLaunchLink(value)) {
    error = option + " takes no tarnwick-download: link";
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
  } else if (option == "--proxy") {
    // The process list shows every argument: a proxy's password belongs in the environment, and the value
    // is not echoed, as it may carry one.
    const auto address = value == "none" ? std::nullopt : ReadProxyAddress(value);
    if (value != "none" && (!address || address->hasPassword)) {
      error = address ? "--proxy takes no password (give the proxy with its password in https_proxy or ftp_proxy)"
                      : "--proxy takes a proxy's URL (http://host:port) or none";
      return false;
    }
    line.proxy = value == "none" ? std::string() : value;
  } else if (option == "--tls") {
    if (value == "off") {
      line.tls = TlsMode::Off;
    } else if (value == "auto") {
      line.tls = TlsMode::WhenOffered;
    } else if (value == "require") {
      line.tls = TlsMode::Required;
    } else {
      error = "--tls takes off, auto or require";
      return false;
    }
  } else {  // --timeout, --tries, --busy-wait
    const bool tries = option == "--tries";
    int& number = tries ? line.tries : option == "--timeout" ? line.timeoutSeconds : line.busyWaitSeconds;
    const int most = tries ? kMaxTries : option == "--timeout" ? kMaxTimeoutSeconds : kMaxBusyWaitSeconds;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size() || number <= 0 || number > most) {
      error = option + (tries ? " takes a number from 1 to " : " takes a number of seconds from 1 to ") +
              std::to_string(most);
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
    // A link is the last argument: what follows one was smuggled in through a quote inside it, by a launcher
    // that put the link into its command line as it came. After "--" stands exactly one argument, a link.
    const bool endOfOptions = arg == "--";
    if (endOfOptions || IsLaunchLink(arg)) {
      const size_t at = endOfOptions ? i + 1 : i;
      if (at + 1 != args.size() || !IsLaunchLink(args[at])) {
        error = endOfOptions ? "\"--\" is followed by exactly one argument, a tarnwick-download: link"
                             : "nothing may follow a tarnwick-download: link";
        return std::nullopt;
      }
      line.link = args[at];
      break;
    }
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
        (option == "--yes" || option == "--quiet" || option == "--help" || option == "--version" ||
         option == "--register" || option == "--unregister" || option == "--open-portal")) {
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
    } else if (arg == "--register" || arg == "--unregister" || arg == "--open-portal") {
      if (line.action != Action::Run) {
        error = "give one of --register, --unregister and --open-portal, once";
        return std::nullopt;
      }
      line.action = arg == "--register"     ? Action::Register
                    : arg == "--unregister" ? Action::Unregister
                                            : Action::OpenPortal;
    } else if (arg.starts_with("-")) {
      error = "unknown option: " + option;
      return std::nullopt;
    } else {
      // Not quoted: a mistyped link carries a password.
      error = "argument " + std::to_string(i + 1) + " is neither an option nor a tarnwick-download: link";
      return std::nullopt;
    }
  }
  if (line.action != Action::Run) {
    // A run option is what a registration passes on: one list, so that a new option cannot slip past.
    CommandLine options = line;
    options.folder.clear();
    const bool runOptions = !RunOptionArguments(options).empty();
    const bool source = !line.cookieFile.empty() || !line.link.empty();
    if (line.action == Action::Register && source) {
      error = "--register takes run options, not a cookie file or a link";
      return std::nullopt;
    }
    if (line.action == Action::Unregister && (source || runOptions || !line.folder.empty())) {
      error = "--unregister takes nothing else";
      return std::nullopt;
    }
    if (line.action == Action::OpenPortal && (source || runOptions)) {
      error = "--open-portal takes only --folder";
      return std::nullopt;
    }
  } else if (line.cookieFile.empty() == line.link.empty()) {
    error = line.link.empty() ? "--cookie-file or a tarnwick-download: link is required"
                              : "give --cookie-file or a link, not both";
    return std::nullopt;
  }
  return line;
}

std::vector<std::string> RunOptionArguments(const CommandLine& line) {
  std::vector<std::string> args;
  if (!line.folder.empty()) {
    args.insert(args.end(), {"--folder", line.folder});
  }
  if (line.frontEnd != FrontEnd::Auto) {
    args.insert(args.end(), {"--ui", line.frontEnd == FrontEnd::Window ? "window" : "terminal"});
  }
  if (line.yes) {
    args.emplace_back("--yes");
  }
  if (line.timeoutSeconds != 0) {
    args.insert(args.end(), {"--timeout", std::to_string(line.timeoutSeconds)});
  }
  if (!line.logFile.empty()) {
    args.insert(args.end(), {"--log", line.logFile});
  }
  if (line.tries != 0) {
    args.insert(args.end(), {"--tries", std::to_string(line.tries)});
  }
  if (line.busyWaitSeconds != 0) {
    args.insert(args.end(), {"--busy-wait", std::to_string(line.busyWaitSeconds)});
  }
  if (line.tls) {
    args.insert(args.end(), {"--tls", *line.tls == TlsMode::Off           ? "off"
                                      : *line.tls == TlsMode::WhenOffered ? "auto"
                                                                          : "require"});
  }
  if (line.proxy) {
    args.insert(args.end(), {"--proxy", line.proxy->empty() ? "none" : *line.proxy});
  }
  if (line.quiet) {
    args.emplace_back("-q");
  }
  return args;
}

TransferOverrides OverridesOf(const CommandLine& line) {
  return {line.timeoutSeconds, line.tls, line.tries, line.busyWaitSeconds, line.proxy};
}

std::string CookieFromFileText(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

}  // namespace tarnwick
