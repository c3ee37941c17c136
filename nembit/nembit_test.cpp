#include "nembit/nembit.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/scratch_dir.h"

namespace nembit {
namespace {

struct Case {
  std::vector<std::string> arguments;
  std::string summary;
  int status;
};

// The summary counts the names that the re-joined items stand for, each
// braced item expanded afresh.
TEST(Main, SummarisesWhatWasExpectedAndCreated) {
  const Case cases[] = {
      {{"a", "d/{x,y,z}", "b}", "x{a,b}y{c}", "d/{,}", "a}b{c"}, "8/8", 0},
      {{"", "  "}, "0/0", 0},
      {{"f", "f/g", "h"}, "2/3", 1},
  };
  for (const Case& run : cases) {
    const ScratchDir scratch("main-test-");
    Process process;
    process.argv = {"nembit"};
    process.argv.insert(process.argv.end(), run.arguments.begin(), run.arguments.end());
    RealDiskInterface disk;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(main(process, disk, out, err), run.status);
    EXPECT_TRUE(out.str().ends_with("\n" + run.summary + " file(s) created successfully\n"))
        << out.str();
    EXPECT_EQ(err.str(), "");
  }
}

TEST(StartUp, ReadsTheVersionOfTheProgramDirectory) {
  const ScratchDir scratch("start-up-test-");
  std::ofstream("__version__.py") << "version = '4.5'\n";
  std::ostringstream out;
  const Process process = start_up({"nembit", "--version"}, out, utf8(scratch.path()));
  EXPECT_EQ(process.NAME, "nembit");
  EXPECT_EQ(process.version, "4.5");
}

}  // namespace
}  // namespace nembit
