#include "nembit/file_creator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <type_traits>

#include "common/escape.h"
#include "common/path.h"
#include "nembit/interrupted.h"
#include "tests/support/scratch_dir.h"

namespace nembit {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif
using ::testing::HasSubstr;

class FakeClipboard : public clipboard::Clipboard {
 public:
  void copy(std::string_view text) override {
    if (fail) throw clipboard::Error("xclip: no\ndisplay\x1b" + std::string(400, 'x'));
    if (interrupt) throw Interrupted{15};
    copied.emplace_back(text);
  }
  std::vector<std::string> copied;
  bool fail = false;
  bool interrupt = false;
};

// A creator keeps a reference to its Process: a temporary one is refused.
static_assert(!std::is_constructible_v<FileCreator, Process, DiskInterface&, std::ostream&>);
static_assert(std::is_constructible_v<FileCreator, const Process&, DiskInterface&, std::ostream&>);

// The real file system, with every call counted.
class CountingDisk : public RealDiskInterface {
 public:
  int make_dir(const std::string& path) override {
    ++make_dirs;
    return RealDiskInterface::make_dir(path);
  }
  int working_dir(std::string& path) override {
    ++working_dirs;
    return RealDiskInterface::working_dir(path);
  }
  int create_new_file(const std::string& path) override {
    ++new_files;
    return RealDiskInterface::create_new_file(path);
  }
  int touch(const std::string& path) override {
    ++touches;
    return RealDiskInterface::touch(path);
  }
  int make_dirs = 0;
  int working_dirs = 0;
  int new_files = 0;
  int touches = 0;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs each test in a fresh working directory of its own.
class FileCreatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    process_.argv = {"nembit"};
    process_.program_dir = "/opt/nembit/share/nembit";
  }
  int create(const std::vector<std::string>& files) {
    FileCreator creator(process_, disk_, out_);
    return creator.create_files(files);
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> lines;
    std::istringstream in(out_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string created(const std::string& path) const {
    return "✓ File created: \"" + utf8(dir_ / fs::path(path).make_preferred()) + "\"";
  }

  ScratchDir scratch_{"nembit-test-"};
  const fs::path& dir_ = scratch_.path();
  Process process_;
  CountingDisk disk_;
  std::ostringstream out_;
};

TEST_F(FileCreatorTest, CreatesFilesAndTheirDirectories) {
  std::ofstream("kept.txt") << "content";
  EXPECT_EQ(create({"a/./b//c.txt", "notes/", "kept.txt", "kept.txt", "dir/{x, y}.md"}), 6);
  EXPECT_THAT(lines(), ElementsAre(created("a/b/c.txt"), created("notes"), created("kept.txt"),
                                   created("kept.txt"), created("dir/x.md"), created("dir/y.md")));
  EXPECT_TRUE(fs::is_regular_file("a/b/c.txt"));
  EXPECT_TRUE(fs::is_regular_file("notes"));
  EXPECT_EQ(read_file("kept.txt"), "content");
  EXPECT_EQ(fs::file_size("dir/y.md"), 0U);
}

TEST_F(FileCreatorTest, ShowsNamesWithTheirOwnPathForm) {
  fs::create_directory("sub");
  EXPECT_EQ(create({"../" + dir_.filename().string() + "/up.txt", dir_.string() + "//abs.txt",
                    "sub", ".", "./"}),
            5);
  const std::string here = "✓ File created: \"" + utf8(dir_) + "\"";
  EXPECT_THAT(lines(), ElementsAre(created("../" + dir_.filename().string() + "/up.txt"),
                                   created("abs.txt"), created("sub"), here, here));
}

TEST_F(FileCreatorTest, CreatesNamesThatHoldOnlyOneKindOfBrace) {
  EXPECT_EQ(create({"a{b", "a}b", "x}y{z", "q{}"}), 4);
  for (const char* name : {"a{b", "a}b", "x}y{z", "q{}"}) EXPECT_TRUE(fs::exists(name)) << name;
}

TEST_F(FileCreatorTest, ReportsFailuresAndGoesOn) {
  std::ofstream("f.txt") << "keep";
  const std::string long_name(256, 'n');
  const std::string max_name(255, 'm');
  if (kWindows) {
    // A file where a directory should be is found one step later there, and
    // names cannot hold control characters.
    EXPECT_EQ(create({"f.txt/g.txt", "f.txt//g/", "f.txt/deep/g.txt", std::string("o/nul\0x", 7),
                      max_name, "next"}),
              2);
    EXPECT_THAT(
        lines(),
        ElementsAre("✗ Error creating file \"f.txt/g.txt\": [Errno 17] File exists: 'f.txt'",
                    "✗ Error creating file \"f.txt//g/\": [Errno 17] File exists: 'f.txt'",
                    "✗ Error creating file \"f.txt/deep/g.txt\": [Errno 17] File exists: "
                    "'f.txt'",
                    "✗ Error creating file \"o/nul\\x00x\": embedded null byte", created(max_name),
                    created("next")));
    return;
  }
  EXPECT_EQ(create({"f.txt/g.txt", "f.txt//g/", "f.txt/\x1b[2J", "f.txt/deep/g.txt", long_name,
                    std::string("o/nul\0x", 7), max_name, "next"}),
            2);
  EXPECT_FALSE(fs::exists("o"));
  EXPECT_THAT(lines(),
              ElementsAre("✗ Error creating file \"f.txt/g.txt\": [Errno 17] File exists: 'f.txt'",
                          "✗ Error creating file \"f.txt//g/\": [Errno 17] File exists: 'f.txt'",
                          "✗ Error creating file \"f.txt/\\x1b[2J\": [Errno 17] File exists: "
                          "'f.txt'",
                          "✗ Error creating file \"f.txt/deep/g.txt\": [Errno 20] Not a "
                          "directory: 'f.txt/deep'",
                          "✗ Error creating file \"" + long_name +
                              "\": [Errno 36] File name too long: '" + long_name + "'",
                          "✗ Error creating file \"o/nul\\x00x\": embedded null byte",
                          created(max_name), created("next")));
  EXPECT_EQ(read_file("f.txt"), "keep");
}

TEST_F(FileCreatorTest, AddsTheDiagnosticInDebugMode) {
  std::ofstream("f.txt") << "";
  process_.argv = {"nembit", "--debug", "f.txt/g.txt"};
  EXPECT_EQ(create({"f.txt/g.txt"}), 0);
  const std::string expected = std::string(
                                   "✗ Error creating file \"f.txt/g.txt\": [Errno 17] File exists: "
                                   "'f.txt'\n"
                                   "failure: system error EEXIST\n"
                                   "description: [Errno 17] File exists: 'f.txt'\n"
                                   "operations, outermost first:\n"
                                   "  create_file('f.txt/g.txt')\n"
                                   "  creating the parent directories of ") +
                               nembit::quoted(normal_form("f.txt/g.txt")) +
                               "\n"
                               "  mkdir('f.txt')\n"
                               "\n";
  EXPECT_EQ(out_.str(), expected);
  out_.str("");
  process_.argv = {"nembit", "--debugx", "--debu"};
  EXPECT_EQ(create({"f.txt/g.txt"}), 0);
  EXPECT_EQ(lines().size(), 1U);
}

TEST_F(FileCreatorTest, NeverOpensWhatAlreadyExists) {
  // A FIFO without a reader would block an open for writing; a directory
  // cannot be opened for writing at all. Both only get their times set.
#if defined(_WIN32)
  GTEST_SKIP() << "Windows has no FIFO";
#else
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
#endif
  fs::create_directory("dir");
  fs::create_symlink("target/missing.txt", "dangling");
  fs::create_directory("target");
  EXPECT_EQ(create({"fifo", "dir", "dangling"}), 3);
  EXPECT_TRUE(fs::is_fifo("fifo"));
  EXPECT_TRUE(fs::is_regular_file("target/missing.txt"));
}

TEST_F(FileCreatorTest, KeepsNamesOnOneLine) {
  if (kWindows) GTEST_SKIP() << "Windows names cannot hold control characters";
  // NOLINTNEXTLINE(misc-misleading-bidirectional): shows "txt.exe" backwards.
  const std::string reversed = "txt.\u202eexe";
  EXPECT_EQ(create({"line\nbreak", "\xff\xfe.bin", "esc\x1b[2J", "c1\u009f", reversed, "a\\b.txt"}),
            6);
  EXPECT_TRUE(fs::exists("line\nbreak"));
  EXPECT_TRUE(fs::exists("\xff\xfe.bin"));
  EXPECT_TRUE(fs::exists(reversed));
  EXPECT_TRUE(fs::is_regular_file("a\\b.txt"));  // A backslash is no separator here.
  EXPECT_THAT(lines(),
              ElementsAre(created("line\\nbreak"), created("\xff\xfe.bin"), created("esc\\x1b[2J"),
                          created("c1\\u009f"), created("txt.\\u202eexe"), created("a\\b.txt")));
}

TEST_F(FileCreatorTest, AsksTheFileSystemOnlyOncePerDirectory) {
  std::vector<std::string> names;
  names.reserve(50);
  for (int i = 0; i < 50; ++i) names.push_back("d/e/" + std::to_string(i));
  EXPECT_EQ(create(names), 50);
  EXPECT_EQ(disk_.make_dirs, 3);  // d/e (missing), d, then d/e again.
  EXPECT_EQ(disk_.working_dirs, 1);
  // One call a name, whether all are new or all exist.
  EXPECT_EQ(disk_.new_files, 50);
  EXPECT_EQ(disk_.touches, 0);
  EXPECT_EQ(create(names), 50);
  EXPECT_EQ(disk_.new_files, 51);
  EXPECT_EQ(disk_.touches, 50);
}

TEST_F(FileCreatorTest, GivesNewEntriesTheModesThatTheMaskAllows) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows has no file-creation mask";
#else
  const auto mode = [](const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777U;
  };
  for (const mode_t mask : {027U, 002U, 000U}) {
    const std::string top = "m" + std::to_string(mask);
    const mode_t previous = ::umask(mask);
    EXPECT_EQ(create({top + "/d/f"}), 1);
    ::umask(previous);
    EXPECT_EQ(mode(top), 0777U & ~mask);
    EXPECT_EQ(mode(top + "/d"), 0777U & ~mask);
    EXPECT_EQ(mode(top + "/d/f"), 0666U & ~mask);
  }
#endif
}

TEST_F(FileCreatorTest, RefreshesTimesOfWhatExistsThroughLinks) {
  if (kWindows) GTEST_SKIP() << "symbolic links need a privilege on Windows";
  fs::create_directory("real");
  fs::create_directory_symlink("real", "link");
  std::ofstream("old.txt") << "content";
  const auto long_ago = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
  fs::last_write_time("old.txt", long_ago);
  EXPECT_EQ(create({"link/x.txt", "old.txt"}), 2);
  EXPECT_TRUE(fs::is_regular_file("real/x.txt"));
  EXPECT_TRUE(fs::is_symlink("link"));
  EXPECT_GT(fs::last_write_time("old.txt"), long_ago + std::chrono::hours(24));
  EXPECT_EQ(read_file("old.txt"), "content");
}

TEST_F(FileCreatorTest, MakesAgainADirectoryThatVanished) {
  FileCreator creator(process_, disk_, out_);
  EXPECT_TRUE(creator.create_file("d/a"));
  fs::remove_all("d");
  EXPECT_TRUE(creator.create_file("d/b"));
  EXPECT_TRUE(fs::exists("d/b"));
}

TEST_F(FileCreatorTest, CopiesEachNewPathToTheClipboard) {
  auto clipboard = std::make_unique<FakeClipboard>();
  FakeClipboard& fake = *clipboard;
  process_.components.clipboard = std::move(clipboard);
  EXPECT_EQ(create({"a", "b/c"}), 2);
  EXPECT_THAT(fake.copied, ElementsAre(utf8(dir_ / "a"), utf8(dir_ / "b" / "c")));

  out_.str("");
  fake.fail = true;
  EXPECT_EQ(create({"d"}), 1);
  // What the clipboard said, on one line as a message shows it, cut.
  const std::string said = "xclip: no\\ndisplay\\x1b" + std::string(300 - 22, 'x') + "…";
  EXPECT_THAT(lines(), ElementsAre("Warning: Could not copy to clipboard: " + said, created("d")));

  // A copy that the user stopped ends the run, after the line of its file.
  out_.str("");
  fake.fail = false;
  fake.interrupt = true;
  EXPECT_THROW(create({"e", "f"}), Interrupted);
  EXPECT_THAT(lines(), ElementsAre(created("e")));
  EXPECT_FALSE(fs::exists("f"));
}

TEST_F(FileCreatorTest, FailsEveryRelativeNameWhenTheWorkingDirectoryIsGone) {
  if (kWindows) GTEST_SKIP() << "Windows cannot remove a working directory";
  fs::create_directory("gone");
  fs::current_path("gone");
  fs::remove("../gone");
  EXPECT_EQ(create({"x", dir_.string() + "/y"}), 1);
  EXPECT_THAT(out_.str(), HasSubstr("✗ Error creating file \"x\": [Errno 2] No such file"));
}

}  // namespace
}  // namespace nembit
