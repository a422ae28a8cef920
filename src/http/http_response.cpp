#include "http/http_response.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/ascii.h"
#include "base/escaped_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kScheme = "https://";

std::string Origin(const RemoteRequest& request) {
  return std::string(kScheme) + request.host + ":" + std::to_string(request.port);
}

template <typename Number>
std::optional<Number> Digits(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::string_view ReasonOrKnown(const HttpResponse& response) {
  if (!response.reason.empty()) {
    return response.reason;
  }
  switch (response.status) {  // HTTP/2 carries no reason phrase: the common ones by name
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 410:
      return "Gone";
    case 429:
      return "Too Many Requests";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "";
  }
}

}  // namespace

std::string HttpsUrl(const RemoteRequest& request) {
  const std::string_view path = request.serverPath;
  return Origin(request) + "/" + PercentEncoded(path.substr(path.starts_with('/') ? 1 : 0));
}

bool SameOrigin(const RemoteRequest& request, std::string_view url) {
  if (!StartsWithIgnoringAsciiCase(url, kScheme)) {
    return false;
  }
  std::string_view authority = url.substr(kScheme.size());
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (authority.find('@') != std::string_view::npos) {
    return false;
  }
  const size_t colon = authority.rfind(':');
  const std::string_view host = authority.substr(0, colon);
  const auto port =
      colon == std::string_view::npos ? std::optional<int>(443) : Digits<int>(authority.substr(colon + 1));
  return port == request.port && EqualIgnoringAsciiCase(host, request.host);
}

HttpResponse ReadResponse(int status, std::string_view statusLine, std::int64_t retryAfterSeconds,
                          const HeaderValues& values) {
  HttpResponse response;
  response.status = status;
  // "HTTP/1.1 404 Not Found": what follows the code; HTTP/2 has none.
  const size_t space = statusLine.find(' ');
  if (space != std::string_view::npos) {
    const std::string_view rest = statusLine.substr(space + 1);
    response.reason = TrimAscii(rest.substr(std::min<size_t>(rest.size(), 3)), " \t\r\n");
  }
  for (const std::string& value : values("Content-Length")) {
    const auto length = Digits<std::uint64_t>(TrimAscii(value, " \t"));
    if (!response.contentLength) {
      response.contentLength = length;
    } else if (length != response.contentLength) {  // the same length again says nothing new
      response.otherContentLength = length.value_or(0);
    }
  }
  for (const std::string& value : values("Content-Encoding")) {
    if (!EqualIgnoringAsciiCase(TrimAscii(value, " \t"), "identity")) {
      response.contentEncoding = value;
    }
  }
  response.retryAfterSeconds =
      static_cast<int>(std::clamp<std::int64_t>(retryAfterSeconds, 0, std::numeric_limits<int>::max()));
  for (const std::string& value : values("ETag")) {
    response.entityTag = StartsWithIgnoringAsciiCase(value, "W/") ? "" : value;
  }
  for (const std::string& value : values("Last-Modified")) {
    response.lastModified = value;
  }
  for (const std::string& value : values("Content-Range")) {
    // "bytes FIRST-LAST/COMPLETE"; COMPLETE may be "*", unknown.
    if (!StartsWithIgnoringAsciiCase(value, "bytes ")) {
      continue;
    }
    const std::string_view range = std::string_view(value).substr(6);
    const size_t dash = range.find('-');
    const size_t slash = range.find('/');
    if (dash != std::string_view::npos && slash != std::string_view::npos && dash < slash) {
      response.rangeStart = Digits<std::uint64_t>(range.substr(0, dash));
      response.completeLength = Digits<std::uint64_t>(range.substr(slash + 1));
    }
  }
  return response;
}

TransferOutcome HttpFailure(const RemoteRequest& request, const HttpResponse& response) {
  // The reason phrase is the server's to choose, of any length; the user and the path are the link's values.
  const std::string status = std::to_string(response.status) + " " + ShownValue(ReasonOrKnown(response));
  const std::string where = request.host + ":" + std::to_string(request.port);
  switch (response.status) {
    case 401:
    case 403:
      return TransferOutcome::Failed(
          530, "the server " + where + " refused the login of " + ShownValue(request.user) + " (" + status + ")");
    case 404:
    case 410:
      return TransferOutcome::Failed(550,
                                     "the server has no file " + ShownValue(request.remotePath) + " (" + status + ")");
    case 429:
    case 503: {
      TransferOutcome busy = TransferOutcome::Failed(421, "the server " + where + " is busy (" + status + ")", true);
      busy.retryAfterSeconds = response.retryAfterSeconds;
      return busy;
    }
    default:
      return TransferOutcome::Failed(response.status, "the server " + where + " answered: " + status);
  }
}

}  // namespace tarnwick
