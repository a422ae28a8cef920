// How a failed WinINet call reads: the server's reply where it gave one of 400 or more, WinINet's error
// code otherwise, in the words the Linux control uses.
#include <gtest/gtest.h>

#include "wininet_ftp/wininet_transfer_control.h"

#include <windows.h>
#include <wininet.h>

namespace tarnwick {
namespace {

FtpRequest Request() {
  FtpRequest request;
  request.host = "10.1.2.3";
  request.user = "meeting";
  request.password = "secret";
  request.remotePath = "m/TW3/a.doc";
  return request;
}

TEST(WinInetFailure, AServerReplyOf400OrMoreWinsOverWinInetsReadingOfIt) {
  // Wine's WinINet takes a 421 at the greeting for "transfer in progress".
  auto outcome = WinInetFailure(ERROR_FTP_TRANSFER_IN_PROGRESS, "421 Too many connections.", Request(), 60);
  EXPECT_EQ(outcome.code, 421);
  EXPECT_EQ(outcome.detail, "the server 10.1.2.3:21 answered: 421 Too many connections.");

  outcome = WinInetFailure(ERROR_INTERNET_EXTENDED_ERROR,
                           "227 Entering passive mode (1,2,3,4,5,6).\r\n550 No file.\r\n", Request(), 60);
  EXPECT_EQ(outcome.code, 550);
  EXPECT_EQ(outcome.detail, "the server has no file m/TW3/a.doc (550)");

  outcome = WinInetFailure(ERROR_INTERNET_LOGIN_FAILURE, "530 Authentication failed.", Request(), 60);
  EXPECT_EQ(outcome.code, 530);
  EXPECT_EQ(outcome.detail, "the server 10.1.2.3:21 refused the login of meeting (530)");
}

TEST(WinInetFailure, WithoutSuchAReplyWinInetsErrorSays) {
  EXPECT_EQ(WinInetFailure(ERROR_INTERNET_NAME_NOT_RESOLVED, "", Request(), 60).detail, "the host 10.1.2.3 is unknown");
  const auto refused = WinInetFailure(ERROR_INTERNET_CANNOT_CONNECT, "", Request(), 60);
  EXPECT_EQ(refused.code, 901);
  EXPECT_EQ(refused.detail, "connection to 10.1.2.3:21 refused");
  const auto timedOut = WinInetFailure(ERROR_INTERNET_TIMEOUT, "", Request(), 7);
  EXPECT_EQ(timedOut.code, 902);
  EXPECT_EQ(timedOut.detail, "no answer from 10.1.2.3:21 for 7 s");
  // A reply below 400 is an earlier step that went well, not the reason.
  const auto lost =
      WinInetFailure(ERROR_INTERNET_EXTENDED_ERROR, "227 Entering passive mode (1,2,3,4,5,6).", Request(), 60);
  EXPECT_EQ(lost.code, 904);
  EXPECT_TRUE(lost.detail.starts_with("the connection to 10.1.2.3:21 failed: ")) << lost.detail;
  EXPECT_GT(lost.detail.size(), std::string("the connection to 10.1.2.3:21 failed: ").size());
  EXPECT_EQ(lost.detail.find("secret"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
