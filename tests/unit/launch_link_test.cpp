#include <gtest/gtest.h>

#include <string>

#include "launch/launch_link.h"
#include "launch/launch_parameters.h"
#include "launch/trusted_hosts.h"

namespace tarnwick {
namespace {

std::optional<std::string> Decode(const std::string& link, std::string* reasonOut = nullptr) {
  std::string reason;
  auto cookie = CookieFromLink(link, reason);
  if (reasonOut != nullptr) {
    *reasonOut = reason;
  }
  return cookie;
}

TEST(LaunchLink, ABrowsersCookieIsDecodedOnceIntoWhatThePageHeld) {
  // encodeURIComponent(document.cookie) of a page with the five cookies, a session cookie and a Thai value.
  const std::string link =
      "Tarnwick-Download:HOST%3D127%252E0%252E0%252E1%3A2121%3B%20LOGIN%3Dmeeting%3B%20PWD%3Dp%25w%3D1%3B%20"
      "SUBSOURCE%3Dm%5CTW3%3B%20TIMESOURCE%3D%E0%B8%9B%E0%B8%A3%E0%B8%B0%E0%B8%8A%E0%B8%B8%E0%B8%A1%3B%20"
      "JSESSIONID%3Dabc";
  ASSERT_TRUE(IsLaunchLink(link));
  const auto cookie = Decode(link);
  ASSERT_TRUE(cookie);
  EXPECT_EQ(*cookie,
            "HOST=127%2E0%2E0%2E1:2121; LOGIN=meeting; PWD=p%w=1; SUBSOURCE=m\\TW3; TIMESOURCE=ประชุม; JSESSIONID=abc");
  LaunchParameters p;
  ASSERT_EQ(ReadLaunchCookie(*cookie, p), CookieVerdict::Accepted);
  EXPECT_EQ(p.host, "127.0.0.1:2121");  // the cookie's own "%2E" survives the link's decoding for HOST's
  EXPECT_EQ(p.password, "p%w=1");
  EXPECT_EQ(p.timeSource, "ประชุม");

  // A key the page set at two paths comes twice: counted twice, so the run is refused, whichever value is right.
  EXPECT_EQ(ReadLaunchCookie(*cookie + "; PWD=other", p), CookieVerdict::WrongCount);
  EXPECT_FALSE(IsLaunchLink("tarnwick-downloads:x"));
  EXPECT_EQ(Decode("tarnwick-download:"), "");
}

TEST(LaunchLink, RefusesWhatIsNotOneStrictEncodingWithoutQuotingIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"tarnwick-download:PWD%3Dse%",
       "the link has a \"%\" that is not followed by two hexadecimal digits, at character 27"},
      {"tarnwick-download:PWD%3Dse%4",
       "the link has a \"%\" that is not followed by two hexadecimal digits, at character 27"},
      {"tarnwick-download:PWD%3Dse%zz",
       "the link has a \"%\" that is not followed by two hexadecimal digits, at character 27"},
      {"tarnwick-download:%C3%28", "the link's text is not UTF-8"},
      {"tarnwick-download:%C0%AE", "the link's text is not UTF-8"},     // an overlong "."
      {"tarnwick-download:%E0%9F%BF", "the link's text is not UTF-8"},  // U+07FF in three bytes: overlong
      {"tarnwick-download:%ED%A0%80", "the link's text is not UTF-8"},  // the first surrogate
      {"tarnwick-download:%ED%BF%BF", "the link's text is not UTF-8"},  // the last surrogate
      {"tarnwick-download:\xff", "the link's text is not UTF-8"},
      {"tarnwick-download:PWD=a%0Ab", "the link holds a control character"},
      {"tarnwick-download:PWD=a%00b", "the link holds a control character"},
      {"tarnwick-download:PWD=a%7F", "the link holds a control character"},
      {"tarnwick-download:PWD=a%C2%85", "the link holds a control character"},
      {"tarnwick-download:PWD=a%C2%9F", "the link holds a control character"},  // the last C1 control
      {"tarnwick-download:PWD=a\tb", "the link holds a control character"},
      {"tarnwick-download:HOST=h\" --folder \"C:\\x", "the link holds a quote or a blank that is not percent-encoded"},
      {"tarnwick-download:PWD=a b", "the link holds a quote or a blank that is not percent-encoded"},
      {"tarnwick-download:" + std::string(4096 - 18 + 1, 'a'), "the link is longer than 4096 bytes"},
  };
  for (const auto& [link, expected] : cases) {
    std::string reason;
    EXPECT_EQ(Decode(link, &reason), std::nullopt) << link;
    EXPECT_EQ(reason, expected) << link;
  }
  EXPECT_TRUE(Decode("tarnwick-download:" + std::string(4096 - 18, 'a')));
}

TEST(TrustedHosts, OnlyTheConfiguredServerAndTheListedHostsWholeAndPerPort) {
  const std::string url = "http://User@Meeting.Example:8080/meeting";
  const std::string list = "# the organisation's servers\r\n  files.example  \r\n\r\nftp.example:2121\nlast.example";
  const std::pair<std::string, bool> cases[] = {
      {"meeting.example", true},
      {"MEETING.example:21", true},
      {"files.example:990", true},
      {"ftp.example:2121", true},
      {"ftp.example", false},
      {"ftp.example:21", false},
      {"last.example", true},
      {"evil.example", false},
      {"meeting.example.evil", false},
      {"user@meeting.example", false},
      {"meeting.example:21/x", false},
      {"", false},
      {"# the organisation's servers", false},
  };
  for (const auto& [host, trusted] : cases) {
    EXPECT_EQ(IsTrustedHost(host, url, list), trusted) << host;
  }
  EXPECT_FALSE(IsTrustedHost("meeting.example", "", ""));
  EXPECT_FALSE(IsTrustedHost("meeting.example", "meeting.example", ""));  // not an address
}

}  // namespace
}  // namespace tarnwick
