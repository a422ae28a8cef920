#include "terminal/escaped_text.h"

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

}  // namespace
}  // namespace tarnwick
