#include "brace_expansion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <regex>

namespace nembit {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Names = std::vector<std::string>;

struct Case {
  std::string text;
  Names expected;
};

TEST(BraceExpansion, ExpandsOneGroup) {
  const Case cases[] = {
      {"dir/{a,b,c}.txt", {"dir/a.txt", "dir/b.txt", "dir/c.txt"}},
      {"dir{file1,file2,file3}", {"dir/file1", "dir/file2", "dir/file3"}},
      {"dotenv/{__init__.py,core.py}", {"dotenv/__init__.py", "dotenv/core.py"}},
      {"file{1,2}.txt", {"file/1.txt", "file/2.txt"}},
      {"{a,b}.txt", {"a.txt", "b.txt"}},
      {"a/b{c,d}/e", {"a/b/c/e", "a/b/d/e"}},
      {"dir/{a, b, c}.txt", {"dir/a.txt", "dir/b.txt", "dir/c.txt"}},
      {"dir/{ a , b }.txt", {"dir/a.txt", "dir/b.txt"}},
      {"dir/{a b,c}", {"dir/a", "dir/b", "dir/c"}},
      {"dir/{a,,b}", {"dir/a", "dir/b"}},
      {"dir/{,}", {}},
      {"dir/{ }", {}},
      {"dir/{a,a}", {"dir/a", "dir/a"}},
      {"{1..3}", {"1..3"}},
      {"  dir/{a}  ", {"  dir/a  "}},
      {"dir\\{a,b}", {"dir\\a", "dir\\b"}},
      {"C:\\x{a,b}", {"C:\\x/a", "C:\\x/b"}},
      {"a{\tb\n,c}", {"a/b", "a/c"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_brace_expansion(c.text), c.expected) << c.text;
  }
}

TEST(BraceExpansion, TakesOnlyTheFirstUsableGroup) {
  const Case cases[] = {
      {"plain.txt", {"plain.txt"}},
      {"a{}b", {"a{}b"}},
      {"a{b", {"a{b"}},
      {"a}b{c", {"a}b{c"}},
      {"x{a,b}y{c,d}z", {"x/ay", "x/by"}},
      {"dir/{a,b}{c,d}.txt", {"dir/a", "dir/b"}},
      {"a{,}b{c}", {}},
      {"a{}b{c}d", {"}b/cd"}},
      {"a{b,{c,d}}e", {"a/b}e", "a/{c}e", "a/d}e"}},
      {"{{a}}", {"{a}"}},
      {"", {""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_brace_expansion(c.text), c.expected) << c.text;
  }
}

TEST(BraceExpansion, SplitsItemsAtUnicodeWhiteSpace) {
  // U+00A0, U+2003, U+3000, U+0085, U+205F between and around the items.
  EXPECT_THAT(parse_brace_expansion("d/{\u00a0a\u2003b\u3000,c\u0085,\u205fd}"),
              ElementsAre("d/a", "d/b", "d/c", "d/d"));
  // U+200B (zero width space) and U+180E are not white space.
  EXPECT_THAT(parse_brace_expansion("{a\u200bb,c\u180e}"), ElementsAre("a\u200bb", "c\u180e"));
  EXPECT_THAT(parse_brace_expansion("{\u3000,\u2028\u2029}"), IsEmpty());
}

TEST(BraceExpansion, KeepsMalformedUtf8ByteForByte) {
  // A lone lead byte before a white-space character does not swallow it, and
  // a truncated white-space sequence is an ordinary character.
  EXPECT_THAT(parse_brace_expansion("\xff/{a\xe2\xe2\x80\x80\xe2\x80,\xc2}"),
              ElementsAre("\xff/a\xe2", "\xff/\xe2\x80", "\xff/\xc2"));
}

TEST(BraceExpansion, IsLinearOnTheLongestArgument) {
  // 128 KiB shapes that would make a backtracking search slow or deep.
  const size_t size = size_t{128} * 1024;
  EXPECT_EQ(parse_brace_expansion(std::string(size, '{')).size(), 1U);
  std::string pairs;
  for (size_t i = 0; i < size / 2; ++i) pairs += "{}";
  EXPECT_EQ(parse_brace_expansion(pairs), Names{pairs});
  std::string items = "d/{";
  for (size_t i = 0; i < size / 2; ++i) items += "a,";
  EXPECT_EQ(parse_brace_expansion(items + "}").size(), size / 2);
}

// Random short texts over an alphabet rich in the characters that matter: the
// scan must yield the very groups of a regular-expression search.
TEST(BraceExpansion, FindsTheGroupsOfARegexSearch) {
  const std::regex pattern(R"(([^{]*)\{([^}]+)\}([^{]*))");
  const char* const alphabet[] = {"{", "}", ",",  "/",      "\\",    " ",
                                  "a", "b", "\t", "\u3000", "\u00a0"};
  std::mt19937 random(20261207);
  std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 1);
  std::uniform_int_distribution<int> length(0, 12);
  for (int round = 0; round < 100000; ++round) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += alphabet[pick(random)];
    std::smatch match;
    const bool found = std::regex_search(text, match, pattern);
    const std::optional<BraceGroup> group = find_brace_group(text);
    ASSERT_EQ(group.has_value(), found) << text;
    if (!found) continue;
    ASSERT_EQ(group->prefix, match.str(1)) << text;
    ASSERT_EQ(group->items, match.str(2)) << text;
    ASSERT_EQ(group->suffix, match.str(3)) << text;
  }
}

}  // namespace
}  // namespace nembit
