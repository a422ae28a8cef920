// Which proxy a run goes through, if any: the user's --proxy, else the system's, as a browser finds it.
// On Linux that is the environment (https_proxy, ftp_proxy, all_proxy, no_proxy), read as libcurl reads it;
// the choice is made once, here, so that the log names the proxy that the transfers use.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// A variable of the environment by its name; nothing when it is not set.
using EnvironmentVariable = std::function<std::optional<std::string>(const char*)>;

// The proxy for a connection to `host` over `scheme` ("https" or "ftp"): <scheme>_proxy, then
// <SCHEME>_PROXY, then all_proxy and ALL_PROXY; none (empty) when no_proxy (or NO_PROXY) names the host.
std::string ProxyFromEnvironment(std::string_view scheme, std::string_view host, const EnvironmentVariable& variable);

// Whether `noProxy` (names and addresses, separated by commas or blanks; "*": every host) leaves `host` out:
// a name matches itself and its subdomains, whatever the letter case, with or without a leading dot; an
// address matches itself or a range that holds it ("10.0.0.0/8", "fd00::/8"), as libcurl reads the list.
bool ProxyBypassed(std::string_view host, std::string_view noProxy);

// Windows' Internet Options name proxies in one string: "host:port" for every scheme, or
// "http=h:1;https=h:2;ftp=h:3" (a scheme without its own entry goes direct). Empty: none for `scheme`.
std::string WindowsProxyForScheme(std::string_view proxies, std::string_view scheme);

// Whether Windows' bypass list ("*.corp.example;10.*;<local>", ";" or blanks between) leaves `host` out:
// "*" stands for any characters, whatever the letter case; "<local>" names every host without a dot.
bool WindowsProxyBypassed(std::string_view host, std::string_view bypass);

// What can be told of a proxy's address without its password.
struct ProxyAddress {
  std::string shown;  // scheme://[user@]host:port, never the password
  bool hasUser = false;
  bool hasPassword = false;
};

// Nothing when libcurl's URL parser cannot read `proxy` (a bare "host:port" is http://, as libcurl takes it).
std::optional<ProxyAddress> ReadProxyAddress(const std::string& proxy);

// The log's words for the route: "through the proxy http://host:3128" or "direct (no proxy)".
std::string RouteText(const std::string& proxy);

}  // namespace tarnwick
