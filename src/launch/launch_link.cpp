#include "launch/launch_link.h"

#include "base/ascii.h"
#include "base/utf8.h"

namespace tarnwick {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// C0 controls, DEL and the C1 controls: none belongs in a cookie, and a line end would split it.
bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

}  // namespace

bool IsLaunchLink(std::string_view argument) { return StartsWithIgnoringAsciiCase(argument, kLinkScheme); }

std::optional<std::string> CookieFromLink(std::string_view link, std::string& reason) {
  if (link.size() > kMaxLinkBytes) {
    reason = "the link is longer than " + std::to_string(kMaxLinkBytes) + " bytes";
    return std::nullopt;
  }
  const std::string_view encoded = link.substr(kLinkScheme.size());
  // A browser encodes both; raw, they are how a launcher that quotes "%1" is made to end the argument early.
  if (encoded.find_first_of("\" ") != std::string_view::npos) {
    reason = "the link holds a quote or a blank that is not percent-encoded";
    return std::nullopt;
  }
  std::string cookie;
  cookie.reserve(encoded.size());
  for (size_t pos = 0; pos < encoded.size(); ++pos) {
    if (encoded[pos] != '%') {
      cookie += encoded[pos];
      continue;
    }
    const int high = pos + 2 < encoded.size() ? HexDigit(encoded[pos + 1]) : -1;
    const int low = high >= 0 ? HexDigit(encoded[pos + 2]) : -1;
    if (low < 0) {
      reason = "the link has a \"%\" that is not followed by two hexadecimal digits, at character " +
               std::to_string(kLinkScheme.size() + pos + 1);
      return std::nullopt;
    }
    cookie += static_cast<char>(high * 16 + low);
    pos += 2;
  }
  for (size_t pos = 0; pos < cookie.size();) {
    const auto cp = ReadUtf8CodePoint(cookie, pos);
    if (!cp) {
      reason = "the link's text is not UTF-8";
      return std::nullopt;
    }
    if (IsControl(*cp)) {
      reason = "the link holds a control character";
      return std::nullopt;
    }
  }
  return cookie;
}

}  // namespace tarnwick
