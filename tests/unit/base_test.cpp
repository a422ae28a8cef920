#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "base/ascii.h"
#include "base/paths.h"
#include "base/text_lines.h"
#include "base/windows874.h"

namespace tarnwick {
namespace {

TEST(Windows874, EveryByteSurvivesAReadAndAWrite) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    all += static_cast<char>(b);
  }
  EXPECT_EQ(cp874::Encode(cp874::Decode(all)), all);
}

#ifndef _WIN32
TEST(Windows874, EveryByteMeansWhatTheCLibrarysCodePageSays) {
  iconv_t cd = iconv_open("UTF-8", "CP874");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int b = 0; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool defined = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    const std::string decoded = cp874::Decode(std::string(1, static_cast<char>(b)));
    if (defined) {
      EXPECT_EQ(decoded, std::string(out, sizeof out - outLeft)) << b;
    } else {
      EXPECT_EQ(decoded, cp874::Decode(cp874::Encode(decoded))) << b;  // carried in the private use area
      EXPECT_EQ(static_cast<unsigned char>(decoded[0]), 0xEF) << b;
    }
  }
  iconv_close(cd);
}
#endif

TEST(Windows874, ThaiLettersMapToTheirUnicodeCharacters) {
  EXPECT_EQ(cp874::Decode("\xA1\xD2"), "กา");
  EXPECT_EQ(cp874::Encode("ประชุม"), "\xBB\xC3\xD0\xAA\xD8\xC1");
  EXPECT_EQ(cp874::Encode("日本"), "??");
  EXPECT_EQ(cp874::Encode("\xC0\xAE\xE0\x80\xAE"), "?????");  // overlong forms of "." are no "."
  EXPECT_EQ(cp874::Encode("\xED\xA0\x80"), "???");            // nor is a surrogate a character
}

// What both codecs share, the table and the system's: carriers come back as their bytes, and every
// character or malformed byte that the code page cannot hold is one "?".
TEST(Windows874, UndefinedBytesAreCarriedAndEachUnwritableCharacterIsOneQuestionMark) {
  EXPECT_EQ(cp874::Decode("\xDB\xFF"), "\uF7DB\uF7FF");
  EXPECT_EQ(cp874::Encode("\uF7DB\uF7FF"), "\xDB\xFF");
  EXPECT_EQ(cp874::Encode("\uF741"), "?");  // the carrier of a defined byte ("A") is no character here
  EXPECT_EQ(cp874::Encode("\uF8C1"), "?");  // Windows writes it as 0xDB, which reads back as a carrier
  EXPECT_EQ(cp874::Encode("a\U0001F600b"), "a?b");
  EXPECT_EQ(cp874::Encode("\xE0\xB8"), "??");  // a sequence cut short
}

TEST(TextLines, ALineEndsAtCrLfOrALoneCrButNotAtALoneLf) {
  EXPECT_EQ(DecodeTextLines("a\r\nb\rc\nd\r\n"), (std::vector<std::string>{"a", "b", "c\nd"}));
  EXPECT_EQ(DecodeTextLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(DecodeTextLines("last"), (std::vector<std::string>{"last"}));
  EXPECT_TRUE(DecodeTextLines("").empty());
  EXPECT_EQ(EncodeTextLines({"ก", ""}), "\xA1\r\n\r\n");
}

TEST(Ascii, OnlyAsciiLettersFoldAndNothingElse) {
  EXPECT_TRUE(EqualIgnoringAsciiCase("TarnWick.MSG", "tarnwick.msg"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("[", "{"));  // 0x5B and 0x7B are 0x20 apart but are no letters
  EXPECT_FALSE(EqualIgnoringAsciiCase("ab", "abc"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("FTP://host", "ftp://"));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase("ft", "ftp"));
  EXPECT_EQ(ToLowerAscii('@'), '@');
}

TEST(Paths, PartsAreJoinedWithABackslash) {
  EXPECT_EQ(JoinPath("C:\\", "CodeWork"), "C:\\\\CodeWork");
  EXPECT_EQ(JoinPathOnce("C:\\", "Tarnwick.html"), "C:\\Tarnwick.html");
  EXPECT_EQ(JoinPathOnce("/c", "Tarnwick.html"), "/c\\Tarnwick.html");
  EXPECT_EQ(LastBackslashComponent("m\\TW3"), "TW3");
  EXPECT_EQ(LastBackslashComponent("a/b"), "a/b");
  EXPECT_EQ(LastBackslashComponent("a\\"), "");
}

}  // namespace
}  // namespace tarnwick
