#include "base/escaped_text.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(EscapeControls, KeepsPrintableTextThaiAndBackslashes) {
  EXPECT_EQ(EscapeControls("Load File  ..\\a.doc Error 550"), "Load File  ..\\a.doc Error 550");
  EXPECT_EQ(EscapeControls("ข้อมูลในเครื่อง €"), "ข้อมูลในเครื่อง €");
  EXPECT_EQ(EscapeControls("\U0001F600 \u00A0"), "\U0001F600 \u00A0");  // just past C1, and four bytes
  EXPECT_EQ(EscapeControls(""), "");
}

TEST(EscapeControls, EscapesC0AndDel) {
  EXPECT_EQ(EscapeControls("\x1b[2Jfake.doc"), "\\x1b[2Jfake.doc");
  EXPECT_EQ(EscapeControls(std::string("a\0b", 3)), "a\\x00b");
  EXPECT_EQ(EscapeControls("a\r\nb\tc\x7f"), "a\\x0d\\x0ab\\x09c\\x7f");
}

TEST(EscapeControls, EscapesC1WhetherEncodedOrLone) {
  EXPECT_EQ(EscapeControls("x\xc2\x9b"
                           "2Jy"),
            "x\\u009b2Jy");
  EXPECT_EQ(EscapeControls("\xc2\x80\xc2\x9f"), "\\u0080\\u009f");
  // Bytes outside well-formed UTF-8: a lone C1 byte, a cut sequence, an overlong ESC, a surrogate.
  EXPECT_EQ(EscapeControls("a\x9b"
                           "b"),
            "a\\x9bb");
  EXPECT_EQ(EscapeControls("\xe0\xb8"), "\\xe0\\xb8");
  EXPECT_EQ(EscapeControls("\xc0\x9b"), "\\xc0\\x9b");
  EXPECT_EQ(EscapeControls("\xed\xa0\x80"), "\\xed\\xa0\\x80");
}

TEST(EscapeControls, EscapesBidirectionalFormatCharactersAtTheEdgesOfTheirRanges) {
  EXPECT_EQ(EscapeControls("a\u202Eexe.doc"), "a\\u202eexe.doc");
  EXPECT_EQ(EscapeControls("\u061C\u200E\u200F\u202A\u2066\u2069"), "\\u061c\\u200e\\u200f\\u202a\\u2066\\u2069");
  EXPECT_EQ(EscapeControls("\u200D\u2029\u202F\u2065\u206A"), "\u200D\u2029\u202F\u2065\u206A");
}

TEST(ShownValue, IsEscapedAndCutAfter200CharactersNeverInsideALetter) {
  EXPECT_EQ(ShownValue(std::string(200, 'h')), std::string(200, 'h'));
  EXPECT_EQ(ShownValue(std::string(3000, 'h')), std::string(200, 'h') + "…");
  std::string thai;
  for (int i = 0; i < 201; ++i) {
    thai += "ก";
  }
  EXPECT_EQ(ShownValue(thai), thai.substr(0, 600) + "…");
  EXPECT_EQ(ShownValue("\u202E\x1b" + std::string(198, 'h') + "\x1b"), "\\u202e\\x1b" + std::string(198, 'h') + "…");
}

}  // namespace
}  // namespace tarnwick
