#include <gtest/gtest.h>

#include <string>

#include "launch/launch_parameters.h"

namespace tarnwick {
namespace {

std::string GoodCookie(const std::string& subSource = "m\\TW3") {
  return "HOST=h;SUBSOURCE=" + subSource + ";TIMESOURCE=t;LOGIN=u;PWD=p";
}

TEST(LaunchParameters, ACompleteCookieFillsEveryField) {
  LaunchParameters p;
  EXPECT_EQ(ReadLaunchCookie("HOST=a%2Eb%2Ec;SUBSOURCE=\\x\\y;TIMESOURCE=t;LOGIN=u;PWD=p", p), CookieVerdict::Accepted);
  EXPECT_EQ(p.host, "a.b.c");
  EXPECT_EQ(p.subSource, "\\x\\y");
  EXPECT_EQ(p.localFolder, "y");
  EXPECT_EQ(p.timeSource, "t");
  EXPECT_EQ(p.login, "u");
  EXPECT_EQ(p.password, "p");
}

TEST(LaunchParameters, KeysIgnoreCaseValuesKeepTheirsAndEverythingAfterTheFirstEquals) {
  LaunchParameters p;
  // Blanks around an element go, a blank after "=" stays; other cookies of the meeting page are passed over.
  const std::string cookie = "  host=H%2Eq%2e1 ;SubSource=A\\Bc;timesource=T=1;session=x;login= u;pwd=a%2Eb= ;=v";
  EXPECT_EQ(ReadLaunchCookie(cookie, p), CookieVerdict::Accepted);
  EXPECT_EQ(p.host, "H.q%2e1");
  EXPECT_EQ(p.subSource, "A\\Bc");
  EXPECT_EQ(p.localFolder, "Bc");
  EXPECT_EQ(p.timeSource, "T=1");
  EXPECT_EQ(p.login, " u");
  EXPECT_EQ(p.password, "a%2Eb=");
}

TEST(LaunchParameters, CookiesThatAreNotFiveGoodElementsAreRefused) {
  struct Case {
    std::string cookie;
    CookieVerdict verdict;
  };
  const Case cases[] = {
      {"", CookieVerdict::WrongCount},
      {"HOST =v;SUBSOURCE=m\\TW3;TIMESOURCE=t;LOGIN=u;PWD=p", CookieVerdict::WrongCount},
      {GoodCookie() + ";PWD=q", CookieVerdict::WrongCount},
      {"HOST=h;SUBSOURCE=\\a\\b\\;LOGIN=u;PWD=p", CookieVerdict::WrongCount},  // the count is looked at first
      {GoodCookie() + ";novalue", CookieVerdict::ElementWithoutEquals},
      {"novalue;" + GoodCookie(), CookieVerdict::ElementWithoutEquals},
      {"HOST=h;;SUBSOURCE=m\\TW3;TIMESOURCE=t;LOGIN=u;PWD=p", CookieVerdict::ElementWithoutEquals},
      {GoodCookie() + "; ", CookieVerdict::ElementWithoutEquals},
      {GoodCookie() + ";", CookieVerdict::ElementWithoutEquals},
  };
  for (const auto& test : cases) {
    LaunchParameters p;
    EXPECT_EQ(ReadLaunchCookie(test.cookie, p), test.verdict) << test.cookie;
  }
}

TEST(LaunchParameters, TheLocalFolderIsTheTextAfterTheLastBackslashAndMustBeOneFolderInside) {
  struct Case {
    std::string subSource;
    CookieVerdict verdict;
    std::string localFolder;
  };
  const Case cases[] = {
      {"abc", CookieVerdict::Accepted, "abc"},
      {"m\\TW3", CookieVerdict::Accepted, "TW3"},
      {"\\a\\b\\", CookieVerdict::UnsafeLocalFolder, ""},
      {"a/b", CookieVerdict::UnsafeLocalFolder, "a/b"},
      {"x\\..", CookieVerdict::UnsafeLocalFolder, ".."},
      {".", CookieVerdict::UnsafeLocalFolder, "."},
  };
  for (const auto& test : cases) {
    LaunchParameters p;
    EXPECT_EQ(ReadLaunchCookie(GoodCookie(test.subSource), p), test.verdict) << test.subSource;
    EXPECT_EQ(p.localFolder, test.localFolder) << test.subSource;
  }
}

TEST(LaunchParameters, AMissingKeyKeepsItsEarlierValueAndARefusalKeepsWhatWasWritten) {
  const LaunchParameters earlier{"old", "m\\OLD", "OLD", "meeting", "s3cr:t@x/y", "t1"};

  LaunchParameters p = earlier;
  EXPECT_EQ(ReadLaunchCookie("HOST=other;SUBSOURCE=m\\TW3;TIMESOURCE=t2;LOGIN=u2;LOGIN=u3", p),
            CookieVerdict::Accepted);
  EXPECT_EQ(p.host, "other");
  EXPECT_EQ(p.localFolder, "TW3");
  EXPECT_EQ(p.login, "u3");
  EXPECT_EQ(p.password, "s3cr:t@x/y");

  p = earlier;
  EXPECT_EQ(ReadLaunchCookie("LOGIN=new;SUBSOURCE=m\\TW3;broken;PWD=later", p), CookieVerdict::ElementWithoutEquals);
  EXPECT_EQ(p.login, "new");
  EXPECT_EQ(p.localFolder, "TW3");
  EXPECT_EQ(p.password, "s3cr:t@x/y");

  p = earlier;
  EXPECT_EQ(ReadLaunchCookie("HOST =v;SUBSOURCE=m\\TW3;TIMESOURCE=t;LOGIN=u;PWD=p", p), CookieVerdict::WrongCount);
  EXPECT_EQ(p.host, "old");
}

TEST(LaunchParameters, TheElementCountEndsAt32767) {
  std::string cookie = GoodCookie();
  for (int elements = 5; elements < 32767; ++elements) {
    cookie += ";k=v";
  }
  LaunchParameters p;
  EXPECT_EQ(ReadLaunchCookie(cookie, p), CookieVerdict::Accepted);
  cookie += ";k=v";
  EXPECT_EQ(ReadLaunchCookie(cookie, p), CookieVerdict::TooManyElements);
}

}  // namespace
}  // namespace tarnwick
