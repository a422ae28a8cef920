// Rewrites the portal page "Tarnwick.html" from the portal configuration, the meeting folders on disk
// and their message files.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tarnwick {

inline constexpr std::string_view kPortalPageName = "Tarnwick.html";

// The meeting server's web site when the configuration gives none.
inline constexpr std::string_view kDefaultServerUrl = "https://meeting.tarnwick.example/meeting";

// Without pageWritten the old page stays: after a failed scan, a page that cannot be written, a message too long.
struct PortalUpdate {
  bool scanFailed = false;  // the meeting folders could not be listed
  bool pageWritten = false;
  std::string problem;  // why the page was not written
};

PortalUpdate RewritePortalPage(FileSystem& fs, const std::string& componentFolder);

}  // namespace tarnwick
