#include "http/http_response.h"

#include <algorithm>
#include <array>
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

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", the one date form that servers send today.
std::optional<std::int64_t> HttpDate(std::string_view text) {
  static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (text.size() != 29 || text.substr(3, 2) != ", " || text.substr(25) != " GMT" || text[19] != ':' ||
      text[22] != ':') {
    return std::nullopt;
  }
  const auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
  const auto day = Digits<int>(text.substr(5, 2));
  const auto year = Digits<int>(text.substr(12, 4));
  const auto hour = Digits<int>(text.substr(17, 2));
  const auto minute = Digits<int>(text.substr(20, 2));
  const auto second = Digits<int>(text.substr(23, 2));
  if (month == kMonths.end() || !day || !year || !hour || !minute || !second) {
    return std::nullopt;
  }
  const int monthNumber = static_cast<int>(month - kMonths.begin()) + 1;
  const std::int64_t seconds = std::int64_t{*hour} * 3600 + std::int64_t{*minute} * 60 + *second;
  return DaysFromCivil(*year, monthNumber, *day) * 86400 + seconds;
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

void ReadHeaderLine(std::string_view line, HttpResponse& response, std::int64_t nowSeconds) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  if (StartsWithIgnoringAsciiCase(line, "HTTP/")) {
    response = {};
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) {
      return;
    }
    const std::string_view rest = line.substr(space + 1);
    response.status = Digits<int>(rest.substr(0, 3)).value_or(0);
    response.reason = TrimAscii(rest.substr(std::min<size_t>(rest.size(), 3)), " \t");
    return;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) {
    return;
  }
  const std::string_view name = line.substr(0, colon);
  const std::string_view value = TrimAscii(line.substr(colon + 1), " \t");
  if (EqualIgnoringAsciiCase(name, "Content-Length")) {
    const auto length = Digits<std::uint64_t>(value);
    if (response.contentLength && length != response.contentLength) {
      response.otherContentLength = length.value_or(0);
    } else {
      response.contentLength = length;
    }
  } else if (EqualIgnoringAsciiCase(name, "Content-Encoding")) {
    if (!EqualIgnoringAsciiCase(value, "identity")) {
      response.contentEncoding = value;
    }
  } else if (EqualIgnoringAsciiCase(name, "Retry-After")) {
    response.retryAfterSeconds = RetryAfterSeconds(value, nowSeconds);
  } else if (EqualIgnoringAsciiCase(name, "ETag")) {
    response.entityTag = StartsWithIgnoringAsciiCase(value, "W/") ? "" : std::string(value);
  } else if (EqualIgnoringAsciiCase(name, "Last-Modified")) {
    response.lastModified = value;
  } else if (EqualIgnoringAsciiCase(name, "Content-Range") && StartsWithIgnoringAsciiCase(value, "bytes ")) {
    // "bytes FIRST-LAST/COMPLETE"; COMPLETE may be "*", unknown.
    const std::string_view range = value.substr(6);
    const size_t dash = range.find('-');
    const size_t slash = range.find('/');
    if (dash != std::string_view::npos && slash != std::string_view::npos && dash < slash) {
      response.rangeStart = Digits<std::uint64_t>(range.substr(0, dash));
      response.completeLength = Digits<std::uint64_t>(range.substr(slash + 1));
    }
  }
}

std::optional<int> RetryAfterSeconds(std::string_view value, std::int64_t nowSeconds) {
  if (const auto seconds = Digits<std::uint64_t>(value)) {
    return static_cast<int>(std::min<std::uint64_t>(*seconds, std::numeric_limits<int>::max()));
  }
  const auto date = HttpDate(value);
  if (!date) {
    return std::nullopt;
  }
  return static_cast<int>(std::clamp<std::int64_t>(*date - nowSeconds, 0, std::numeric_limits<int>::max()));
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
      busy.retryAfterSeconds = response.retryAfterSeconds.value_or(0);
      return busy;
    }
    default:
      return TransferOutcome::Failed(response.status, "the server " + where + " answered: " + status);
  }
}

}  // namespace tarnwick
