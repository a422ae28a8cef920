#include <gtest/gtest.h>

#include "ftp/ftp_reply.h"

namespace tarnwick {
namespace {

TEST(LastReply, TheLastLineThatEndsAReplyCounts) {
  const auto reply = LastReply("227 Entering passive mode (127,0,0,1,4,1).\r\n550 No such file or directory.\r\n");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 550);
  EXPECT_EQ(reply->line, "550 No such file or directory.");
  // A reply of several lines ends with the one that has a blank after the code.
  EXPECT_EQ(LastReply("530-Login incorrect.\n530-Ask the meeting's secretary.\n530 Bye.")->line, "530 Bye.");
  EXPECT_EQ(LastReply("421 Too many connections.")->code, 421);
}

TEST(LastReply, NothingWithoutALineThatEndsAReply) {
  EXPECT_FALSE(LastReply(""));
  EXPECT_FALSE(LastReply("\r\n"));
  EXPECT_FALSE(LastReply("530-Login incorrect.\r\n"));
  EXPECT_FALSE(LastReply("The attempt to connect to the server failed"));
  EXPECT_FALSE(LastReply("55 short\n5500 long\n"));
}

TEST(AnnouncedSize, ReadFromTheReplyThatOpensTheTransfer) {
  EXPECT_EQ(AnnouncedSize("150 Opening BINARY mode data connection for a.doc (2241 bytes).\r\n"), 2241u);
  EXPECT_EQ(AnnouncedSize("125 Data connection already open; transfer starting (0 bytes)\r\n"), 0u);
  EXPECT_EQ(AnnouncedSize("150 Opening data connection for big.bin (21474836480 bytes)"), 21474836480u);
}

TEST(AnnouncedSize, TheLastGroupCountsSinceTheNameComesFirst) {
  EXPECT_EQ(AnnouncedSize("150 Opening BINARY mode data connection for x (5 bytes).doc (700 bytes)."), 700u);
  EXPECT_EQ(AnnouncedSize("150 Opening ASCII mode data connection for f (1.2.3.4,5) (545 bytes)."), 545u);
}

TEST(AnnouncedSize, NothingWhereNoSizeIsAnnounced) {
  EXPECT_FALSE(AnnouncedSize("150 File status okay. About to open data connection.\r\n"));
  EXPECT_FALSE(AnnouncedSize("226 Transfer complete (2241 bytes).\r\n"));
  EXPECT_FALSE(AnnouncedSize("1500 odd (12 bytes)"));
  EXPECT_FALSE(AnnouncedSize("150 Opening data connection for report (draft bytes)"));
  EXPECT_FALSE(AnnouncedSize("150 Opening data connection for f (12 bytes"));
  EXPECT_FALSE(AnnouncedSize("150 Opening data connection for f (99999999999999999999999 bytes)."));
  EXPECT_FALSE(AnnouncedSize(""));
}

}  // namespace
}  // namespace tarnwick
