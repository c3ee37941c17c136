#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "nembit/failure.h"
#include "nembit/nembit.h"
#include "tests/support/environment.h"
#include "tests/support/scratch_dir.h"
#include "version_scanner.h"

namespace nembit {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::optional<std::string> version_in(std::string_view text) { return find_version(text, "v"); }

TEST(FindVersion, ReadsTheFirstVersionLine) {
  const std::pair<std::string_view, std::optional<std::string>> cases[] = {
      {"version = \"0.33\"", "0.33"},
      {"   version='1.2.3'", "1.2.3"},
      {"version = \" 1.0 \"", " 1.0 "},
      {"version = '\"1.0\"'", "\"1.0\""},
      {"version = \"1.0\" #note", "1.0\" #note"},
      {"version =", ""},
      {"version_info = 1", "1"},
      {"\u3000version\u00a0=\u2003'2'\u205f", "2"},
      {"__version__ = 1.0", std::nullopt},
      {"VERSION = 1", std::nullopt},
      {"version: 1", std::nullopt},
      {"version = a=b", std::nullopt},
      {"#version = 9", std::nullopt},
      {"", std::nullopt},
      {"version = a=b\nversion = 2", "2"},
      {"version_info = 1\r\nversion = 3", "1"},
      {"x = 1\rversion = 4\r", "4"},
      {"name = 'a'\n\nversion = 5\n", "5"},
      // Only LF, CR and CR LF end a line; a form feed does not.
      {"x = 1\fversion = 6", std::nullopt},
  };
  for (const auto& [text, version] : cases) {
    EXPECT_EQ(version_in(text), version) << text;
    VersionScanner scanner("v");  // The same, one byte at a time.
    for (const char c : text) scanner.feed({&c, 1});
    EXPECT_EQ(scanner.finish(), version) << text;
  }
}

TEST(FindVersion, KeepsAtMost64KiBOfALine) {
  const std::string value(size_t{64} * 1024, 'x');
  EXPECT_EQ(version_in(" \u3000" + std::string(100000, ' ') + "version=" + value.substr(8)),
            value.substr(8));
  EXPECT_EQ(version_in("version = a=" + value + "\nversion = 7"), "7");
  EXPECT_THROW(version_in("version = " + value), Failure);
  // A version file is read no further than its first MiB.
  const std::string lines(size_t{1024} * 1024 - 20, '#');
  EXPECT_EQ(version_in(lines + "\nversion = 8\n"), "8");
  EXPECT_EQ(version_in("version = 9\n" + lines + lines), "9");
  EXPECT_THROW(version_in(lines + lines + "\nversion = 8"), Failure);
}

TEST(FindVersion, FailsOnBytesThatAreNotUtf8BeforeTheVersion) {
  EXPECT_EQ(version_in("version = 1\n\xff"), "1");
  try {
    version_in("# caf\xe9\nversion = 1");
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "cannot decode byte 0xe9 at offset 5 of 'v' as UTF-8");
  }
}

class GetVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir_ / "nembit");
    unset_environment("TRACEBACK");
  }
  void write(const fs::path& path, const std::string& text) { std::ofstream(dir_ / path) << text; }
  std::string version() { return get_version(disk_, dir_.string(), "nembit", out_); }

  ScratchDir scratch_{"version-test-"};
  const fs::path& dir_ = scratch_.path();
  std::ostringstream out_;
  RealDiskInterface disk_;
};

TEST_F(GetVersionTest, LooksInTheSubdirectoryOnlyWithoutAFileAbove) {
  EXPECT_EQ(version(), "2.0");
  write("nembit/__version__.py", "version = '3.1'\n");
  EXPECT_EQ(version(), "3.1");
  fs::create_directory(dir_ / "__version__.py");
  EXPECT_EQ(version(), "3.1");
  fs::remove(dir_ / "__version__.py");
  write("__version__.py", "# no version here\n");
  EXPECT_EQ(version(), "2.0");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(GetVersionTest, FollowsALinkToAFileElsewhere) {
#if defined(_WIN32)
  GTEST_SKIP() << "symbolic links need a privilege on Windows";
#endif
  fs::create_symlink(dir_ / "nembit" / "__version__.py", dir_ / "__version__.py");
  write("nembit/__version__.py", "version = '3.1'\n");
  EXPECT_EQ(version(), "3.1");
  fs::remove(dir_ / "__version__.py");
  const ScratchDir elsewhere("version-elsewhere-");
  std::ofstream(elsewhere.path() / "v.py") << "version = '4.2'\n";
  fs::create_symlink(elsewhere.path() / "v.py", dir_ / "__version__.py");
  EXPECT_EQ(version(), "4.2");
}

TEST_F(GetVersionTest, ReportsAFileItCannotRead) {
  write("__version__.py", "version = \"1\"\n\xff\n");  // Fine: the bad line comes later.
  EXPECT_EQ(version(), "1");
  write("__version__.py", "\xff\nversion = \"1\"\n");
  EXPECT_EQ(version(), "2.0");
  EXPECT_THAT(out_.str(), StartsWith("ERROR: cannot decode byte 0xff at offset 0 of '"));
  EXPECT_EQ(std::ranges::count(out_.str(), '\n'), 1);

  for (const char* value : {"yes", "TRUE", ""}) {
    out_.str("");
    set_environment("TRACEBACK", value);
    EXPECT_EQ(version(), "2.0");
    EXPECT_THAT(out_.str(), StartsWith("ERROR: ")) << value;
  }
  for (const char* value : {"1", "true", "True"}) {
    out_.str("");
    set_environment("TRACEBACK", value);
    EXPECT_EQ(version(), "2.0");
    EXPECT_THAT(out_.str(), StartsWith("failure: decoding error\ndescription: cannot decode"));
    EXPECT_THAT(out_.str(), HasSubstr("  get_version()\n"));
  }
  unset_environment("TRACEBACK");
  out_.str("");
  write("__version__.py", std::string(size_t{2} * 1024 * 1024, '\n') + "version = 1\n");
  EXPECT_EQ(version(), "2.0");
  EXPECT_THAT(out_.str(),
              testing::EndsWith("' holds no version line in its first 1048576 bytes\n"));
}

}  // namespace
}  // namespace nembit
