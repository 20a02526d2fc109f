#include "host/text.h"

#include <gtest/gtest.h>

namespace x11sa {
namespace {

TEST(VisibleText, ControlCharactersBecomeEscapesAndLongTextIsCut) {
  EXPECT_EQ(visible_text("abc"), "abc");
  EXPECT_EQ(visible_text("JAN90\nERROR: forged"), "JAN90\\nERROR: forged");
  EXPECT_EQ(visible_text("a\r\tb\x01\x7f"), "a\\r\\tb\\x01\\x7F");
  EXPECT_FALSE(has_control_chars("plain text, é"));
  EXPECT_TRUE(has_control_chars("a\fb"));
  EXPECT_EQ(visible_text("abcdef", 3), "abc...");
  // "é" is two bytes: a cut never splits it.
  EXPECT_EQ(visible_text("aéb", 2), "a...");
  EXPECT_EQ(visible_text("aéb", 3), "aé...");
}

}  // namespace
}  // namespace x11sa
