#include "remote/remote_request.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "base/ascii.h"
#include "base/windows874.h"

namespace tarnwick {
namespace {

bool SplitHostPort(const std::string& hostPort, RemoteRequest& request) {
  const size_t colon = hostPort.rfind(':');
  request.host = hostPort.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string digits = hostPort.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), request.port);
    if (error != std::errc() || end != digits.data() + digits.size() || request.port <= 0 || request.port > 65535) {
      return false;
    }
  }
  return !request.host.empty();
}

bool HoldsLineEnd(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos; }

bool HoldsControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

std::optional<RemoteRequest> ParseRemoteRequest(const std::string& url, const std::string& operation, int defaultPort) {
  constexpr std::string_view kScheme = "ftp://";
  constexpr std::string_view kGet = "Get ";
  if (!StartsWithIgnoringAsciiCase(url, kScheme) || !StartsWithIgnoringAsciiCase(operation, kGet)) {
    return std::nullopt;
  }
  RemoteRequest request;
  request.port = defaultPort;
  const std::string authority = url.substr(kScheme.size());
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    const std::string credentials = authority.substr(0, at);
    const size_t colon = credentials.find(':');
    request.user = credentials.substr(0, colon);
    request.password = colon == std::string::npos ? "" : credentials.substr(colon + 1);
  }
  if (!SplitHostPort(authority.substr(at == std::string::npos ? 0 : at + 1), request) || HoldsLineEnd(request.user) ||
      HoldsLineEnd(request.password)) {
    return std::nullopt;
  }

  const std::string rest = operation.substr(kGet.size());
  const size_t gap = rest.find("  ");
  if (gap == std::string::npos || gap == 0) {
    return std::nullopt;
  }
  std::string remote = rest.substr(0, gap);
  if (HoldsControlCharacter(remote)) {
    return std::nullopt;
  }
  request.localPath = rest.substr(gap + 2);
  std::replace(remote.begin(), remote.end(), '\\', '/');
  request.serverPath = cp874::Encode(remote);
  request.remotePath = std::move(remote);
  return request;
}

std::string PercentEncoded(std::string_view serverPath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : serverPath) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
                       u == '.' || u == '_' || u == '~' || u == '/';
    if (plain) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[u >> 4];
      encoded += kHex[u & 0xF];
    }
  }
  return encoded;
}

}  // namespace tarnwick
