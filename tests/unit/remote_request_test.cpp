#include <gtest/gtest.h>

#include "base/escaped_text.h"
#include "remote/remote_request.h"
#include "remote/transfer_failures.h"

namespace tarnwick {
namespace {

TEST(RemoteRequest, PasswordsMayHoldColonsAtSignsAndSlashes) {
  const auto r =
      ParseRemoteRequest("ftp://meeting:p:a@s/s@127.0.0.1:2121", "Get m\\TW3\\f.doc  /tmp/c\\TW3\\f.doc", 21);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->user, "meeting");
  EXPECT_EQ(r->password, "p:a@s/s");
  EXPECT_EQ(r->host, "127.0.0.1");
  EXPECT_EQ(r->port, 2121);
  EXPECT_EQ(r->serverPath, "m/TW3/f.doc");
  EXPECT_EQ(r->localPath, "/tmp/c\\TW3\\f.doc");
}

TEST(RemoteRequest, ALeadingBackslashStartsAtTheRootAndNamesGoInWindows874) {
  const auto r = ParseRemoteRequest("ftp://u:p@host", "Get \\pub\\ประชุม 1.doc  /tmp/my folder/x", 21);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->port, 21);
  EXPECT_EQ(r->serverPath, "/pub/\xBB\xC3\xD0\xAA\xD8\xC1 1.doc");
  EXPECT_EQ(r->remotePath, "/pub/ประชุม 1.doc");
  EXPECT_EQ(r->localPath, "/tmp/my folder/x");
}

TEST(RemoteRequest, TextsThatCannotBeReadGiveNothing) {
  EXPECT_FALSE(ParseRemoteRequest("http://u:p@h", "Get a  b", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p@h", "Put a  b", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p@h", "Get a b", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p@h:99999", "Get a  b", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p@", "Get a  b", 21));
}

// The user, the password and the remote path each end up inside an FTP command line.
TEST(RemoteRequest, NothingThatWouldEndAnFtpCommandEarlyGetsThrough) {
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p\r\nDELE x@h", "Get a  b", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u\n:p@h", "Get a  b", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p@h", "Get a\nDELE x  b", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p@h", "Get a\tb  c", 21));
  EXPECT_FALSE(ParseRemoteRequest("ftp://u:p@h", std::string("Get a\0b  c", 11), 21));
  EXPECT_TRUE(ParseRemoteRequest("ftp://u:p\t~@h", "Get a  b\nc", 21));  // the local path goes to no server
}

// Only a busy server's refusals are waited out; everything else ends the run at once.
TEST(FtpFailures, ARefusalForNowIsTransientAndEveryOtherIsForGood) {
  const RemoteRequest r{"h", 21, "u", "p", "m/a.doc", "m/a.doc", "C:\\a.doc"};
  const std::pair<TransferOutcome, bool> cases[] = {
      {transfer_failure::ServerReply(r, 421, "421 Too many users"), true},
      {transfer_failure::ServerReply(r, 425, "425 Can't open data connection"), true},
      {transfer_failure::ServerReply(r, 426, "426 Transfer aborted"), true},
      {transfer_failure::ServerReply(r, 450, "450 File busy"), true},
      {transfer_failure::ConnectionRefused(r), true},
      {transfer_failure::ConnectionReset(r, "reset"), true},
      {transfer_failure::NoAnswer(r, 60), true},
      {transfer_failure::ServerReply(r, 530, "530 Login incorrect"), false},
      {transfer_failure::ServerReply(r, 550, "550 No such file"), false},
      {transfer_failure::ServerReply(r, 451, "451 Local error"), false},
      {transfer_failure::HostUnknown(r), false},
      {transfer_failure::NoConnection(r, "network unreachable"), false},
      {transfer_failure::ConnectionFailed(r, "weird reply"), false},
      {transfer_failure::SizeDiffers(r, 1, 2), false},
      {transfer_failure::CannotWrite(r, "disk full"), false},
      {transfer_failure::NoTlsOffered(r), false},
      {transfer_failure::CertificateRefused(r, "expired"), false},
      {transfer_failure::UnreadableRequest(), false},
  };
  for (const auto& [outcome, transient] : cases) {
    EXPECT_EQ(outcome.transient, transient) << outcome.code << " " << outcome.detail;
  }
}

// The user name and the remote path are a link's values, a reply line and libcurl's words the server's: shown
// escaped and cut, as every such value. Where nothing was said, what happened.
TEST(FtpFailures, TheLinksValuesAndTheServersWordsInATextAreShownSafely) {
  const std::string value = "\u202E" + std::string(300, 'x');
  const RemoteRequest r{"h", 21, value, "p", value, value, "C:\\a.doc"};
  EXPECT_EQ(transfer_failure::ServerReply(r, 530, "530 Login incorrect").detail,
            "the server h:21 refused the login of " + ShownValue(value) + " (530)");
  EXPECT_EQ(transfer_failure::ServerReply(r, 550, "550 No such file").detail,
            "the server has no file " + ShownValue(value) + " (550)");
  const std::string reply = "421 " + std::string(100 * 1024, 'y');
  EXPECT_EQ(transfer_failure::ServerReply(r, 421, reply).detail, "the server h:21 answered: " + ShownValue(reply));
  EXPECT_EQ(transfer_failure::ServerReply(r, 450, "").detail, "the server h:21 answered: 450");
  EXPECT_EQ(transfer_failure::ConnectionReset(r, reply).detail,
            "the connection to h:21 was broken: " + ShownValue(reply));
  EXPECT_EQ(transfer_failure::ConnectionReset(r, "").detail,
            "the connection to h:21 was broken: the connection closed");
  EXPECT_EQ(transfer_failure::ConnectionFailed(r, reply).detail, "the connection to h:21 failed: " + ShownValue(reply));
  EXPECT_EQ(transfer_failure::ConnectionFailed(r, "").detail, "the connection to h:21 failed: the connection closed");
  EXPECT_EQ(transfer_failure::SizeDiffers(r, 1, 2).detail,
            "the file " + ShownValue(value) + " was cut short: 1 of 2 bytes came");
}

}  // namespace
}  // namespace tarnwick
