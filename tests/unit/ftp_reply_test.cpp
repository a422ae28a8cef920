#include <gtest/gtest.h>

#include "curl_ftp/ftp_reply.h"

namespace tarnwick {
namespace {

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
