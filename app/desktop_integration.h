// How the desktop reaches the program: registration of this executable as the current user's handler of
// "tarnwick-download:" links, so that a click on the meeting page starts a run, and the portal page opened
// in the user's browser (the Start-menu entry of an installed copy).
//   Linux and other freedesktop systems (desktop_integration_posix.cpp): a desktop entry in
//   $XDG_DATA_HOME/applications that declares the scheme, made the default with xdg-mime.
//   Windows (desktop_integration_win32.cpp): the scheme's class under HKEY_CURRENT_USER\Software\Classes,
//   for a copy that no installer registered (the installer registers it for the machine).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace tarnwick {

// Both say what they did on standard output and return the exit status.
int RegisterLinkHandler(const CommandLine& line);
int UnregisterLinkHandler();

// Opens the component folder's portal page with the desktop's handler of web pages (the default browser);
// says so when no run has written one yet. Returns the exit status.
int OpenPortalPage(const std::string& componentFolder);

// What the user reads when the folder has no portal page yet.
inline std::string NoPortalPageText(const std::string& componentFolder) {
  return "No meeting has been downloaded into " + componentFolder +
         " yet: its portal page is written by the first run. Click DownLoad on the meeting page.";
}

#ifdef _WIN32
// The command that the scheme's class runs: `executable` and `options` quoted as the C runtime splits a
// command line, then "--" and the link as "%1". Nothing when an argument holds a "%", which the shell would
// replace (by the link, with its password, for "%1"), or a quote, which would end its quoted argument.
std::optional<std::string> LinkOpenCommand(const std::string& executable, const std::vector<std::string>& options);
#else
inline constexpr const char* kLinkEntryName = "tarnwick-download-link.desktop";
inline constexpr const char* kLinkMimeType = "x-scheme-handler/tarnwick-download";

// The desktop entry that runs `executable` with `options` and the link. Nothing when an argument would not
// reach the program whole through every launcher: a blank, a quote, a character that a shell or the
// format treats specially ("\", "%", "*", "?", "[", "$", ...), a control character, text that is not UTF-8.
std::optional<std::string> LinkDesktopEntry(const std::string& executable, const std::vector<std::string>& options);

// mimeapps.list without this program's entry as the handler of links, the rest as it was; nothing when the
// file names no handler of links.
std::optional<std::string> WithoutLinkDefault(const std::string& mimeapps);
#endif

}  // namespace tarnwick
