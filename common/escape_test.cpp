#include "common/escape.h"

#include <gtest/gtest.h>

namespace nembit {
namespace {

using namespace std::string_view_literals;

// Bidirectional controls, which would show the rest of a line reordered:
// U+202E, U+2066, U+202A and U+2069; U+202F is a mere blank.
// NOLINTNEXTLINE(misc-misleading-bidirectional)
const std::string kBidi = "a\u202eb\u2066 \u202a\u2069\u202f";

TEST(Escape, QuotesLikeALiteral) {
  EXPECT_EQ(quoted("f.txt"), "'f.txt'");
  EXPECT_EQ(quoted("it's"), "\"it's\"");
  EXPECT_EQ(quoted("'\""), "'\\'\"'");
  EXPECT_EQ(quoted("a\\b\nc\td\x1b"), "'a\\\\b\\nc\\td\\x1b'");
  EXPECT_EQ(quoted("caf\u00e9 \xff\xc3"), "'caf\u00e9 \\xff\\xc3'");
  EXPECT_EQ(quoted("\u0085"), "'\\x85'");
  EXPECT_EQ(nembit::quoted(kBidi), "'a\\u202eb\\u2066 \\u202a\\u2069\u202f'");
}

TEST(Escape, PrintableKeepsOnlyHarmlessBytes) {
  EXPECT_EQ(printable("/w/a\tb c\u00e9\\x"), "/w/a\tb c\u00e9\\x");
  EXPECT_EQ(printable("a\nb\r\x1b[31m\x7f"), "a\\nb\\r\\x1b[31m\\x7f");
  EXPECT_EQ(printable("\u009b2J\xc2"), "\\u009b2J\xc2");
  EXPECT_EQ(printable("\xff\xfe"), "\xff\xfe");
  EXPECT_EQ(printable_text("v\x00\a\x1b\xff\xc2\u009b\u00e9"sv),
            "v\\x00\\x07\\x1b\\xff\\xc2\\u009b\u00e9");
  EXPECT_EQ(printable(kBidi), "a\\u202eb\\u2066 \\u202a\\u2069\u202f");
  // No UTF-8: an encoded surrogate, an overlong lead, a sequence cut short.
  EXPECT_EQ(printable_text("\xed\xa0\x80"), "\\xed\\xa0\\x80");
  EXPECT_EQ(printable_text("\xc0\xaf"), "\\xc0\\xaf");
  EXPECT_EQ(printable_text(std::string("\xe2\x82") + "A"), "\\xe2\\x82A");
}

TEST(Escape, CutsLongTextFromOutside) {
  const std::string zeros(200, '\0');
  const std::string shown = printable_text(zeros, kShownTextLimit);
  EXPECT_EQ(shown.substr(0, 8), "\\x00\\x00");
  EXPECT_TRUE(shown.ends_with("…"));
  EXPECT_LE(shown.size(), kShownTextLimit + 8);
  EXPECT_EQ(printable_text(std::string(10, 'a'), 4), "aaaa…");
  EXPECT_EQ(printable_text("abc", 4), "abc");
}

}  // namespace
}  // namespace nembit
