// The link a meeting page opens to start a run: "tarnwick-download:" and the page's cookie,
// percent-encoded once (what encodeURIComponent(document.cookie) gives).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kLinkScheme = "tarnwick-download:";
// The longest link taken; a browser hands over longer ones, but no meeting page's cookie needs them.
inline constexpr size_t kMaxLinkBytes = 4096;

// Where the cookie of a run came from. Any web page can ask a browser to open a link, so a run started
// from one connects only to a server that the component folder trusts; a cookie file is the user's own.
enum class LaunchSource { CookieFile, Link };

// The argument begins with the scheme (in any letter case, as browsers may write it).
bool IsLaunchLink(std::string_view argument);

// The cookie that a link (IsLaunchLink) carries, decoded once: "%41" becomes "A", "%2541" becomes "%41". Nothing, with
// the reason in `reason`, for a link that is too long, a raw quote or blank, a "%" not followed by two hexadecimal
// digits, text that is not UTF-8 once decoded, or a control character. The reason never quotes the link: it carries the
// password.
std::optional<std::string> CookieFromLink(std::string_view link, std::string& reason);

}  // namespace tarnwick
