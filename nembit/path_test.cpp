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
  for (const auto& [path, normal] : cases)
    EXPECT_EQ(normal_form(path, PathStyle::kPosix), normal) << path;
}

TEST(Path, Parent) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"a/b/c", "a/b"}, {"a", "."},   {".", "."},    {"/", "/"},
      {"/a", "/"},      {"//", "//"}, {"//a", "//"}, {"a/..", "a"},
  };
  for (const auto& [normal, parent] : cases)
    EXPECT_EQ(parent_of(normal, PathStyle::kPosix), parent) << normal;
}

TEST(Path, AbsoluteForm) {
  EXPECT_EQ(absolute_form("a/b", "/w", PathStyle::kPosix), "/w/a/b");
  EXPECT_EQ(absolute_form("../x.txt", "/w", PathStyle::kPosix), "/w/../x.txt");
  EXPECT_EQ(absolute_form(".", "/w", PathStyle::kPosix), "/w");
  EXPECT_EQ(absolute_form("/tmp/t", "/w", PathStyle::kPosix), "/tmp/t");
  // A working directory that is the root gets no second slash.
  EXPECT_EQ(absolute_form("a", "/", PathStyle::kPosix), "/a");
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
  for (const auto& [path, name] : cases) EXPECT_EQ(own_name(path, PathStyle::kPosix), name) << path;
}

TEST(Path, WindowsForms) {
  constexpr PathStyle kWin = PathStyle::kWindows;
  const std::pair<std::string_view, std::string_view> normal[] = {
      {"a/b\\c/", "a\\b\\c"},
      {"C:/x//y/./", "C:\\x\\y"},
      {"c:", "c:"},
      {"C:x", "C:x"},
      {"//srv/share/a/./b", R"(\\srv\share\a\b)"},
      {"\\a", "\\a"},
      {"a\\..\\b", "a\\..\\b"},
      {"", "."},
  };
  for (const auto& [path, form] : normal) EXPECT_EQ(normal_form(path, kWin), form) << path;
  EXPECT_EQ(parent_of("C:\\a", kWin), "C:\\");
  EXPECT_EQ(parent_of("C:\\", kWin), "C:\\");
  EXPECT_EQ(parent_of("\\\\srv\\share\\a", kWin), "\\\\srv\\share\\");
  EXPECT_EQ(parent_of("a\\b", kWin), "a");
  EXPECT_EQ(absolute_form("notes\\todo.txt", "Z:\\work", kWin), "Z:\\work\\notes\\todo.txt");
  EXPECT_EQ(absolute_form("a", "Z:\\", kWin), "Z:\\a");
  EXPECT_EQ(absolute_form("D:\\x", "Z:\\w", kWin), "D:\\x");
  EXPECT_EQ(own_name("a\\b/c\\", kWin), "c");
  EXPECT_EQ(uri_path("C:\\x\\n.jpg", kWin), "/C:/x/n.jpg");
  EXPECT_EQ(uri_path("\\\\srv\\share\\x", kWin), "//srv/share/x");
  EXPECT_EQ(uri_path("/opt/a b", PathStyle::kPosix), "/opt/a b");
}

TEST(Path, WindowsRefusesNamesItWouldChange) {
  for (const char* name :
       {"nul", "NUL.txt", "d/con", "c:\\x\\Com1.log", "lpt9", "a./b", "a /b", "x."}) {
    EXPECT_NE(windows_refusal(name), "") << name;
  }
  for (const char* name :
       {"nul-1", "com10", "console.txt", "./a/../b", "C:\\", "\u00e9/\u65e5.txt"}) {
    EXPECT_EQ(windows_refusal(name), "") << name;
  }
}

}  // namespace
}  // namespace nembit
