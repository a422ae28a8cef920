#include "curl_transfer/proxy_route.h"

#include <curl/curl.h>
#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>

#include "base/ascii.h"

namespace tarnwick {
namespace {

std::optional<std::string> FirstSet(const EnvironmentVariable& variable, std::initializer_list<std::string> names) {
  for (const std::string& name : names) {
    if (auto value = variable(name.c_str()); value && !value->empty()) {
      return value;
    }
  }
  return std::nullopt;
}

std::string PartOf(CURLU* url, CURLUPart part) {
  char* value = nullptr;
  if (curl_url_get(url, part, &value, 0) != CURLUE_OK || value == nullptr) {
    return {};
  }
  std::string text = value;
  curl_free(value);
  return text;
}

// An IPv4 or IPv6 address as its bytes, with how many bits it has; nothing for a name.
struct Address {
  std::array<unsigned char, 16> bytes{};
  unsigned bits = 0;
};
std::optional<Address> ReadAddress(const std::string& text) {
  Address address;
  if (inet_pton(AF_INET, text.c_str(), address.bytes.data()) == 1) {
    address.bits = 32;
  } else if (inet_pton(AF_INET6, text.c_str(), address.bytes.data()) == 1) {
    address.bits = 128;
  } else {
    return std::nullopt;
  }
  return address;
}

// Whether `host` lies in the range `entry` names: an address, or one with "/BITS" after it.
bool InRange(const Address& host, std::string_view entry) {
  const size_t slash = entry.find('/');
  const auto network = ReadAddress(std::string(entry.substr(0, slash)));
  unsigned bits = host.bits;
  if (slash != std::string_view::npos) {
    const std::string_view digits = entry.substr(slash + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), bits);
    if (error != std::errc() || end != digits.data() + digits.size() || bits > host.bits) {
      return false;
    }
  }
  if (!network || network->bits != host.bits) {
    return false;
  }
  const unsigned whole = bits / 8;
  const unsigned rest = bits % 8;
  const auto mask = static_cast<unsigned char>(0xFF << (8 - rest));
  return std::equal(host.bytes.begin(), host.bytes.begin() + whole, network->bytes.begin()) &&
         (rest == 0 || ((host.bytes[whole] ^ network->bytes[whole]) & mask) == 0);
}

}  // namespace

bool ProxyBypassed(std::string_view host, std::string_view noProxy) {
  std::string name = LowerAscii(host);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  while (name.ends_with('.')) {
    name.pop_back();
  }
  if (TrimAscii(noProxy, " \t") == "*") {  // as libcurl: "*" alone, not as one entry of several
    return true;
  }
  if (name.empty()) {
    return false;
  }
  const std::optional<Address> address = ReadAddress(name);
  size_t at = 0;
  while (at < noProxy.size()) {
    const size_t end = std::min(noProxy.find_first_of(", \t", at), noProxy.size());
    std::string entry = LowerAscii(noProxy.substr(at, end - at));
    at = end + 1;
    while (entry.starts_with('.')) {
      entry.erase(0, 1);
    }
    while (entry.ends_with('.')) {
      entry.pop_back();
    }
    if (entry.empty()) {
      continue;
    }
    if (address) {  // an address is matched as an address, or within a range ("10.0.0.0/8", "fd00::/8")
      if (InRange(*address, entry)) {
        return true;
      }
      continue;
    }
    if (name == entry ||
        (name.size() > entry.size() && name.ends_with(entry) && name[name.size() - entry.size() - 1] == '.')) {
      return true;
    }
  }
  return false;
}

std::string ProxyFromEnvironment(std::string_view scheme, std::string_view host, const EnvironmentVariable& variable) {
  if (const auto noProxy = FirstSet(variable, {"no_proxy", "NO_PROXY"}); noProxy && ProxyBypassed(host, *noProxy)) {
    return {};
  }
  std::string upper(scheme);
  for (char& c : upper) {
    c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  const std::string lower = LowerAscii(scheme);
  return FirstSet(variable, {lower + "_proxy", upper + "_PROXY", "all_proxy", "ALL_PROXY"}).value_or("");
}

std::string WindowsProxyForScheme(std::string_view proxies, std::string_view scheme) {
  std::string fallback;
  size_t at = 0;
  while (at < proxies.size()) {
    const size_t end = std::min(proxies.find_first_of("; \t", at), proxies.size());
    const std::string_view entry = proxies.substr(at, end - at);
    at = end + 1;
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (fallback.empty() && !entry.empty()) {
        fallback = entry;
      }
    } else if (LowerAscii(entry.substr(0, equals)) == LowerAscii(scheme)) {
      return std::string(entry.substr(equals + 1));
    }
  }
  return fallback;
}

namespace {

// `pattern`'s "*" any run of characters; both already in lower case.
bool Matches(std::string_view text, std::string_view pattern) {
  const size_t star = pattern.find('*');
  if (star == std::string_view::npos) {
    return text == pattern;
  }
  if (!text.starts_with(pattern.substr(0, star))) {
    return false;
  }
  const std::string_view rest = pattern.substr(star + 1);
  for (size_t from = star; from <= text.size(); ++from) {
    if (Matches(text.substr(from), rest)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool WindowsProxyBypassed(std::string_view host, std::string_view bypass) {
  const std::string name = LowerAscii(host);
  size_t at = 0;
  while (at < bypass.size()) {
    const size_t end = std::min(bypass.find_first_of("; \t", at), bypass.size());
    const std::string entry = LowerAscii(bypass.substr(at, end - at));
    at = end + 1;
    if ((entry == "<local>" && name.find('.') == std::string::npos && name.find(':') == std::string::npos) ||
        (!entry.empty() && Matches(name, entry))) {
      return true;
    }
  }
  return false;
}

std::optional<ProxyAddress> ReadProxyAddress(const std::string& proxy) {
  const std::unique_ptr<CURLU, void (*)(CURLU*)> url(curl_url(), curl_url_cleanup);
  const std::string full = proxy.find("://") == std::string::npos ? "http://" + proxy : proxy;
  if (!url || curl_url_set(url.get(), CURLUPART_URL, full.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return std::nullopt;
  }
  ProxyAddress address;
  address.hasUser = !PartOf(url.get(), CURLUPART_USER).empty();
  address.hasPassword = !PartOf(url.get(), CURLUPART_PASSWORD).empty();
  // The log and the boxes show where the proxy is and whose login it takes, never the password.
  curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
  curl_url_set(url.get(), CURLUPART_PATH, nullptr, 0);
  curl_url_set(url.get(), CURLUPART_QUERY, nullptr, 0);
  curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
  const std::string scheme = PartOf(url.get(), CURLUPART_SCHEME);
  const std::string user = PartOf(url.get(), CURLUPART_USER);
  const std::string host = PartOf(url.get(), CURLUPART_HOST);
  const std::string port = PartOf(url.get(), CURLUPART_PORT);
  if (host.empty()) {
    return std::nullopt;
  }
  address.shown = scheme + "://" + (user.empty() ? "" : user + "@") + host + (port.empty() ? "" : ":" + port);
  return address;
}

std::string RouteText(const std::string& proxy) {
  if (proxy.empty()) {
    return "direct (no proxy)";
  }
  const auto address = ReadProxyAddress(proxy);
  return address ? "through the proxy " + address->shown : "through a proxy whose address cannot be read";
}

}  // namespace tarnwick
