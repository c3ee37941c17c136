#include "nembit/path.h"

#include <gtest/gtest.h>

namespace nembit {
namespace {

TEST(Path, NormalForm) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"a/./b//c.txt", "a/b/c.txt"},
      {"notes/", "notes"},
      {"", "."},
      {"./", "."},
      {"../x.txt", "../x.txt"},
      {"a/..", "a/.."},
      {"/tmp//t.txt", "/tmp/t.txt"},
      {"//x/y", "//x/y"},
      {"///x", "/x"},
      {"//", "//"},
      {"////", "/"},
      {"/", "/"},
      {"a\\b", "a\\b"},
  };
  for (const auto& [path, normal] : cases) EXPECT_EQ(normal_form(path), normal) << path;
}

TEST(Path, Parent) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"a/b/c", "a/b"}, {"a", "."},   {".", "."},    {"/", "/"},
      {"/a", "/"},      {"//", "//"}, {"//a", "//"}, {"a/..", "a"},
  };
  for (const auto& [normal, parent] : cases) EXPECT_EQ(parent_of(normal), parent) << normal;
}

TEST(Path, AbsoluteForm) {
  EXPECT_EQ(absolute_form("a/b", "/w"), "/w/a/b");
  EXPECT_EQ(absolute_form("../x.txt", "/w"), "/w/../x.txt");
  EXPECT_EQ(absolute_form(".", "/w"), "/w");
  EXPECT_EQ(absolute_form("/tmp/t", "/w"), "/tmp/t");
  // A working directory that is the root gets no second slash.
  EXPECT_EQ(absolute_form("a", "/"), "/a");
}

TEST(Path, OwnName) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"docs/a/b.txt", "b.txt"},
      {"a/b/", "b"},
      {"a/./c", "c"},
      {"a/..", ".."},
      {"", ""},
      {"/./", ""},
      {"x", "x"},
      {"//", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(own_name(path), name) << path;
}

}  // namespace
}  // namespace nembit
