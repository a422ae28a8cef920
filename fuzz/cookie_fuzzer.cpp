// The launch cookie comes from a web page: whatever it holds, reading it must not crash, and a cookie
// that is accepted must name a local folder that the recovery step can empty without reaching outside.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/paths.h"
#include "fuzz_check.h"
#include "launch/launch_parameters.h"

namespace {

using tarnwick::CookieVerdict;
using tarnwick::LaunchParameters;

bool NamesOneFolderInside(std::string_view folder) {
  return !folder.empty() && folder != "." && folder != ".." && folder.find('/') == std::string_view::npos &&
         folder.find('\\') == std::string_view::npos && folder.find('\0') == std::string_view::npos;
}

bool SameParameters(const LaunchParameters& a, const LaunchParameters& b) {
  return a.host == b.host && a.subSource == b.subSource && a.localFolder == b.localFolder && a.login == b.login &&
         a.password == b.password && a.timeSource == b.timeSource;
}

void Check(std::string_view cookie, LaunchParameters parameters) {
  const LaunchParameters before = parameters;
  const CookieVerdict verdict = tarnwick::ReadLaunchCookie(cookie, parameters);

  // The local folder always follows the remote source folder, whichever of the two the cookie set.
  FUZZ_REQUIRE(parameters.localFolder == tarnwick::LastBackslashComponent(parameters.subSource));
  if (verdict == CookieVerdict::Accepted) {
    FUZZ_REQUIRE(NamesOneFolderInside(parameters.localFolder));
  }
  if (verdict == CookieVerdict::Accepted || verdict == CookieVerdict::WrongCount ||
      verdict == CookieVerdict::UnsafeLocalFolder) {
    FUZZ_REQUIRE(parameters.host.find("%2E") == std::string::npos);
  }
  if (cookie.empty()) {
    FUZZ_REQUIRE(verdict == CookieVerdict::WrongCount);
    FUZZ_REQUIRE(SameParameters(parameters, before));
  }

  // Reading the same cookie again changes nothing: every value it sets is set again, and a host
  // already decoded holds no "%2E" to decode.
  LaunchParameters again = parameters;
  FUZZ_REQUIRE(tarnwick::ReadLaunchCookie(cookie, again) == verdict);
  FUZZ_REQUIRE(SameParameters(again, parameters));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A view of libFuzzer's own buffer, not a copy: a read past the cookie's end lands outside it.
  const std::string_view cookie(reinterpret_cast<const char*>(data), size);
  Check(cookie, LaunchParameters{});
  // A window shown again reads into the parameters that its earlier showing filled: a key missing now
  // keeps that value.
  Check(cookie, LaunchParameters{"meet.example.org:2121", "meetings\\TW3", "TW3", "meeting", "secret", "2026-12"});
  return 0;
}
