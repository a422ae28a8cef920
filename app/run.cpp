#include "app/run.h"

#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "app/component_folder.h"
#include "app/run_log.h"
#include "base/escaped_text.h"
#include "signature/minisign.h"
#include "window/texts.h"

namespace tarnwick {
namespace {

std::optional<std::string> ReadCookie(const std::string& file) {
  std::stringstream text;
  if (file == "-") {
    text << std::cin.rdbuf();
  } else {
    std::ifstream in(PathFromUtf8(file), std::ios::binary);
    if (!in) {
      return std::nullopt;
    }
    text << in.rdbuf();
  }
  return CookieFromFileText(text.str());
}

}  // namespace

std::variant<int, Invocation> ReadInvocation(const std::vector<std::string>& args) {
  std::string error;
  const auto line = ParseCommandLine(args, error);
  if (!line) {
    std::cerr << kApplicationName << ": " << EscapeControls(error) << "\n" << kUsage << std::flush;
    return kExitArgumentError;
  }
  if (line->action == Action::Help) {
    std::cout << kUsage << std::flush;
    return kExitOk;
  }
  if (line->action == Action::Version) {
    std::cout << kApplicationName << " " << TARNWICK_VERSION << "\n" << std::flush;
    return kExitOk;
  }
  if (line->action != Action::Run) {
    return Invocation{*line, {}, LaunchSource::CookieFile, {}};
  }
  if (!line->link.empty()) {
    Invocation invocation{*line, {}, LaunchSource::Link, {}};
    invocation.cookie = CookieFromLink(line->link, invocation.linkRefusal).value_or("");
    return invocation;
  }
  auto cookie = ReadCookie(line->cookieFile);
  if (!cookie) {
    std::cerr << kApplicationName << ": cannot read the cookie file " << EscapeControls(line->cookieFile) << "\n"
              << std::flush;
    return kExitArgumentError;
  }
  return Invocation{*line, std::move(*cookie), LaunchSource::CookieFile, {}};
}

TerminalOptions TerminalOptionsFor(const CommandLine& line, bool inputIsTerminal, bool outputIsTerminal) {
  const bool interactive = !line.yes && inputIsTerminal && line.cookieFile != "-";
  return {!interactive, outputIsTerminal, line.quiet};
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

int RunOnce(WindowHost& window, RunJournal* frontEndJournal, FileSystem& fs, TransferControlFactory& transfers,
            const Invocation& invocation, const std::string& folder) {
  const CommandLine& line = invocation.line;
  std::vector<RunJournal*> journals;
  if (frontEndJournal != nullptr) {
    journals.push_back(frontEndJournal);
  }
  std::optional<RunLog> log;
  if (!line.logFile.empty()) {
    log.emplace(line.logFile, folder);
    if (!log->Ok()) {
      std::cerr << kApplicationName << ": cannot append to the log " << EscapeControls(line.logFile) << "\n";
    }
    journals.push_back(&*log);
  }
  JournalFanOut journal(journals);
  if (!invocation.linkRefusal.empty()) {
    // Refused before the window opens: the run never starts, and nothing in the folder is touched.
    const std::string text(texts::kArgumentErrorText);
    journal.RunFailed(text, invocation.linkRefusal);
    window.MessageBox(text, std::string(texts::kRefusalTitle), MessageIcon::Critical, invocation.linkRefusal);
    return kExitArgumentError;
  }
  const MinisignChecker signatures;
  Platform platform{fs, window, transfers, &journal, &signatures};
  Launcher launcher(platform, folder);
  if (log) {
    transfers.SetRouteHandler([&log](const std::string& route) { log->Route(route); });
  }
  const int status = ExitStatusFor(launcher.Click(invocation.cookie, invocation.source));
  transfers.SetRouteHandler(nullptr);
  return status;
}

}  // namespace tarnwick
