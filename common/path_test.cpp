#include "common/path.h"

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

TEST(Path, CollapsedDots) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/opt/bin/../share/nembit", "/opt/share/nembit"},
      {"/usr/bin/../lib/x86_64-linux-gnu/nembit", "/usr/lib/x86_64-linux-gnu/nembit"},
      {"/bin/./", "/bin"},
      {"/..", "/"},
      {"a/../..", ".."},
      {"a/..", "."},
      {"../a/b/..", "../a"},
  };
  for (const auto& [path, collapsed] : cases)
    EXPECT_EQ(collapse_dots(path, PathStyle::kPosix), collapsed) << path;
  EXPECT_EQ(collapse_dots("C:\\nembit\\bin\\..\\share", PathStyle::kWindows), "C:\\nembit\\share");
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
  EXPECT_EQ(file_uri("C:\\x y\\n.jpg", kWin), "file:///C:/x%20y/n.jpg");
  EXPECT_EQ(file_uri("\\\\srv\\share\\x", kWin), "file:////srv/share/x");
  EXPECT_EQ(file_uri("/opt/a b:c/\u00e9~", PathStyle::kPosix), "file:///opt/a%20b%3Ac/%C3%A9~");
  EXPECT_EQ(file_uri("/a:b\\c", PathStyle::kPosix), "file:///a%3Ab%5Cc");
}

TEST(Path, WindowsRefusesNamesItWouldChange) {
  const std::pair<std::string_view, std::string_view> refused[] = {
      {"nul", "NUL is a device name on Windows"},
      {"NUL.txt", "NUL is a device name on Windows"},
      {"d/con", "CON is a device name on Windows"},
      {"c:\\x\\Com1.log", "COM1 is a device name on Windows"},
      {"lpt9", "LPT9 is a device name on Windows"},
      {"con:", "CON is a device name on Windows"},
      {"conin$", "CONIN$ is a device name on Windows"},
      {"CONOUT$.txt", "CONOUT$ is a device name on Windows"},
      {"com\u00b9", "COM\u00b9 is a device name on Windows"},
      {"lpt\u00b3.log", "LPT\u00b3 is a device name on Windows"},
      {R"(\\.\NUL)", "NUL is a device name on Windows"},
      {"//./nul", "nul is a device name on Windows"},
      {R"(\\.\)", R"(\\.\ is a device name on Windows)"},
      {"a./b", "Windows drops the dot or blank that ends a."},
      {"a /b", "Windows drops the dot or blank that ends a "},
      {"x.", "Windows drops the dot or blank that ends x."},
      {"ab:cd", "the colon in ab:cd names an alternate data stream on Windows"},
      {"C:\\d\\f:s", "the colon in f:s names an alternate data stream on Windows"},
  };
  for (const auto& [name, why] : refused) EXPECT_EQ(windows_refusal(name), why) << name;
  for (const char* name : {"nul-1", "com10", "com\u2074", "console.txt", "./a/../b", "C:\\", "C:x",
                           "\u00e9/\u65e5.txt", R"(\\srv\share\x)"}) {
    EXPECT_EQ(windows_refusal(name), "") << name;
  }
}

TEST(Path, TellsRootedFromAbsolute) {
  constexpr PathStyle kWin = PathStyle::kWindows;
  for (const char* path : {"C:\\x", "c:/", R"(\\srv\share\x)"})
    EXPECT_TRUE(is_absolute(path, kWin));
  for (const char* path : {"C:x", "C:", "\\x", "/x", "x"}) EXPECT_FALSE(is_absolute(path, kWin));
  EXPECT_TRUE(is_absolute("/x", PathStyle::kPosix));
  EXPECT_FALSE(is_absolute("x", PathStyle::kPosix));
}

}  // namespace
}  // namespace nembit
