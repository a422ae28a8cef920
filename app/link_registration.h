// Registration of this executable as the current user's handler of "tarnwick-download:" links, so that a
// click on the meeting page starts a run.
//   Linux and other freedesktop systems (link_registration_posix.cpp): a desktop entry in
//   $XDG_DATA_HOME/applications that declares the scheme, made the default with xdg-mime.
//   Windows: not in this build (the .exe says so when asked).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace tarnwick {

inline constexpr const char* kLinkEntryName = "tarnwick-download-link.desktop";
inline constexpr const char* kLinkMimeType = "x-scheme-handler/tarnwick-download";

// The desktop entry that runs `executable` with `options` and the link. Nothing when an argument cannot be
// written into one (a control character, text that is not UTF-8).
std::optional<std::string> LinkDesktopEntry(const std::string& executable, const std::vector<std::string>& options);

// mimeapps.list without this program's entry as the handler of links, the rest as it was; nothing when the
// file names no handler of links.
std::optional<std::string> WithoutLinkDefault(const std::string& mimeapps);

// Both say what they did on standard output and return the exit status.
int RegisterLinkHandler(const CommandLine& line);
int UnregisterLinkHandler();

}  // namespace tarnwick
