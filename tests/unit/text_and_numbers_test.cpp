#include <gtest/gtest.h>

#include "platform/int16.h"
#include "platform/text_lines.h"
#include "platform/windows874.h"
#include "window/string_list.h"

namespace tarnwick {
namespace {

TEST(Int16, ArithmeticThatLeavesTheRangeRaisesOverflow) {
  Int16 top = 32767;
  EXPECT_THROW(top += 1, OverflowError);
  EXPECT_EQ(top.Get(), 32767);
  Int16 bottom = -32768;
  EXPECT_THROW(bottom -= 1, OverflowError);
  EXPECT_THROW(Int16(40000), OverflowError);
  Int16 index = -1;
  index += 1;
  EXPECT_EQ(index.Get(), 0);
}

TEST(Windows874, EveryByteSurvivesAReadAndAWrite) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    all += static_cast<char>(b);
  }
  EXPECT_EQ(cp874::Encode(cp874::Decode(all)), all);
}

TEST(Windows874, ThaiLettersMapToTheirUnicodeCharacters) {
  EXPECT_EQ(cp874::Decode("\xA1\xD2"), "กา");
  EXPECT_EQ(cp874::Encode("ประชุม"), "\xBB\xC3\xD0\xAA\xD8\xC1");
  EXPECT_EQ(cp874::Encode("日本"), "??");
}

TEST(TextLines, ALineEndsAtCrLfOrALoneCrButNotAtALoneLf) {
  EXPECT_EQ(DecodeTextLines("a\r\nb\rc\nd\r\n"), (std::vector<std::string>{"a", "b", "c\nd"}));
  EXPECT_EQ(DecodeTextLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(DecodeTextLines("last"), (std::vector<std::string>{"last"}));
  EXPECT_TRUE(DecodeTextLines("").empty());
  EXPECT_EQ(EncodeTextLines({"ก", ""}), "\xA1\r\n\r\n");
}

TEST(StringList, SortedListsIgnoreLetterCaseOthersKeepTheOrderOfAddition) {
  StringList sorted(true);
  StringList plain(false);
  for (const char* item : {"b", "A", "c", "a", "B"}) {
    sorted.AddItem(item);
    plain.AddItem(item);
  }
  EXPECT_EQ(sorted.Items(), (std::vector<std::string>{"A", "a", "B", "b", "c"}));
  EXPECT_EQ(plain.Items(), (std::vector<std::string>{"b", "A", "c", "a", "B"}));
}

TEST(StringList, FoldsOnlyAsciiLettersAndComparesCodeUnits) {
  StringList sorted(true);
  for (const char* item : {"_x", "Zeta", "ก", "alpha", "[y"}) {
    sorted.AddItem(item);
  }
  // "[" and "_" lie between the upper- and lower-case letters: folded, letters come after them.
  EXPECT_EQ(sorted.Items(), (std::vector<std::string>{"[y", "_x", "alpha", "Zeta", "ก"}));
}

TEST(StringList, HoldsAtMost32767Items) {
  StringList list(false);
  for (int i = 0; i < 32767; ++i) {
    list.AddItem("x");
  }
  EXPECT_EQ(list.ListCount().Get(), 32767);
  EXPECT_THROW(list.AddItem("x"), OverflowError);
}

}  // namespace
}  // namespace tarnwick
