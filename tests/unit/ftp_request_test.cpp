#include <gtest/gtest.h>

#include "transfer/ftp_request.h"

namespace tarnwick {
namespace {

TEST(FtpRequest, PasswordsMayHoldColonsAtSignsAndSlashes) {
  const auto r = ParseFtpRequest("ftp://meeting:p:a@s/s@127.0.0.1:2121", "Get m\\TW3\\f.doc  /tmp/c\\TW3\\f.doc", 21);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->user, "meeting");
  EXPECT_EQ(r->password, "p:a@s/s");
  EXPECT_EQ(r->host, "127.0.0.1");
  EXPECT_EQ(r->port, 2121);
  EXPECT_EQ(r->serverPath, "m/TW3/f.doc");
  EXPECT_EQ(r->localPath, "/tmp/c\\TW3\\f.doc");
}

TEST(FtpRequest, ALeadingBackslashStartsAtTheRootAndNamesGoInWindows874) {
  const auto r = ParseFtpRequest("ftp://u:p@host", "Get \\pub\\ประชุม 1.doc  /tmp/my folder/x", 21);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->port, 21);
  EXPECT_EQ(r->serverPath, "/pub/\xBB\xC3\xD0\xAA\xD8\xC1 1.doc");
  EXPECT_EQ(r->remotePath, "/pub/ประชุม 1.doc");
  EXPECT_EQ(r->localPath, "/tmp/my folder/x");
}

TEST(FtpRequest, TextsThatCannotBeReadGiveNothing) {
  EXPECT_FALSE(ParseFtpRequest("http://u:p@h", "Get a  b", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p@h", "Put a  b", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p@h", "Get a b", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p@h:99999", "Get a  b", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p@", "Get a  b", 21));
}

// The user, the password and the remote path each end up inside an FTP command line.
TEST(FtpRequest, NothingThatWouldEndAnFtpCommandEarlyGetsThrough) {
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p\r\nDELE x@h", "Get a  b", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u\n:p@h", "Get a  b", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p@h", "Get a\nDELE x  b", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p@h", "Get a\tb  c", 21));
  EXPECT_FALSE(ParseFtpRequest("ftp://u:p@h", std::string("Get a\0b  c", 11), 21));
  EXPECT_TRUE(ParseFtpRequest("ftp://u:p\t~@h", "Get a  b\nc", 21));  // the local path goes to no server
}

}  // namespace
}  // namespace tarnwick
