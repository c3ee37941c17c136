#include "common/escape.h"

#include <gtest/gtest.h>

namespace nembit {
namespace {

using namespace std::string_view_literals;

TEST(Escape, QuotesLikeALiteral) {
  EXPECT_EQ(quoted("f.txt"), "'f.txt'");
  EXPECT_EQ(quoted("it's"), "\"it's\"");
  EXPECT_EQ(quoted("'\""), "'\\'\"'");
  EXPECT_EQ(quoted("a\\b\nc\td\x1b"), "'a\\\\b\\nc\\td\\x1b'");
  EXPECT_EQ(quoted("caf\u00e9 \xff\xc3"), "'caf\u00e9 \\xff\\xc3'");
  EXPECT_EQ(quoted("\u0085"), "'\\x85'");
}

TEST(Escape, PrintableKeepsOnlyHarmlessBytes) {
  EXPECT_EQ(printable("/w/a\tb c\u00e9\\x"), "/w/a\tb c\u00e9\\x");
  EXPECT_EQ(printable("a\nb\r\x1b[31m\x7f"), "a\\nb\\r\\x1b[31m\\x7f");
  EXPECT_EQ(printable("\u009b2J\xc2"), "\\u009b2J\xc2");
  EXPECT_EQ(printable("\xff\xfe"), "\xff\xfe");
  EXPECT_EQ(printable_text("v\x00\a\x1b\xff\xc2\u009b\u00e9"sv),
            "v\\x00\\x07\\x1b\\xff\\xc2\\u009b\u00e9");
}

}  // namespace
}  // namespace nembit
