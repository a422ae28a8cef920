// The command line of tarnwick-download.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/transfer_control.h"

namespace tarnwick {

enum class FrontEnd { Auto, Window, Terminal };
enum class Action { Run, Help, Version, Register, Unregister, OpenPortal };

struct CommandLine {
  Action action = Action::Run;
  std::string folder;      // the component folder; empty: the folder of the executable
  std::string cookieFile;  // "-" for standard input
  std::string link;        // a "tarnwick-download:" link that carries the cookie, instead of a cookie file
  bool yes = false;
  FrontEnd frontEnd = FrontEnd::Auto;
  int timeoutSeconds = 0;  // 0: the window's own request time-out
  std::string logFile;     // empty: no run log
  bool quiet = false;
  std::optional<TlsMode> tls;        // nothing: as the component folder's configuration says
  int tries = 0;                     // 0: the window's own number
  int busyWaitSeconds = 0;           // 0: the window's own time
  std::optional<std::string> proxy;  // the proxy's URL, empty for none; nothing: the system's proxy
};

// What the command line puts in place of the window's transfer settings.
TransferOverrides OverridesOf(const CommandLine& line);

#ifdef _WIN32
#define TARNWICK_USAGE_FOLDER \
  "  --folder DIR        the component folder (default: the folder that holds the executable)\n"
#define TARNWICK_USAGE_UI "  --ui MODE           window, terminal or auto (default: auto, the window)\n"
#define TARNWICK_USAGE_INTERRUPTIONS "130 / 143 interrupted by Ctrl-C / Ctrl-Break or a closed console.\n"
#define TARNWICK_USAGE_PROXY "                      proxy (default: the system's, as Internet Options set it)\n"
#else
#define TARNWICK_USAGE_FOLDER                                                                           \
  "  --folder DIR        the component folder (default: the folder that holds the executable; for an\n" \
  "                      installed copy, in a bin folder: $XDG_DATA_HOME/tarnwick-download)\n"
#define TARNWICK_USAGE_UI \
  "  --ui MODE           window, terminal or auto (default: auto, the window when a display is there)\n"
#define TARNWICK_USAGE_INTERRUPTIONS "129 / 130 / 143 interrupted by SIGHUP (the terminal closed) / SIGINT / SIGTERM.\n"
#define TARNWICK_USAGE_PROXY \
  "                      proxy (default: the system's; https_proxy, ftp_proxy, all_proxy, no_proxy)\n"
#endif

inline constexpr const char* kUsage =
    "usage: tarnwick-download --cookie-file FILE [options]\n"
    "       tarnwick-download [options] [--] tarnwick-download:COOKIE\n"
    "       tarnwick-download --register [options] | --unregister | --open-portal [--folder DIR]\n"
    "Fetches a meeting's new and changed documents by FTP into the component folder and rewrites its portal "
    "page.\n"
    "\n"
    "  --cookie-file FILE  the launch cookie: HOST, LOGIN, PWD, SUBSOURCE and TIMESOURCE; - reads standard\n"
    "                      input (the password is read only from here or from the link)\n"
    "  tarnwick-download:COOKIE\n"
    "                      the link a meeting page opens: its cookie, percent-encoded; the run connects\n"
    "                      only to a host that Tarnwick.cfg or TrustedHosts.txt in the folder names; it\n"
    "                      is the last argument, after \"--\" in a launcher's command\n"
    "  --register          make this program, with the options given, the handler of the current user's\n"
    "                      tarnwick-download: links; --unregister takes it away\n"
    "  --open-portal       open the component folder's portal page Tarnwick.html in the browser\n" TARNWICK_USAGE_FOLDER
        TARNWICK_USAGE_UI
    "  --yes               acknowledge every message box and press OK when it is enabled (default: off;\n"
    "                      nothing waits either when standard input is not a terminal)\n"
    "  --timeout SECONDS   time without progress after which an FTP request fails (default: 60)\n"
    "  --busy-wait SECONDS how long a request waits for a busy server that refuses it for now, trying\n"
    "                      again after pauses that grow to about a minute (default: 600)\n"
    "  --tries N           tries of a request at most, within that time (default: no count; 1: no second try)\n"
    "  --tls MODE          off, auto (when the server offers it) or require (TLS or nothing) (default: require\n"
    "                      when line 3 of Tarnwick.cfg says FTPS, else off; HTTPS there: always TLS)\n"
    "  --proxy URL|none    the proxy for the run, without its password (http://host:port), or none: "
    "no\n" TARNWICK_USAGE_PROXY
    "  --log FILE          append what each run fetched and how it ended to FILE (default: no log)\n"
    "  -q, --quiet         print only errors (default: off)\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "An option's value follows it as the next word or after \"=\" (--ui=terminal).\n"
    "Exit status: 0 the run ended with OK; 1 an error box, or the window closed without OK; 2 a refused\n"
    "cookie or command line; " TARNWICK_USAGE_INTERRUPTIONS;

// Nothing, with a reason in `error`, when the arguments cannot be used.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// The options of a run as arguments again, as the handler of links passes them on: --folder, --ui, --yes,
// --timeout, --log, --proxy and -q where the command line gave them.
std::vector<std::string> RunOptionArguments(const CommandLine& line);

// The cookie is the file's text without the line ends (CR, LF, any number) at its end.
std::string CookieFromFileText(std::string text);

}  // namespace tarnwick
