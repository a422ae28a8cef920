// The meeting servers that a run started from a link may connect to: the host of the meeting server's
// web address (line 2 of "Tarnwick.cfg") and the hosts that an installer or administrator lists in
// "TrustedHosts.txt" of the component folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/run_failure.h"

namespace tarnwick {

inline constexpr std::string_view kTrustedHostsName = "TrustedHosts.txt";

// Whether the cookie's HOST (dots decoded, perhaps with ":port") names a trusted server. `serverUrl` is the
// configured web address (empty when there is none); its host is trusted on every port. `trustedHosts` is
// the list file's text: a host a line ("host" for every port, "host:port" for that port alone), blanks
// around it, blank lines and lines beginning with "#" passed over, lines ending in LF or CR LF. Names are
// compared without regard to ASCII letter case and must match whole: anything else is not trusted.
bool IsTrustedHost(std::string_view host, std::string_view serverUrl, std::string_view trustedHosts);

// Nothing when the component folder trusts `host` (as IsTrustedHost) for a run started from a link, else the
// refusal: asked before the marker and before any connection, so that a page that is not the meeting's
// gets nothing from the run.
std::optional<RunFailure> UntrustedLinkServer(FileSystem& fs, const std::string& componentFolder,
                                              std::string_view host);

}  // namespace tarnwick
