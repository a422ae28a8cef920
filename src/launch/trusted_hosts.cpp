#include "launch/trusted_hosts.h"

#include "base/ascii.h"
#include "base/paths.h"
#include "launch/folder_configuration.h"

namespace tarnwick {
namespace {

struct HostAndPort {
  std::string_view name;
  std::string_view port;  // empty: none given
};

// "name:digits" splits; anything else is all name, so that an odd host can only fail to match.
HostAndPort SplitPort(std::string_view host) {
  const size_t colon = host.rfind(':');
  if (colon == std::string_view::npos || colon + 1 == host.size() ||
      host.find_first_not_of("0123456789", colon + 1) != std::string_view::npos) {
    return {host, {}};
  }
  return {host.substr(0, colon), host.substr(colon + 1)};
}

// The host of "scheme://[user@]host[:port][/path]"; empty when the address has no "//".
std::string_view UrlHost(std::string_view url) {
  const size_t slashes = url.find("//");
  if (slashes == std::string_view::npos) {
    return {};
  }
  std::string_view authority = url.substr(slashes + 2);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  authority = authority.substr(authority.rfind('@') == std::string_view::npos ? 0 : authority.rfind('@') + 1);
  return SplitPort(authority).name;
}

bool Matches(const HostAndPort& wanted, std::string_view entry) {
  const HostAndPort trusted = SplitPort(entry);
  return !trusted.name.empty() && EqualIgnoringAsciiCase(trusted.name, wanted.name) &&
         (trusted.port.empty() || trusted.port == wanted.port);
}

}  // namespace

bool IsTrustedHost(std::string_view host, std::string_view serverUrl, std::string_view trustedHosts) {
  const HostAndPort wanted = SplitPort(host);
  if (wanted.name.empty()) {
    return false;
  }
  if (Matches(wanted, UrlHost(serverUrl))) {
    return true;
  }
  while (!trustedHosts.empty()) {
    const size_t end = trustedHosts.find('\n');
    const std::string_view line = TrimAscii(trustedHosts.substr(0, end), " \t\r");
    trustedHosts = end == std::string_view::npos ? std::string_view() : trustedHosts.substr(end + 1);
    if (!line.starts_with('#') && Matches(wanted, line)) {
      return true;
    }
  }
  return false;
}

std::optional<RunFailure> UntrustedLinkServer(FileSystem& fs, const std::string& componentFolder,
                                              std::string_view host) {
  const auto serverUrl = ConfiguredServerUrl(fs, componentFolder);
  const auto trustedHosts = fs.ReadFile(JoinPathOnce(componentFolder, kTrustedHostsName));
  if (IsTrustedHost(host, serverUrl.value_or(""), trustedHosts.value_or(""))) {
    return std::nullopt;
  }
  return RunFailure{
      FailureBox::UntrustedServer, 0,
      "a link from a web page starts a run only with the host of Tarnwick.cfg's line 2 or one listed in " +
          std::string(kTrustedHostsName) + " in " + componentFolder};
}

}  // namespace tarnwick
