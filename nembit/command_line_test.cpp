#include "command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace nembit {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Items = std::vector<std::string>;

TEST(Rejoin, SplitsOnlyAtBlanksOutsideBraces) {
  const std::pair<Items, Items> cases[] = {
      {{"dir/{a,", "b}.txt"}, {"dir/{a, b}.txt"}},
      {{"my file.txt"}, {"my", "file.txt"}},
      {{"{my file}.txt"}, {"{my file}.txt"}},
      {{"  a   b ", "", " "}, {"a", "b"}},
      {{"", "   "}, {}},
      {{"x{a,{b,c} d}"}, {"x{a,{b,c}", "d}"}},
      {{"{a b"}, {"{a b"}},
      {{"a} b"}, {"a}", "b"}},
      {{"a\tb", "c\u00a0d"}, {"a\tb", "c\u00a0d"}},
      {{"{a", "b", "c}", "d"}, {"{a b c}", "d"}},
  };
  for (const auto& [files, items] : cases) EXPECT_EQ(rejoin_arguments(files), items);
}

struct ParseRun {
  Parsed parsed;
  std::string out;
  std::string err;
};

ParseRun parse(const Items& argv) {
  Parsed parsed = parse_command_line(argv, "9.9");
  std::string out = parsed.output;
  std::string err = parsed.errors;
  return {std::move(parsed), std::move(out), std::move(err)};
}

TEST(ParseCommandLine, GivesTheFilesWhereverTheOptionsStand) {
  const ParseRun run =
      parse({"/usr/bin/nembit", "a", "--debug", "b", "--", "--version", "-x", "--"});
  ASSERT_TRUE(run.parsed.arguments);
  EXPECT_THAT(run.parsed.arguments->files, ElementsAre("a", "b", "--version", "-x", "--"));
  EXPECT_TRUE(run.parsed.arguments->debug);
  EXPECT_EQ(run.out + run.err, "");
}

TEST(ParseCommandLine, PassesFileArgumentsByteForByte) {
  const Items files = {"[a,b]",   "[x]",     "[]", "a,b", "\"q\"", "'q'",  "k=v",
                       "/h",      "/debug",  "-",  "-1",  "-.5",   "-a b", "d/{[a,b],c}",
                       "dir/{a,", "-b}.txt", "{x", "--y", "z}"};
  for (const bool marker : {false, true}) {
    Items argv = {"nembit"};
    if (marker) argv.emplace_back("--");
    argv.insert(argv.end(), files.begin(), files.end());
    const ParseRun run = parse(argv);
    ASSERT_TRUE(run.parsed.arguments) << run.err;
    EXPECT_EQ(run.parsed.arguments->files, files);
  }
}

TEST(ParseCommandLine, PrintsTheHelpWhenThereIsNothingToCreate) {
  for (const Items& argv : {Items{"nembit"}, Items{"nembit", "--debug"}, Items{"nembit", "-h"},
                            Items{"nembit", "a", "--help"}}) {
    const ParseRun run = parse(argv);
    EXPECT_FALSE(run.parsed.arguments);
    EXPECT_EQ(run.parsed.status, 0);
    EXPECT_THAT(run.out, HasSubstr("Usage: nembit [OPTIONS] [FILE...]"));
    EXPECT_EQ(run.err, "");
  }
}

TEST(ParseCommandLine, RefusesWhatLooksLikeAnOptionButIsNone) {
  const std::pair<Items, std::string> cases[] = {
      {{"/opt/x/mk", "--force", "a", "-d"}, "unrecognized arguments: --force -d"},
      {{"mk", "---", "a1"}, "unrecognized arguments: ---"},
      {{"mk", "---x", "----", "---help"}, "unrecognized arguments: ---x ---- ---help"},
      {{"mk", "-\x1b[2J"}, "unrecognized arguments: -\\x1b[2J"},
      {{"mk", "-1.", "a}", "-b"}, "unrecognized arguments: -1. -b"},
      {{"mk", "a", "--debug=1"}, "option --debug takes no value: --debug=1"},
      {{"mk", "--debug=", "a"}, "option --debug takes no value: --debug="},
      {{"mk", "--version=1"}, "option --version takes no value: --version=1"},
      {{"mk", "--help=", "--force"}, "option --help takes no value: --help="},
  };
  for (const auto& [argv, message] : cases) {
    const ParseRun run = parse(argv);
    EXPECT_FALSE(run.parsed.arguments);
    EXPECT_EQ(run.parsed.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Usage: mk [OPTIONS] [FILE...]\nmk: error: " + message + "\n");
  }
  // The help and the banner end the reading wherever they stand.
  EXPECT_EQ(parse({"mk", "--force", "--help"}).parsed.status, 0);
  EXPECT_EQ(parse({"mk", "--version", "--debug=x"}).parsed.status, 0);
}

TEST(ParseCommandLine, PrintsTheVersionBanner) {
  const ParseRun run = parse({"nembit", "a", "--version"});
  EXPECT_EQ(run.parsed.status, 0);
  EXPECT_EQ(run.out, "nembit v9.9 by the nembit developers (nembit@example.org)\n");
}

}  // namespace
}  // namespace nembit
