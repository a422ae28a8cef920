// The current user's proxy on Windows, as Internet Options set it and the browser finds it (WinHTTP).
//
// - [x] a fixed proxy, one for every scheme or one a scheme ("https=...;ftp=..."), and its bypass list
//       ("*" wildcards, "<local>")
// - [x] an automatic configuration script (a PAC URL) and automatic detection (WPAD by DHCP and DNS), run by
//       WinHTTP for the meeting's URL, its first proxy taken, with the user's logon when the script's server asks
// - [ ] the PAC script's later proxies of a list, tried when the first fails
// - [ ] a proxy set for the machine only (netsh winhttp), which Internet Options do not show
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

// The proxy for `url` ("https://host:port/" or "ftp://host:port/"): its URL, empty for none (direct, or
// bypassed), or nothing when Internet Options set no proxy at all, or WinHTTP cannot be asked.
std::optional<std::string> InternetOptionsProxy(const std::string& url, const std::string& scheme,
                                                const std::string& host);

}  // namespace tarnwick
