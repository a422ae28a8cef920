// Rewrites the portal page "Tarnwick.html" from the portal configuration, the meeting folders on disk
// and their message files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/run_failure.h"

namespace tarnwick {

inline constexpr std::string_view kPortalPageName = "Tarnwick.html";

// The meeting server's web site when the configuration gives none.
inline constexpr std::string_view kDefaultServerUrl = "https://meeting.tarnwick.example/meeting";

// Nothing once the page is written. A failure leaves the old page: at ChkFolder when the meeting folders
// cannot be listed, at Page when a message file is too long or the page cannot be written.
std::optional<RunFailure> RewritePortalPage(FileSystem& fs, const std::string& componentFolder);

}  // namespace tarnwick
