#include "white_space.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace nembit {
namespace {

TEST(WhiteSpace, KnowsEveryCharacterOfTheSet) {
  const char* const spaces[] = {"\t",     "\n",     "\v",     "\f",     "\r",     "\x1c",
                                "\x1d",   "\x1e",   "\x1f",   " ",      "\u0085", "\u00a0",
                                "\u1680", "\u2000", "\u2005", "\u200a", "\u2028", "\u2029",
                                "\u202f", "\u205f", "\u3000"};
  for (const std::string_view space : spaces) {
    EXPECT_EQ(white_space_length(space, 0), space.size()) << "U+" << space;
  }
  const char* const others[] = {"a",      "\x1b",   "\x7f",    "\u0084", "\u00a1",
                                "\u200b", "\u2027", "\u2030",  "\u205e", "\u3001",
                                "\u180e", "\ufeff", "\xe2\x80"};
  for (const std::string_view other : others) {
    EXPECT_EQ(white_space_length(other, 0), 0U) << other;
  }
}

TEST(WhiteSpace, TrimsAndSplits) {
  EXPECT_EQ(trim_white_space("\u3000 a b\u00a0\t"), "a b");
  EXPECT_EQ(trim_white_space(" \u2028 "), "");
  EXPECT_EQ(trim_white_space("x"), "x");
  std::vector<std::string_view> words;
  split_at_white_space("\u2003one  two\u205fthree ", words);
  split_at_white_space("   ", words);
  split_at_white_space("four", words);
  EXPECT_THAT(words, ::testing::ElementsAre("one", "two", "three", "four"));
}

}  // namespace
}  // namespace nembit
