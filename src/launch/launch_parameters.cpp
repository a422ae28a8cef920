#include "launch/launch_parameters.h"

#include <vector>

#include "base/ascii.h"
#include "base/paths.h"

namespace tarnwick {
namespace {

// The element index of the cookie is a 16-bit integer: one more element overflows it.
constexpr size_t kMaxElements = 32767;
constexpr int kRequiredKeys = 5;

std::vector<std::string_view> SplitCookie(std::string_view cookie) {
  std::vector<std::string_view> elements;
  if (cookie.empty()) {
    return elements;
  }
  size_t start = 0;
  for (size_t pos = cookie.find(';'); pos != std::string_view::npos; pos = cookie.find(';', start)) {
    elements.push_back(cookie.substr(start, pos - start));
    start = pos + 1;
  }
  elements.push_back(cookie.substr(start));
  return elements;
}

// Every "%2E" (exactly so: "%2e" stays) becomes ".". A "." never forms a new "%2E", so one pass from
// left to right equals replacing the first until none is left.
std::string DecodeHostDots(std::string_view host) {
  constexpr std::string_view kEscapedDot = "%2E";
  std::string decoded;
  size_t start = 0;
  for (size_t pos = host.find(kEscapedDot); pos != std::string_view::npos; pos = host.find(kEscapedDot, start)) {
    decoded.append(host.substr(start, pos - start));
    decoded += '.';
    start = pos + kEscapedDot.size();
  }
  decoded.append(host.substr(start));
  return decoded;
}

// The local folder must be one folder directly inside the component folder, or the recovery step
// could delete files elsewhere.
bool NamesOneFolderInside(const std::string& localFolder) {
  return !localFolder.empty() && localFolder != "." && localFolder != ".." &&
         localFolder.find('/') == std::string::npos && localFolder.find('\0') == std::string::npos;
}

// The field that the key names, or nullptr for a key that is passed over.
std::string* FieldForKey(LaunchParameters& parameters, std::string_view key) {
  if (EqualIgnoringAsciiCase(key, "HOST")) return &parameters.host;
  if (EqualIgnoringAsciiCase(key, "SUBSOURCE")) return &parameters.subSource;
  if (EqualIgnoringAsciiCase(key, "TIMESOURCE")) return &parameters.timeSource;
  if (EqualIgnoringAsciiCase(key, "LOGIN")) return &parameters.login;
  if (EqualIgnoringAsciiCase(key, "PWD")) return &parameters.password;
  return nullptr;
}

}  // namespace

CookieVerdict ReadLaunchCookie(std::string_view cookie, LaunchParameters& parameters) {
  int recognised = 0;
  const auto elements = SplitCookie(cookie);
  for (size_t index = 0; index < elements.size(); ++index) {
    const std::string_view element = TrimAscii(elements[index]);
    const size_t equals = element.find('=');
    if (equals == std::string_view::npos) {
      return CookieVerdict::ElementWithoutEquals;
    }
    if (std::string* field = FieldForKey(parameters, element.substr(0, equals))) {
      *field = std::string(element.substr(equals + 1));
      if (field == &parameters.subSource) {
        parameters.localFolder = LastBackslashComponent(parameters.subSource);
      }
      ++recognised;
    }
    if (index == kMaxElements) {
      return CookieVerdict::TooManyElements;
    }
  }
  parameters.host = DecodeHostDots(parameters.host);
  if (recognised != kRequiredKeys) {
    return CookieVerdict::WrongCount;
  }
  return NamesOneFolderInside(parameters.localFolder) ? CookieVerdict::Accepted : CookieVerdict::UnsafeLocalFolder;
}

std::optional<RunFailure> CookieFailure(CookieVerdict verdict) {
  switch (verdict) {
    case CookieVerdict::WrongCount:
      return RunFailure{FailureBox::ArgumentError, 0,
                        "the cookie must hold each of HOST, LOGIN, PWD, SUBSOURCE and TIMESOURCE once"};
    case CookieVerdict::UnsafeLocalFolder:
      return RunFailure{FailureBox::ArgumentError, 0,
                        "the last part of SUBSOURCE must name one folder inside the component folder"};
    case CookieVerdict::ElementWithoutEquals:
      return RunFailure{FailureBox::Start, 0, "an element of the cookie has no \"=\""};
    case CookieVerdict::TooManyElements:
      return RunFailure{FailureBox::Start, 0, "the cookie has more than 32,767 elements"};
    case CookieVerdict::Accepted:
      break;
  }
  return std::nullopt;
}

}  // namespace tarnwick
