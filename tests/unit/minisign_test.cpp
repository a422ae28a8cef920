// Manifest signatures in minisign's format, made by Debian's minisign 0.11 with two throw-away test keys
// (`minisign -G -W`; the secret keys were not kept).
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "signature/minisign.h"

namespace tarnwick {
namespace {

constexpr std::string_view kManifest = "FileUpDate.dat 2\r\nAgenda.pdf 1024\r\n";

constexpr std::string_view kFirstKey =
    "untrusted comment: minisign public key BB50AF0481405326\n"
    "RWQmU0CBBK9Qu3B3kjNtYKpAVIqpWCmc73dpxd2vv6/IqMqTAe14EF2/\n";
constexpr std::string_view kSecondKey =
    "untrusted comment: minisign public key 4392A3BC75DEBA54\n"
    "RWRUut51vKOSQ5agZr3wOtW0WnYiwtn1rf+QE0pmt7fHKExDfV4WPq21\n";

// minisign -S -t 'meeting 2567/14' -m: prehashed ("ED"), by the first key.
constexpr std::string_view kPrehashed =
    "untrusted comment: signature from minisign secret key\n"
    "RUQmU0CBBK9Qu97c9M04m4X8BLyhy7h2UpJ3T2i7s0Q9wYWOoQCZ2eHmpYukbD+axtH7JknHlhaJHTOuX1cb1t64AyAhNaatpAc=\n"
    "trusted comment: meeting 2567/14\n"
    "+ucl3qsO27S+irECOAktLra+pR7Ssy0wB/eqOjCTSXSipSS7KcYZatJCUoDG6/GHWrb0w/0kf1l2RGLadyaCAg==\n";
// minisign -S -l -t 'meeting 2567/14 legacy' -m: legacy ("Ed"), by the first key.
constexpr std::string_view kLegacy =
    "untrusted comment: signature from minisign secret key\n"
    "RWQmU0CBBK9Qu7ulV9H7yPvSXtiZQOY/FqA2KMs/dSTiXPsBEpgMgnec+zvenMbaOZdcSikfD/tRIgr5PrsM9LwSqX8BxHcErgQ=\n"
    "trusted comment: meeting 2567/14 legacy\n"
    "HToJOGMr5O/3giQhpkGhsXh059P1s8mWVNjnuE+uUhfSXugAF1rh6a07LJbaY3IXDBxjQdf+Tjk4Z68PYnjFCg==\n";
// Prehashed, by the second key.
constexpr std::string_view kBySecondKey =
    "untrusted comment: signature from minisign secret key\n"
    "RURUut51vKOSQ2TQOCanUeBWrN4cb41cPUMqwhWqC3hOA/l8ZKx4PT8xf8R9XQcBlyF2wQat2C8NY+Rvmr0kLXnYGnqi9C2gjg4=\n"
    "trusted comment: meeting 2567/14 by the second key\n"
    "k+dAw4oJMt1527AwMhnMGiQg18KguTz/P9UuLa3i/shRvv3EGKTJglQkLpE/8r2zQELZhepFZk3JIsUQRVBwBQ==\n";

std::string WithCrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  return out;
}

std::string Replaced(std::string_view text, std::string_view what, std::string_view with) {
  std::string out(text);
  return out.replace(out.find(what), what.size(), with);
}

TEST(Minisign, GoodSignaturesVerify) {
  SignatureCheck check = CheckSignature(kManifest, kPrehashed, kFirstKey);
  EXPECT_TRUE(check.ok) << check.reason;
  EXPECT_EQ(check.trustedComment, "meeting 2567/14");

  check = CheckSignature(kManifest, kLegacy, kFirstKey);
  EXPECT_TRUE(check.ok) << check.reason;
  EXPECT_EQ(check.trustedComment, "meeting 2567/14 legacy");

  // Two keys in one file saved on Windows, a blank line between; the second signed.
  const std::string bothKeys = WithCrLf(std::string(kFirstKey) + "\n" + std::string(kSecondKey));
  EXPECT_EQ(UnreadableKeys(bothKeys), std::nullopt);
  check = CheckSignature(kManifest, WithCrLf(kBySecondKey), bothKeys);
  EXPECT_TRUE(check.ok) << check.reason;
  EXPECT_EQ(check.trustedComment, "meeting 2567/14 by the second key");
}

TEST(Minisign, ChangedManifestSignatureOrCommentFails) {
  const std::string changed = Replaced(kManifest, "1024", "1025");
  for (std::string_view signature : {kPrehashed, kLegacy}) {
    EXPECT_EQ(CheckSignature(changed, signature, kFirstKey).reason, "the signature does not match the manifest");
  }

  EXPECT_EQ(CheckSignature(kManifest, kBySecondKey, kFirstKey).reason,
            "no key of MeetingKey.pub signed it (key id 4392A3BC75DEBA54)");
  // The fifth base64 letter lies within the key id: the signature's own bytes stay right.
  const std::string otherId = Replaced(kPrehashed, "RUQmU", "RUQmV");
  EXPECT_TRUE(CheckSignature(kManifest, otherId, kFirstKey).reason.starts_with("no key of MeetingKey.pub signed it"));

  const SignatureCheck comment = CheckSignature(kManifest, Replaced(kPrehashed, "2567/14", "2567/15"), kFirstKey);
  EXPECT_EQ(comment.reason, "the trusted comment's signature does not check out");
  EXPECT_EQ(comment.trustedComment, "");
}

TEST(Minisign, UnreadableTextFailsWithReason) {
  const std::string truncated(kPrehashed.substr(0, kPrehashed.rfind("+ucl")));
  for (const std::string& signature :
       {std::string(), std::string("garbage\n"), truncated, Replaced(kPrehashed, "RUQm", "RXQm"),
        Replaced(kPrehashed, "pAc=", "pAc"), std::string(kPrehashed) + "one line too many\n"}) {
    EXPECT_EQ(CheckSignature(kManifest, signature, kFirstKey).reason, "the signature file cannot be read") << signature;
  }

  for (std::string_view keys : {std::string_view(), kFirstKey.substr(0, kFirstKey.find('\n'))}) {
    EXPECT_EQ(UnreadableKeys(keys), "MeetingKey.pub holds no public key");
  }
  const std::string brokenSecond = std::string(kFirstKey) + "\n" + Replaced(kSecondKey, "RWRU", "RWRU!");
  EXPECT_EQ(UnreadableKeys(brokenSecond), "line 5 of MeetingKey.pub is not an Ed25519 public key of minisign");
  EXPECT_EQ(CheckSignature(kManifest, kPrehashed, brokenSecond).reason,
            "line 5 of MeetingKey.pub is not an Ed25519 public key of minisign");
}

}  // namespace
}  // namespace tarnwick
