#include "curl_ftp/ftp_request.h"

#include <charconv>

#include "base/ascii.h"
#include "base/windows874.h"

namespace tarnwick {
namespace {

std::string PercentEncodePath(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
                       u == '.' || u == '_' || u == '~' || u == '/';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    }
  }
  return out;
}

bool SplitHostPort(const std::string& hostPort, FtpRequest& request) {
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

}  // namespace

std::optional<FtpRequest> ParseFtpRequest(const std::string& url, const std::string& operation, int defaultPort) {
  constexpr std::string_view kScheme = "ftp://";
  constexpr std::string_view kGet = "Get ";
  if (!StartsWithIgnoringAsciiCase(url, kScheme) || !StartsWithIgnoringAsciiCase(operation, kGet)) {
    return std::nullopt;
  }
  FtpRequest request;
  request.port = defaultPort;
  const std::string authority = url.substr(kScheme.size());
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    const std::string credentials = authority.substr(0, at);
    const size_t colon = credentials.find(':');
    request.user = credentials.substr(0, colon);
    request.password = colon == std::string::npos ? "" : credentials.substr(colon + 1);
  }
  if (!SplitHostPort(authority.substr(at == std::string::npos ? 0 : at + 1), request)) {
    return std::nullopt;
  }

  const std::string rest = operation.substr(kGet.size());
  const size_t gap = rest.find("  ");
  if (gap == std::string::npos || gap == 0) {
    return std::nullopt;
  }
  std::string remote = rest.substr(0, gap);
  request.localPath = rest.substr(gap + 2);
  for (char& c : remote) {
    if (c == '\\') c = '/';
  }
  request.remotePath = remote;
  const bool fromRoot = remote.starts_with('/');
  const std::string encoded = PercentEncodePath(cp874::Encode(fromRoot ? remote.substr(1) : remote));
  request.urlForLibcurl =
      "ftp://" + request.host + ":" + std::to_string(request.port) + "/" + (fromRoot ? "%2F" : "") + encoded;
  return request;
}

}  // namespace tarnwick
